// SPDX-License-Identifier: MIT
// Tracking core: the library's state, the portable wrappers and the two
// workers (allocate, release) that every wrapper funnels into. Kept in one
// file so that the wrappers' calls of the workers can be inlined.
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

constexpr const char *kNoteNotMonitored = " (the pointer was not monitored by Vexal)";
constexpr const char *kNoteSizeZero = " (the size equals zero, why the original data was freed)";
constexpr const char *kNoteFailed = " FAILED!!!";
constexpr const char *kNoteNullFree = " FAILED, memory perhaps already freed!!!";
constexpr const char *kNoteNotRegistered = " (the pointer was not registered by Vexal)";

// Internal use of a record, as the reports count it.
std::int64_t useOf(const Record &rec)
{
    return kBytesPerRecordBase + static_cast<std::int64_t>(records.fileLength(rec));
}

// The record `make` makes with the next index, which it then takes, and
// whose internal use it counts; null, taking nothing, when there is none.
template <typename Make>
[[gnu::always_inline]] inline Record *numberedRecord(Make make)
{
    const std::uint64_t index = tracking.globalIndex.load(std::memory_order_relaxed);
    Record *rec = make(index);
    if (rec == nullptr)
        return nullptr;
    tracking.globalIndex.store(index + 1, std::memory_order_relaxed);
    tracking.internalUse += useOf(*rec);
    return rec;
}

// Makes a record; null when the bookkeeping has no memory for it.
[[gnu::always_inline]] inline Record *addRecord(void *address, std::uint64_t size, int line, const char *file,
                                                int type)
{
    return numberedRecord([&](std::uint64_t index) __attribute__((always_inline)) {
        return records.add(address, size, line, file, type, currentThreadId(), index);
    });
}

// Drops a record that is no longer in the address index.
[[gnu::always_inline]] inline void dropDetached(Record *rec, std::uint32_t number)
{
    tracking.internalUse -= useOf(*rec);
    records.drop(rec, number);
}

// Takes a record's bytes out of its row.
[[gnu::always_inline]] inline void subtractSize(const Record &rec)
{
    tracking.counts[rec.type].stillAllocated -= static_cast<std::int64_t>(exactSize(rec));
}

[[gnu::always_inline]] inline void removeRecord(Record *rec) { dropDetached(rec, records.unindex(rec)); }

// Counts a recorded block. Lock held.
[[gnu::always_inline]] inline void countBlock([[maybe_unused]] Record *record, std::uint64_t size, int type,
                                              [[maybe_unused]] void *heap)
{
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

// Gives back a block that could not be recorded.
[[gnu::cold]] void giveBack(void *block, int type, [[maybe_unused]] void *heap)
{
#if defined(_WIN32)
    platform::releaseBlock(platform::releaseKindOf(type), block, heap, 0);
#else
    platform::releaseBlock(platform::releaseKindOf(type), block);
#endif
}

// The end of every allocating call but a reallocation, once the platform
// call is made: records and logs it. A block that cannot be recorded is
// given back and the call fails: no block goes out untracked. Inline in the
// wrappers that need no request: the path programs take most.
[[gnu::always_inline]] inline void *recordNew(void *result, int type, std::uint64_t size, const char *file, int line,
                                              void *heap = nullptr, const char *note = "")
{
    if (tracking.vxlOn.load(std::memory_order_relaxed) == 0)
        return result;
    if (result == nullptr) {
        logAllocation(kNoteFailed, nullptr, type, size, file, line,
                      tracking.globalIndex.load(std::memory_order_relaxed));
        return nullptr;
    }
    std::uint64_t indexAfter;
    bool recorded;
    {
        LockGuard guard(tracking.mutGlobalData);
        if (!tracking.started)  // called after VexalFinish: nothing to record into
            return result;
        Record *record = addRecord(result, size, line, file, type);
        recorded = record != nullptr;
        if (recorded)
            countBlock(record, size, type, heap);
        indexAfter = tracking.globalIndex.load(std::memory_order_relaxed);
    }
    if (!recorded) {
        giveBack(result, type, heap);
        logAllocation(kNoteFailed, nullptr, type, size, file, line, indexAfter);
        return nullptr;
    }
    if (logging())
        logAllocation(note, result, type, size, file, line, indexAfter);
    return result;
}

// A realloc of null (how allocators built on realloc, Lua's for one, make
// every block) frees nothing: it is recorded as a new block is, with one
// turn of the lock. Inline in VexalRealloc, which such allocators call most.
[[gnu::always_inline]] inline void *reallocOfNull(std::size_t size, const char *file, int line)
{
    return recordNew(platform::allocRealloc(nullptr, size), VXL_REALLOC, size, file, line, nullptr,
                     kNoteNotMonitored);
}

// A realloc of a block at most this large is made under the lock, so that
// one turn of the lock does: the copy the C library may make keeps the
// others waiting no longer than a few tracked calls take.
constexpr std::uint64_t kReallocUnderLock = 4096;

// A realloc of a small tracked block in one turn of the lock, its record
// renewed for the new block. False, having done nothing, where the general
// way must serve it: no record, a large block, no memory for the name.
bool reallocSmall(const AllocationRequest &rq, void *&result)
{
    std::uint64_t indexAfter;
    {
        LockGuard guard(tracking.mutGlobalData);
        if (!tracking.started)
            return false;
        Record *rec = records.find(rq.oldPtr);
        RecordStore::Renewal held;
        if (rec == nullptr || rec->size > kReallocUnderLock || !records.prepareRenewal(held, rec, rq.file))
            return false;
        result = platform::allocRealloc(rq.oldPtr, rq.size);
        if (result == nullptr) {
            records.abandon(held);  // the old block and its record stay
        } else {
            subtractSize(*rec);
            tracking.internalUse -= useOf(*rec);
            countBlock(numberedRecord([&](std::uint64_t index) __attribute__((always_inline)) {
                           records.renew(held, result, static_cast<std::uint32_t>(rq.size), rq.line, rq.type,
                                         currentThreadId(), index);
                           return rec;
                       }),
                       rq.size, rq.type, nullptr);
        }
        indexAfter = tracking.globalIndex.load(std::memory_order_relaxed);
    }
    if (result == nullptr)
        logAllocation(kNoteFailed, nullptr, rq.type, rq.size, rq.file, rq.line, indexAfter);
    else if (logging())
        logAllocation("", result, rq.type, rq.size, rq.file, rq.line, indexAfter);
    return true;
}

} // namespace

// A block whose record cannot be made is not handed out: the call fails as
// a failed allocation and nothing is counted. A realloc has what its new
// record needs before its platform call, as the old block may be gone after.
void *allocate(AllocationRequest &rq)
{
    if (rq.type == VXL_REALLOC && rq.oldPtr == nullptr && rq.size != 0)
        return reallocOfNull(rq.size, rq.file, rq.line);

    const bool trackingOn = tracking.vxlOn.load(std::memory_order_relaxed) != 0;
    const bool isRealloc = rq.type == VXL_REALLOC || rq.type == VXL_HEAPREALLOC;
    const std::uint64_t size = rq.size;  // whole, for the counters and the line
    // Only realloc gives a size of 0 that meaning; HeapReAlloc does not.
    const bool freedBySizeZero = rq.type == VXL_REALLOC && rq.size == 0;
    const auto failed = [&] {
        if (trackingOn)
            logAllocation(kNoteFailed, nullptr, rq.type, size, rq.file, rq.line,
                          tracking.globalIndex.load(std::memory_order_relaxed));
        return nullptr;
    };

    // The old block's record is taken out of the index before the platform
    // call frees the block: otherwise another thread could be handed the
    // same address in between, and its new record would be the one dropped.
    Record *oldRecord = nullptr;
    std::uint32_t oldNumber = 0;
    RecordStore::Reservation fresh;
    if (isRealloc && trackingOn) {
        if (rq.type == VXL_REALLOC && !freedBySizeZero && size <= kReallocUnderLock) {
            void *result;
            if (reallocSmall(rq, result))
                return result;
        }
        LockGuard guard(tracking.mutGlobalData);
        if (tracking.started && !freedBySizeZero && !records.reserve(fresh, size, rq.file))
            return failed();  // the old block and its record stay as they are
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
        logIllegalSwitch(rq.type, __FILE__, __LINE__);
        return nullptr;
    }

#if defined(_WIN32)
    void *heap = rq.heap;
#else
    void *heap = nullptr;
#endif
    if (!isRealloc)
        return recordNew(result, rq.type, size, rq.file, rq.line, heap);

    if (freedBySizeZero && result != nullptr) {
        // Some platforms hand out a minimal block for realloc(p, 0); the
        // contract is "old block freed, null returned", so give it back.
        platform::releaseFree(result);
        result = nullptr;
    }

    if (result == nullptr && !freedBySizeZero) {
        if (fresh.record != nullptr) {
            // A failed realloc leaves the old block, so its record returns,
            // to the place in the index that the new record held.
            LockGuard guard(tracking.mutGlobalData);
            if (tracking.started && oldRecord != nullptr)
                records.reindexInstead(fresh, oldRecord, oldNumber);
            else if (tracking.started)
                records.cancel(fresh);
        }
        return failed();
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
        if (freedBySizeZero) {
            note = kNoteSizeZero;
        } else if (fresh.record != nullptr) {
            countBlock(numberedRecord([&](std::uint64_t index) __attribute__((always_inline)) {
                           return records.fill(fresh, result, rq.line, rq.type, currentThreadId(), index);
                       }),
                       size, rq.type, heap);
        } else if (Record *record = addRecord(result, size, rq.line, rq.file, rq.type)) {
            // Tracking started during the call: nothing was had before it.
            countBlock(record, size, rq.type, heap);
        }
        indexAfter = tracking.globalIndex.load(std::memory_order_relaxed);
    }
    if (logging())
        logAllocation(note, result, rq.type, size, rq.file, rq.line, indexAfter);
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

std::uint64_t exactSize(const Record &record) noexcept
{
    return records.exactSize(record);
}

const char *fileOf(const Record &record) noexcept { return records.fileOf(record); }

Record *findRecord(const void *address) { return records.find(address); }

bool releasable(const Record &record) { return records.indexed(&record); }

Record *startWalk(RecordWalk &walk, bool newestFirst)
{
    return walk.start(records.pool(), tracking.globalIndex.load(std::memory_order_relaxed), newestFirst);
}

Record *continueWalk(RecordWalk &walk)
{
    const bool ended = walk.ended();
    Record *next = walk.next();
    if (next == nullptr && !ended)
        next = walk.extend(tracking.globalIndex.load(std::memory_order_relaxed));
    return next;
}

std::size_t recordCount() { return records.count(); }

const NodePool &recordPool() { return records.pool(); }

void discardRecords()
{
    if (tracking.started)
        tracking.internalUse -= kBytesOfAnchors;
    tracking.started = false;
    records.clear();
}

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
    Record *rec = rq.record;
    const int kind = rec != nullptr ? rec->type : rq.defaultType;
    const int releaseKind = releaseKindOf(kind);
    if (releaseKind < 0) {
        logIllegalSwitch(kind, __FILE__, __LINE__);
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

void *recordAllocation(void *block, int type, std::uint64_t size, const char *file, int line)
{
    return recordNew(block, type, size, file, line);
}

void releaseIfRecorded(void *ptr, const char *file, int line)
{
    if (tracking.vxlOn.load(std::memory_order_relaxed) != 0) {
        LockGuard guard(tracking.mutGlobalData);
        Record *record = tracking.started ? records.find(ptr) : nullptr;
        if (record != nullptr) {
            releaseInline(ReleaseRequest{record, VXL_MALLOC, line, file, ptr});
            return;
        }
    }
    platform::releaseFree(ptr);
}

} // namespace vexal

using namespace vexal;

extern "C" {

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
    if (ptr == nullptr && size != 0)
        return reallocOfNull(size, file, line);
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
