// SPDX-License-Identifier: MIT
// POSIX build: C library memory functions, every kind released with free.
#pragma once

#include "GlobalLock.h"
#include "Vexal.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>
#include <system_error>
#include <thread>

// Length modifier of the 64-bit conversions in the library's formats.
#define VXL_I64 "ll"

namespace vexal::platform {

using CoreLock = GlobalLock;

inline void *allocMalloc(std::size_t size) { return std::malloc(size); }
inline void *allocCalloc(std::size_t count, std::size_t size) { return std::calloc(count, size); }
inline void *allocRealloc(void *ptr, std::size_t size) { return std::realloc(ptr, size); }
inline void *allocStrdup(const char *src) { return ::strdup(src); }
inline void *allocValloc(std::size_t size) { return ::valloc(size); }
inline void *allocMemalign(std::size_t alignment, std::size_t size) { return ::memalign(alignment, size); }

inline void releaseFree(void *ptr) { std::free(ptr); }

// A zeroed lookup table. Large tables ask for huge pages: a lookup in a table
// of many megabytes then costs one cache miss instead of a miss plus a page
// walk.
inline constexpr std::size_t kHugePage = std::size_t{2} << 20;

inline void *allocTable(std::size_t bytes)
{
    if (bytes < kHugePage)
        return std::calloc(1, bytes);
    void *table = std::aligned_alloc(kHugePage, bytes);  // bytes is a power of two, hence a multiple
    if (table == nullptr)
        return nullptr;
    ::madvise(table, bytes, MADV_HUGEPAGE);  // advice only; failure costs nothing but speed
    std::memset(table, 0, bytes);
    return table;
}

inline void freeTable(void *table) { std::free(table); }

inline int releaseKindOf(int /*allocationKind*/) { return VXL_FREE; }

// Frees with the function of `releaseKind`; returns what the release wrappers
// hand back (always null for free).
inline void *releaseBlock(int /*releaseKind*/, void *ptr)
{
    std::free(ptr);
    return nullptr;
}

// The log line's names of the allocation kinds 0 to 11; null: "Unknown type".
inline constexpr const char *kLogTypeNames[12] = {"malloc",  "calloc",  "realloc", "strdup",
                                                  nullptr,   nullptr,   nullptr,   nullptr,
                                                  nullptr,   nullptr,   "valloc",  "memalign"};

// 32 bits of pthread_self(): what a C caller gets from passing pthread_self()
// to an `unsigned` parameter, so generated VexalFreeThese calls match.
inline std::uint32_t threadId() { return static_cast<std::uint32_t>((std::uintptr_t)pthread_self()); }

// --- VexalFreeThese filters ------------------------------------------------

inline bool sameFileName(const char *filter, const char *name) { return std::strcmp(filter, name) == 0; }

// Unsigned bounds; an upper bound of 0 selects every index.
inline bool indexSelected(std::uint64_t index, std::int64_t indexMin, std::int64_t indexMax)
{
    return indexMax == 0 ||
           (index >= static_cast<std::uint64_t>(indexMin) && index <= static_cast<std::uint64_t>(indexMax));
}

// --- reports ---------------------------------------------------------------

// The reports return nothing here.
inline void reportResult(bool /*signalled*/) {}

struct Units {
    double kB, MB, GB;
};

// The byte count as a single-precision float, and single-precision quotients.
inline Units largerUnits(long long bytes)
{
    const float kB = static_cast<float>(bytes) / 1024.0f;
    const float MB = kB / 1024.0f;
    const float GB = MB / 1024.0f;
    return {kB, MB, GB};
}

__attribute__((format(printf, 2, 3))) inline int print(std::FILE *out, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = std::vfprintf(out, format, args);
    va_end(args);
    return written;
}

// --- threads of the monitor connection -------------------------------------

// Not copyable; join() or detach() it before it goes out of scope.
class Thread {
public:
    bool start(int (*entry)()) noexcept
    {
        try {
            thread_ = std::thread(entry);
        } catch (const std::system_error &) {
            return false;
        }
        return true;
    }

    bool started() const noexcept { return thread_.joinable(); }

    void join() noexcept
    {
        if (thread_.joinable())
            thread_.join();
    }

    void detach() noexcept
    {
        if (thread_.joinable())
            thread_.detach();
    }

private:
    std::thread thread_;
};

} // namespace vexal::platform
