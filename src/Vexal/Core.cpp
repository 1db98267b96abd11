// SPDX-License-Identifier: MIT
// Tracking core: library state, lifecycle, the wrappers and the two workers
// (allocate, release) that every wrapper funnels into.
#include "Communication.h"
#include "LinkedList.h"
#include "Platform.h"
#include "RecordStore.h"
#include "VexalInternal.h"

#include <cstring>

namespace vexal {

TrackingState tracking;

namespace {

RecordStore records;

// What the reports call internal use: a record, a list link and a copy of
// the file name per record, whatever the records really take.
constexpr std::int64_t kBytesPerRecordBase =
    static_cast<std::int64_t>(sizeof(AllocationRecord) + sizeof(Link) + 1);
constexpr std::int64_t kBytesOfAnchors = 2 * static_cast<std::int64_t>(sizeof(Link));

constexpr const char *kNoteNotMonitored = " (the pointer was not monitored by Vexal)";
constexpr const char *kNoteSizeZero = " (the size equals zero, why the original data was freed)";
constexpr const char *kNoteFailed = " FAILED!!!";
constexpr const char *kNoteNullFree = " FAILED, memory perhaps already freed!!!";
constexpr const char *kNoteNotRegistered = " (the pointer was not registered by Vexal)";

constexpr const char *ownSourceName()
{
    const char *name = __FILE__;
    for (const char *p = __FILE__; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    return name;
}

void logIllegalSwitch(int value, int sourceLine)
{
    tracking.os.write([&](std::FILE *out) {
        std::fprintf(out, "Illegal switch value: %d, see file %s, line %d!\n", value,
                     ownSourceName(), sourceLine);
    });
}

// Internal use of a record, as the reports count it.
std::int64_t useOf(const AllocationRecord &rec)
{
    return kBytesPerRecordBase + static_cast<std::int64_t>(NameTable::length(rec.file));
}

// Makes a record. A record that cannot be made (out of memory for
// bookkeeping) is simply not made: the block stays the application's,
// untracked. Returns null then.
[[gnu::always_inline]] inline AllocationRecord *addRecord(void *address, std::uint64_t size, int line,
                                                          const char *file, int type)
{
    const std::uint64_t index = tracking.globalIndex.load(std::memory_order_relaxed);
    AllocationRecord *rec = records.add(address, size, line, file, type, currentThreadId(), index);
    if (rec == nullptr)
        return nullptr;
    tracking.globalIndex.store(index + 1, std::memory_order_relaxed);
    tracking.internalUse += useOf(*rec);
    return rec;
}

// Drops a record that is no longer in the address index.
void dropDetached(AllocationRecord *rec, std::uint32_t number)
{
    tracking.internalUse -= useOf(*rec);
    records.drop(rec, number);
}

// Drops every record. Lock held.
void discardRecords()
{
    if (tracking.started)
        tracking.internalUse -= kBytesOfAnchors;
    tracking.started = false;
    records.clear();
}

// Takes a record's bytes out of its row.
[[gnu::always_inline]] inline void subtractSize(const AllocationRecord &rec)
{
    tracking.counts[rec.type].stillAllocated -= static_cast<std::int64_t>(exactSize(rec));
}

[[gnu::always_inline]] inline void removeRecord(AllocationRecord *rec)
{
    tracking.internalUse -= useOf(*rec);
    records.remove(rec);
}

// Records a new block and counts it. Lock held.
[[gnu::always_inline]] inline void recordBlock(void *block, std::uint64_t size, int line, const char *file, int type,
                                               [[maybe_unused]] void *heap)
{
    AllocationRecord *record = addRecord(block, size, line, file, type);
    if (record == nullptr)
        return;
    tracking.counts[type].calls += 1;
    tracking.counts[type].stillAllocated += static_cast<std::int64_t>(size);
#if defined(_WIN32)
    record->heap = heap;
#endif
}

// The line of an allocating call; out of the way of the calls that write none.
[[gnu::cold]] [[gnu::noinline]] void logAllocation(const char *note, void *result, int type, std::uint64_t size,
                                                   const char *file, int line, std::uint64_t index)
{
    logInfo(methodNames[type], note, file, line, type, static_cast<std::int64_t>(size), result, currentThreadId(),
            index);
}

// The end of every allocating call but a reallocation, once the platform
// call is made: records and logs it. Inline in the wrappers that need no
// request: the path programs take most.
[[gnu::always_inline]] inline void *recordNew(void *result, int type, std::uint64_t size, const char *file, int line,
                                              void *heap = nullptr)
{
    if (tracking.vxlOn.load(std::memory_order_relaxed) == 0)
        return result;
    if (result == nullptr) {
        logAllocation(kNoteFailed, nullptr, type, size, file, line,
                      tracking.globalIndex.load(std::memory_order_relaxed));
        return nullptr;
    }
    std::uint64_t indexAfter;
    {
        LockGuard guard(tracking.mutGlobalData);
        if (!tracking.started)  // called after VexalFinish: nothing to record into
            return result;
        recordBlock(result, size, line, file, type, heap);
        indexAfter = tracking.globalIndex.load(std::memory_order_relaxed);
    }
    if (logging())
        logAllocation("", result, type, size, file, line, indexAfter);
    return result;
}

} // namespace

void *allocate(AllocationRequest &rq)
{
    const bool trackingOn = tracking.vxlOn.load(std::memory_order_relaxed) != 0;
    const bool isRealloc = rq.type == VXL_REALLOC || rq.type == VXL_HEAPREALLOC;
    const std::uint64_t size = rq.size;  // whole, for the counters and the line

    // The old block's record is taken out of the index before the platform
    // call frees the block: otherwise another thread could be handed the
    // same address in between, and its new record would be the one dropped.
    AllocationRecord *oldRecord = nullptr;
    std::uint32_t oldNumber = 0;
    if (isRealloc && trackingOn) {
        LockGuard guard(tracking.mutGlobalData);
        if (tracking.started && rq.oldPtr != nullptr) {
            oldRecord = records.find(rq.oldPtr);
            if (oldRecord != nullptr)
                oldNumber = records.unindex(oldRecord);
        }
    }

    void *result = nullptr;
    switch (rq.type) {
    case VXL_REALLOC: result = platform::allocRealloc(rq.oldPtr, rq.size); break;
#if defined(_WIN32)
    case VXL_WCSDUP: result = rq.wideSource != nullptr ? platform::allocWcsdup(rq.wideSource) : nullptr; break;
    case VXL_MBSDUP:
        result = rq.multiByteSource != nullptr ? platform::allocMbsdup(rq.multiByteSource) : nullptr;
        break;
    case VXL_GLOBALALLOC: result = platform::allocGlobal(rq.allocFlags, rq.size); break;
    case VXL_LOCALALLOC: result = platform::allocLocal(rq.allocFlags, rq.size); break;
    case VXL_HEAPALLOC: result = platform::allocHeap(rq.heap, rq.heapFlags, rq.size); break;
    case VXL_HEAPREALLOC: result = platform::reallocHeap(rq.heap, rq.heapFlags, rq.oldPtr, rq.size); break;
#endif
    default:
        logIllegalSwitch(rq.type, __LINE__);
        return nullptr;
    }

#if defined(_WIN32)
    void *heap = rq.heap;
#else
    void *heap = nullptr;
#endif
    if (!isRealloc)
        return recordNew(result, rq.type, size, rq.file, rq.line, heap);

    // Only realloc gives a size of 0 that meaning; HeapReAlloc does not.
    const bool freedBySizeZero = rq.type == VXL_REALLOC && rq.size == 0;
    if (freedBySizeZero && result != nullptr) {
        // Some platforms hand out a minimal block for realloc(p, 0); the
        // contract is "old block freed, null returned", so give it back.
        platform::releaseFree(result);
        result = nullptr;
    }

    if (result == nullptr && !freedBySizeZero) {
        if (oldRecord != nullptr) {
            // A failed realloc leaves the old block, so its record returns;
            // if the index cannot take it back, the block goes untracked
            // rather than keep a record that no release could find.
            LockGuard guard(tracking.mutGlobalData);
            if (!records.reindex(oldRecord, oldNumber)) {
                subtractSize(*oldRecord);
                dropDetached(oldRecord, oldNumber);
            }
        }
        if (!trackingOn)
            return nullptr;
        logInfo(methodNames[rq.type], kNoteFailed, rq.file, rq.line, rq.type,
                static_cast<std::int64_t>(size), nullptr, currentThreadId(),
                tracking.globalIndex.load(std::memory_order_relaxed));
        return nullptr;
    }
    if (!trackingOn)
        return result;

    const char *note = "";
    std::uint64_t indexAfter;
    {
        LockGuard guard(tracking.mutGlobalData);
        if (!tracking.started)  // called after VexalFinish: nothing to record into
            return result;
        if (oldRecord != nullptr) {
            subtractSize(*oldRecord);
            dropDetached(oldRecord, oldNumber);
        } else {
            note = kNoteNotMonitored;
        }
        if (freedBySizeZero)
            note = kNoteSizeZero;
        else
            recordBlock(result, size, rq.line, rq.file, rq.type, heap);
        indexAfter = tracking.globalIndex.load(std::memory_order_relaxed);
    }
    logInfo(methodNames[rq.type], note, rq.file, rq.line, rq.type, static_cast<std::int64_t>(size), result,
            currentThreadId(), indexAfter);
    return result;
}

namespace {

// The release kind matching an allocation kind, or -1 for a kind this build
// does not know.
int releaseKindOf(int allocationKind)
{
    return allocationKind >= VXL_MALLOC && allocationKind <= VXL_MEMALIGN ? platform::releaseKindOf(allocationKind)
                                                                         : -1;
}

} // namespace

std::uint64_t exactSize(const AllocationRecord &record) noexcept
{
    return records.exactSize(record);
}

AllocationRecord *findRecord(const void *address) { return records.find(address); }

bool releasable(const AllocationRecord &record) { return records.indexed(&record); }

AllocationRecord *startWalk(RecordWalk &walk, bool newestFirst)
{
    return walk.start(records.pool(), tracking.globalIndex.load(std::memory_order_relaxed), newestFirst);
}

AllocationRecord *continueWalk(RecordWalk &walk)
{
    const bool ended = walk.ended();
    AllocationRecord *next = walk.next();
    if (next == nullptr && !ended)
        next = walk.extend(tracking.globalIndex.load(std::memory_order_relaxed));
    return next;
}

std::size_t recordCount() { return records.count(); }

const NodePool &recordPool() { return records.pool(); }

namespace {

// A release's line, written after the block is gone: its address comes as
// a number, not as a pointer that would still be used.
[[gnu::noinline]] void logRelease(int releaseKind, const char *suffix, const char *file, int line, int type,
                                  std::int64_t size, std::uintptr_t address, std::uint32_t threadId,
                                  std::uint64_t index)
{
    writeLogInfo(methodNames[releaseKind], suffix, file, line, type, size, reinterpret_cast<const void *>(address),
                 threadId, index);
}

// The body of release(), inline in VexalFree: most frees take it. GCC 12
// takes the freed pointer's value, kept for the line, for a use of it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif
[[gnu::always_inline]] inline void *releaseInline(const ReleaseRequest &rq)
{
    AllocationRecord *rec = rq.record;
    const int kind = rec != nullptr ? rec->type : rq.defaultType;
    const int releaseKind = releaseKindOf(kind);
    if (releaseKind < 0) {
        logIllegalSwitch(kind, __LINE__);
        return nullptr;
    }
    if (rq.ptr == nullptr) {
        // No record carries a null address, so the kind checked above is
        // the default type.
        logInfo(methodNames[rq.defaultType], kNoteNullFree, rq.file, rq.line, rq.defaultType, -1,
                nullptr, currentThreadId(), tracking.globalIndex.load(std::memory_order_relaxed));
        ++tracking.freeFailed;
        return nullptr;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(rq.ptr);
#if defined(_WIN32)
    // HeapFree on the heap the caller named (VexalHeapFree), else on the
    // record's own heap.
    void *heap = rq.heap != nullptr ? rq.heap : (rec != nullptr ? rec->heap : nullptr);
    void *result = platform::releaseBlock(releaseKind, rq.ptr, heap, rq.heapFlags);
#else
    void *result = platform::releaseBlock(releaseKind, rq.ptr);
#endif
    if (rec == nullptr) {
        if (logging())
            logRelease(releaseKind, kNoteNotRegistered, rq.file, rq.line, rq.defaultType, -1, address,
                       currentThreadId(), tracking.globalIndex.load(std::memory_order_relaxed));
        ++tracking.addressNotStored;
        return result;
    }
    subtractSize(*rec);
    if (logging())
        logRelease(releaseKind, "", rq.file, rq.line, rec->type, static_cast<std::int64_t>(exactSize(*rec)), address,
                   rec->threadId, rec->index);
    removeRecord(rec);
    return result;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

} // namespace

void *release(const ReleaseRequest &rq) { return releaseInline(rq); }

} // namespace vexal

using namespace vexal;

extern "C" {

void VexalInit(int on, int log, const char *outputPath, int port)
{
    if (!tracking.os.open(outputPath)) {
        tracking.os.write([&](std::FILE *out) {
            std::fprintf(out, "Sorry, but the output file '%s' could not be opened!\n", outputPath);
            std::fprintf(out, "Instead, 'stdout' will be used as output stream.\n");
        });
    }
    // The connection's hold of the lock is left alone: a hold a monitor
    // still has from an earlier start is given back by its connection.
    {
        LockGuard guard(tracking.mutGlobalData);
        VexalSet(on, log);
        tracking.started = true;
        tracking.freeFailed = 0;
        tracking.addressNotStored = 0;
        tracking.internalUse = kBytesOfAnchors;
        for (CountRow &row : tracking.counts)
            row = CountRow{0, 0};
        tracking.globalIndex.store(0, std::memory_order_relaxed);
    }

    if (port < 0)
        return;
    if (!comm::launch(port == 0 ? kDefaultPort : port) && tracking.vxlLog.load() != 0) {
        tracking.os.write([](std::FILE *out) {
            std::fprintf(out, "Could not launch threads needed to communicate ");
            std::fprintf(out, "with the client!\n");
        });
    }
}

void VexalFinish(void)
{
    {
        LockGuard guard(tracking.mutGlobalData);
        discardRecords();
    }
    comm::closeThreadHandles();
    tracking.os.close();
}

void VexalSet(int on, int log)
{
    tracking.vxlOn.store(on, std::memory_order_relaxed);
    tracking.vxlLog.store(log, std::memory_order_relaxed);
}

void *VexalMalloc(size_t size, const char *file, int line)
{
    return recordNew(platform::allocMalloc(size), VXL_MALLOC, size, file, line);
}

void *VexalCalloc(size_t count, size_t size, const char *file, int line)
{
    return recordNew(platform::allocCalloc(count, size), VXL_CALLOC, static_cast<std::uint64_t>(count) * size, file,
                     line);
}

void *VexalRealloc(void *ptr, int /*ignored*/, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_REALLOC, .line = line, .file = file, .size = size, .oldPtr = ptr};
    return allocate(rq);
}

char *VexalStrdup(const char *src, const char *file, int line)
{
    // A null source is a failed call, logged as one with size 0.
    void *copy = src != nullptr ? platform::allocStrdup(src) : nullptr;
    return static_cast<char *>(recordNew(copy, VXL_STRDUP, src != nullptr ? std::strlen(src) + 1 : 0, file, line));
}

#if !defined(_WIN32)
void *VexalValloc(size_t size, const char *file, int line)
{
    return recordNew(platform::allocValloc(size), VXL_VALLOC, size, file, line);
}

void *VexalMemalign(size_t alignment, size_t size, const char *file, int line)
{
    return recordNew(platform::allocMemalign(alignment, size), VXL_MEMALIGN, size, file, line);
}
#endif

void VexalFree(void *ptr, const char *file, int line)
{
    if (tracking.vxlOn.load(std::memory_order_relaxed) == 0) {
        platform::releaseFree(ptr);
        return;
    }
    LockGuard guard(tracking.mutGlobalData);
    if (!tracking.started) {  // after VexalFinish: no records left to consult
        platform::releaseFree(ptr);
        return;
    }
    releaseInline(ReleaseRequest{records.find(ptr), VXL_MALLOC, line, file, ptr});
}

} // extern "C"
