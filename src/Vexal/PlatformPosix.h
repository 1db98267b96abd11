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
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>

// Length modifier of the 64-bit conversions in the library's formats.
#define VXL_I64 "ll"

namespace vexal::platform {

using CoreLock = GlobalLock;

#if defined(VEXAL_PRELOAD)
} // namespace vexal::platform

// The C library's own entry points. The preload build defines malloc and the
// rest itself, so calling those would come back into the library.
extern "C" {
void *__libc_malloc(std::size_t);
void *__libc_calloc(std::size_t, std::size_t);
void *__libc_realloc(void *, std::size_t);
void *__libc_valloc(std::size_t);
void *__libc_memalign(std::size_t, std::size_t);
void __libc_free(void *);
}

namespace vexal::platform {

inline void *allocMalloc(std::size_t size) { return __libc_malloc(size); }
inline void *allocCalloc(std::size_t count, std::size_t size) { return __libc_calloc(count, size); }
inline void *allocRealloc(void *ptr, std::size_t size) { return __libc_realloc(ptr, size); }
inline void *allocStrdup(const char *src)
{
    const std::size_t bytes = std::strlen(src) + 1;
    void *copy = __libc_malloc(bytes);
    return copy != nullptr ? std::memcpy(copy, src, bytes) : nullptr;
}
inline void *allocValloc(std::size_t size) { return __libc_valloc(size); }
inline void *allocMemalign(std::size_t alignment, std::size_t size) { return __libc_memalign(alignment, size); }
inline void releaseFree(void *ptr) { __libc_free(ptr); }

// Every thread the library starts is its own: what it allocates is
// bookkeeping. Defined by the preload build.
void enterLibraryThread() noexcept;
#else
inline void *allocMalloc(std::size_t size) { return std::malloc(size); }
inline void *allocCalloc(std::size_t count, std::size_t size) { return std::calloc(count, size); }
inline void *allocRealloc(void *ptr, std::size_t size) { return std::realloc(ptr, size); }
inline void *allocStrdup(const char *src) { return ::strdup(src); }
inline void *allocValloc(std::size_t size) { return ::valloc(size); }
inline void *allocMemalign(std::size_t alignment, std::size_t size) { return ::memalign(alignment, size); }
inline void releaseFree(void *ptr) { std::free(ptr); }

inline void enterLibraryThread() noexcept {}
#endif

inline constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Zeroed memory for the library's own tables and record slabs: `bytes`, a
// power of two, aligned to itself up to kHugePage. Mapped directly rather
// than taken from the C library's heap, so that freeing it gives the memory
// back at once (a table that grew leaves no old copy behind). With
// `hugePages` the kernel is asked to back it with huge pages: growing then
// costs a page fault per 2 MiB instead of one per 4 KiB, and a lookup in many
// megabytes one cache miss instead of a miss plus a page walk.
inline void *allocPages(std::size_t bytes, bool hugePages)
{
    const std::size_t alignment = bytes < kHugePage ? bytes : kHugePage;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t slack = alignment > page ? alignment : 0;
    void *mapped = ::mmap(nullptr, bytes + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    // Keep the aligned part of the larger mapping.
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = slack == 0 ? start : (start + alignment - 1) & ~(alignment - 1);
    if (aligned != start)
        ::munmap(mapped, aligned - start);
    if (aligned + bytes != start + bytes + slack)
        ::munmap(reinterpret_cast<void *>(aligned + bytes), start + slack - aligned);
    void *pages = reinterpret_cast<void *>(aligned);
    if (hugePages)
        ::madvise(pages, bytes, MADV_HUGEPAGE);  // advice only; failure costs nothing but speed
    return pages;
}

// Gives back the memory of whole pages inside a mapping of allocPages, which
// stays mapped (reading them again would find zeros).
inline void discardPages(void *pages, std::size_t bytes) { ::madvise(pages, bytes, MADV_DONTNEED); }

inline void freePages(void *pages, std::size_t bytes)
{
    if (pages != nullptr)
        ::munmap(pages, bytes);
}

inline int releaseKindOf(int /*allocationKind*/) { return VXL_FREE; }

// Frees with the function of `releaseKind`; returns what the release wrappers
// hand back (always null for free).
inline void *releaseBlock(int /*releaseKind*/, void *ptr)
{
    releaseFree(ptr);
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
            thread_ = std::thread([entry] {
                enterLibraryThread();
                entry();
            });
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

    // In the child of a fork() the thread does not exist: its handle is
    // dropped without a join or detach, which would act on the parent's.
    void forget() noexcept { new (&thread_) std::thread(); }

private:
    std::thread thread_;
};

} // namespace vexal::platform
