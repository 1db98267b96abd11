// SPDX-License-Identifier: MIT
// POSIX build: C library memory functions, every kind released with free.
#pragma once

#include "Vexal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>

namespace vexal::platform {

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

inline const char *logTypeName(int type)
{
    switch (type) {
    case VXL_MALLOC: return "malloc";
    case VXL_CALLOC: return "calloc";
    case VXL_REALLOC: return "realloc";
    case VXL_STRDUP: return "strdup";
    case VXL_VALLOC: return "valloc";
    case VXL_MEMALIGN: return "memalign";
    default: return "Unknown type";
    }
}

// 32 bits of pthread_self(): what a C caller gets from passing pthread_self()
// to an `unsigned` parameter, so generated VexalFreeThese calls match.
inline std::uint32_t threadId() { return static_cast<std::uint32_t>((std::uintptr_t)pthread_self()); }

} // namespace vexal::platform
