// SPDX-License-Identifier: MIT
// State and workers shared by the library's source files.
#pragma once

#include "LinkedList.h"
#include "Output.h"
#include "Platform.h"
#include "Protocol.h"
#include "RecordWalk.h"
#include "Vexal.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vexal {

using protocol::kDefaultPort;
inline constexpr int kMemoryTypes = 16;  // MemoryAccessType values 0 to 15
inline constexpr int kCountRows = 13;    // allocation kinds 0 to 11, and "free"
// What the reports call internal use before any record: the two anchors the
// records once hung between.
inline constexpr std::int64_t kBytesOfAnchors = 2 * static_cast<std::int64_t>(sizeof(Link));

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
    bool started = false;  // from VexalInit to VexalFinish: records are kept
};

extern TrackingState tracking;

// What a reallocating wrapper, or one of the Windows family, asks
// allocate() for; built with designated initialisers, so that a wrapper
// names only what its call has. The other wrappers make their platform call
// themselves and need no request.
struct AllocationRequest {
    int type = 0;
    int line = 0;
    const char *file = nullptr;
    std::size_t size = 0;  // the size recorded
    void *oldPtr = nullptr;
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

// Records a block just had from the platform outside the wrappers (the
// preloaded library's functions), as the wrappers do: a block that cannot
// be recorded is given back and null returned.
void *recordAllocation(void *block, int type, std::uint64_t size, const char *file, int line);

// Frees a block released outside the library's wrappers: one with a record
// is released as VexalFree would, any other goes to the platform uncounted
// (it was allocated before tracking started, or by a path not tracked).
void releaseIfRecorded(void *ptr, const char *file, int line);

struct ReleaseRequest {
    Record *record;   // the block's record, or null
    int defaultType;  // kind assumed for a pointer without record
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

// Drops every record (VexalFinish, and a VexalInit that finds records of
// an earlier start, such as a forked child's parent's). Lock held.
void discardRecords();

// Newest record whose block is `address`, or null. Lock held.
Record *findRecord(const void *address);

// False while a realloc on another thread has the record's block in hand
// (between its two turns with the lock): the block is not ours to free then.
// Lock held.
bool releasable(const Record &record);

// Starts `walk` over the live records, oldest (or newest) first; the first
// record, or null. Lock held, for as long as the walk is used.
Record *startWalk(RecordWalk &walk, bool newestFirst = false);

// Moves a walk on; from its last record on to the records made since it
// started, as a list that grows at its end would. Lock held.
Record *continueWalk(RecordWalk &walk);

// The number of live records. Lock held.
std::size_t recordCount();

// Where the records live, for a pass that needs no order: cheaper than a
// RecordWalk, which sorts them first. Lock held.
const NodePool &recordPool();

// The exact size of a record's block; the record's own field saturates at
// 4 GiB - 1. Lock held.
std::uint64_t exactSize(const Record &record) noexcept;

// The file name of a record. Lock held.
const char *fileOf(const Record &record) noexcept;

// Formats one log line onto `out` (the caller holds the output stream).
void writeLogLine(std::FILE *out, const char *prefix, const char *suffix, const char *file, int line, int type,
                  std::int64_t size, const void *address, std::uint32_t threadId, std::uint64_t index);

// Writes one log line to the output stream, unconditionally.
void writeLogInfo(const char *prefix, const char *suffix, const char *file, int line, int type,
                  std::int64_t size, const void *address, std::uint32_t threadId, std::uint64_t index);

// The file name of a path: what follows its last slash or backslash.
const char *baseName(const char *path);

// Says that a switch met a value it has no case for, at the source file
// (its name only is written) and line given.
void logIllegalSwitch(int value, const char *sourcePath, int sourceLine);

// Whether per-call lines are written.
inline bool logging() { return tracking.vxlLog.load(std::memory_order_relaxed) != 0; }

// One per-call or list line. With an empty prefix it is written whatever
// vxlLog says. Inline: with logging off, which is how tracking usually runs,
// a call costs a test and nothing else.
inline void logInfo(const char *prefix, const char *suffix, const char *file, int line, int type,
                    std::int64_t size, const void *address, std::uint32_t threadId, std::uint64_t index)
{
    if (prefix[0] != '\0' && !logging())
        return;
    writeLogInfo(prefix, suffix, file, line, type, size, address, threadId, index);
}

inline std::uint32_t currentThreadId() noexcept { return platform::threadId(); }

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
