// SPDX-License-Identifier: MIT
// State and workers shared by the library's source files.
#pragma once

#include "LinkedList.h"
#include "Output.h"
#include "Platform.h"
#include "Vexal.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vexal {

inline constexpr int kDefaultPort = 5913;
inline constexpr int kMemoryTypes = 16;  // MemoryAccessType values 0 to 15
inline constexpr int kCountRows = 13;    // allocation kinds 0 to 11, and "free"

struct CountRow {
    std::int64_t calls;
    std::int64_t stillAllocated;
};

extern const char *const methodNames[kMemoryTypes];

// Everything the tracking core keeps: one instance per process (`tracking`).
// mutGlobalData guards every member below it; the switches and the output
// stream above it are read without the lock.
struct TrackingState {
    // Written by VexalInit/VexalSet, read by every wrapper without the lock.
    std::atomic<int> vxlOn{0};
    std::atomic<int> vxlLog{0};
    Output os;  // keeps its own lock

    platform::CoreLock mutGlobalData;
    CountRow counts[kCountRows]{};
    std::atomic<std::uint64_t> globalIndex{0};  // written under the lock, read by failure lines without it
    std::int64_t internalUse = 0;
    std::int64_t freeFailed = 0;
    std::int64_t addressNotStored = 0;
    Link *startAnchor = nullptr;  // null outside VexalInit .. VexalFinish
    Link *stopAnchor = nullptr;
};

extern TrackingState tracking;

// What a wrapper asks allocate() for; built with designated initialisers,
// so that a wrapper names only what its call has.
struct AllocationRequest {
    int type = 0;
    int line = 0;
    const char *file = nullptr;
    std::size_t count = 0;  // calloc element count, memalign alignment
    std::size_t size = 0;
    void *oldPtr = nullptr;
    const char *source = nullptr;
#if defined(_WIN32)
    const wchar_t *wideSource = nullptr;
    const unsigned char *multiByteSource = nullptr;
    unsigned allocFlags = 0;      // GlobalAlloc, LocalAlloc
    unsigned long heapFlags = 0;  // HeapAlloc, HeapReAlloc
    void *heap = nullptr;
#endif
};

// Performs the platform call and records, counts and logs it.
void *allocate(AllocationRequest &rq);

struct ReleaseRequest {
    Link *link;         // the block's record, or null
    int defaultType;    // kind assumed for a pointer without record
    int line;
    const char *file;
    void *ptr;
#if defined(_WIN32)
    unsigned long heapFlags = 0;  // for HeapFree
    void *heap = nullptr;         // for HeapFree; null: the record's heap
#endif
};

// Frees one block and drops its record; counts and logs. Lock held.
void *release(const ReleaseRequest &request);

// Drops the list and every record with it (VexalFinish, and a VexalInit
// that finds records of an earlier start). Lock held.
void discardRecords();

// Newest record link whose block is `address`, or null. Lock held.
Link *getLink(const void *address);

// Called as a record leaves the list, so that the walk of VexalGetListEntry
// never stands on a record that is gone. Lock held.
void recordLeaving(Link *link);

inline AllocationRecord *recordOf(Link *link)
{
    return reinterpret_cast<AllocationRecord *>(link->datum);
}

// The exact size of a record's block; the record's own field saturates at
// 4 GiB - 1. Lock held.
std::uint64_t exactSize(const AllocationRecord &record) noexcept;

// Formats one log line onto `out` (the caller holds the output stream).
void writeLogLine(std::FILE *out, const char *prefix, const char *suffix, const char *file, int line, int type,
                  std::int64_t size, const void *address, std::uint32_t threadId, std::uint64_t index);

// Writes one log line to the output stream, unconditionally.
void writeLogInfo(const char *prefix, const char *suffix, const char *file, int line, int type,
                  std::int64_t size, const void *address, std::uint32_t threadId, std::uint64_t index);

// One per-call or list line. With an empty prefix it is written whatever
// vxlLog says. Inline: with logging off, which is how tracking usually runs,
// a call costs a test and nothing else.
inline void logInfo(const char *prefix, const char *suffix, const char *file, int line, int type,
                    std::int64_t size, const void *address, std::uint32_t threadId, std::uint64_t index)
{
    if (prefix[0] != '\0' && tracking.vxlLog.load(std::memory_order_relaxed) == 0)
        return;
    writeLogInfo(prefix, suffix, file, line, type, size, address, threadId, index);
}

std::uint32_t currentThreadId() noexcept;

// Whether the calling thread holds the global lock for a VexalGetListEntry walk.
bool walkingHere() noexcept;

// Has the library's locks taken around every fork() from now on, so that a
// child finds them usable. Windows has no fork().
#if defined(_WIN32)
inline void watchForks() {}
#else
void watchForks();
#endif

} // namespace vexal
