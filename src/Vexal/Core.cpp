// SPDX-License-Identifier: MIT
// Tracking core: the library's state, the portable wrappers and the two
// workers (allocate, release) that every wrapper funnels into. Kept in one
// file so that the wrappers' calls of the workers can be inlined.
#include "Communication.h"
#include "LinkedListInternal.h"
#include "Platform.h"
#include "RecordStore.h"
#include "VexalInternal.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>

namespace vexal {

TrackingState tracking;

namespace {

NodePool nodePool;
AddressIndex addressIndex{nodePool};
NameTable fileNames;
LargeSizes largeSizes;

constexpr std::int64_t kBytesPerRecordBase =
    static_cast<std::int64_t>(sizeof(AllocationRecord) + sizeof(Link) + 1);

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

// The size recorded for a request, whole.
std::uint64_t recordedSize(const AllocationRequest &rq)
{
    switch (rq.type) {
    case VXL_CALLOC:
        return static_cast<std::uint64_t>(rq.count) * rq.size;
    case VXL_STRDUP:
        return std::strlen(rq.source) + 1;
    default:
        return rq.size;
    }
}

// Makes a record of a block, in the address index but not yet among the
// records: null when the bookkeeping cannot get the memory for it. A null
// address makes a stand-in, indexed under the node's own address, which no
// block of the application can have: it holds the new block's place in the
// index until the block is known (rekey).
RecordNode *makeRecord(void *address, std::uint64_t size, int line, const char *file, int type)
{
    RecordNode *node = nodePool.acquire();
    if (node == nullptr)
        return nullptr;
    const char *name = fileNames.acquire(file != nullptr ? file : "");
    if (name == nullptr) {
        nodePool.release(node);
        return nullptr;
    }
    AllocationRecord &rec = node->record;
    rec.address = address != nullptr ? address : &rec;
    // The public field keeps 32 bits; a larger block is kept whole beside it.
    rec.size = size < kSaturatedSize ? static_cast<std::uint32_t>(size) : kSaturatedSize;
    rec.line = line;
    rec.file = name;
    rec.type = type;
    node->link.datum = reinterpret_cast<intptr_t>(&rec);
    const bool large = rec.size == kSaturatedSize;
    if ((large && !largeSizes.put(node, size)) || !addressIndex.insert(node)) {
        if (large)
            largeSizes.erase(node);
        fileNames.release(name);
        nodePool.release(node);
        return nullptr;
    }
    return node;
}

// A stand-in of makeRecord becomes the record of `address`. Cannot fail: the
// index takes the entry back that it has just given up.
void rekey(RecordNode *node, void *address)
{
    addressIndex.erase(node);
    node->record.address = address;
    addressIndex.insert(node);
}

// Drops a record that never joined the others.
void cancelRecord(RecordNode *node)
{
    addressIndex.erase(node);
    if (node->record.size == kSaturatedSize)
        largeSizes.erase(node);
    fileNames.release(node->record.file);
    nodePool.release(node);
}

// Appends a made record to the records, with the next index.
AllocationRecord *commitRecord(RecordNode *node)
{
    AllocationRecord &rec = node->record;
    rec.threadId = currentThreadId();
    rec.index = tracking.globalIndex.load(std::memory_order_relaxed);
    tracking.globalIndex.store(rec.index + 1, std::memory_order_relaxed);
    tracking.internalUse += kBytesPerRecordBase + static_cast<std::int64_t>(NameTable::length(rec.file));
    list::insert(tracking.stopAnchor, 0, &node->link);
    return &rec;
}

// Gives a block back to the platform by the function matching its kind.
void giveBack(const AllocationRequest &rq, void *block)
{
#if defined(_WIN32)
    platform::releaseBlock(platform::releaseKindOf(rq.type), block, rq.heap, 0);
#else
    platform::releaseBlock(platform::releaseKindOf(rq.type), block);
#endif
}

// Drops a record that is no longer in the address index.
void dropDetached(RecordNode *node)
{
    recordLeaving(&node->link);
    tracking.internalUse -= kBytesPerRecordBase + static_cast<std::int64_t>(NameTable::length(node->record.file));
    if (node->record.size == kSaturatedSize)
        largeSizes.erase(node);
    list::unlink(&node->link);
    fileNames.release(node->record.file);
    nodePool.release(node);
}

// Takes a record's bytes out of its row.
void subtractSize(const AllocationRecord &rec)
{
    tracking.counts[rec.type].stillAllocated -= static_cast<std::int64_t>(exactSize(rec));
}

void removeLink(Link *link)
{
    RecordNode *node = nodeOf(link);
    addressIndex.erase(node);
    dropDetached(node);
}

} // namespace

// A block whose record cannot be made is not handed out: the call fails as a
// failed allocation and nothing is counted. A realloc's new record is made
// before the call, as the old block may be gone after it.
void *allocate(AllocationRequest &rq)
{
    const bool trackingOn = tracking.vxlOn.load(std::memory_order_relaxed) != 0;
    const bool isRealloc = rq.type == VXL_REALLOC || rq.type == VXL_HEAPREALLOC;
    // Only realloc gives a size of 0 that meaning; HeapReAlloc does not.
    const bool freedBySizeZero = rq.type == VXL_REALLOC && rq.size == 0;
    const std::uint64_t size = rq.type == VXL_STRDUP && rq.source == nullptr ? 0 : recordedSize(rq);
    const auto failed = [&] {
        if (trackingOn)
            logInfo(methodNames[rq.type], kNoteFailed, rq.file, rq.line, rq.type, static_cast<std::int64_t>(size),
                    nullptr, currentThreadId(), tracking.globalIndex.load(std::memory_order_relaxed));
        return nullptr;
    };

    // The old block's record is taken out of the index before the platform
    // call frees the block: otherwise another thread could be handed the
    // same address in between, and its new record would be the one dropped.
    RecordNode *oldNode = nullptr;
    RecordNode *fresh = nullptr;
    if (isRealloc && trackingOn) {
        LockGuard guard(tracking.mutGlobalData);
        if (tracking.stopAnchor != nullptr) {
            if (!freedBySizeZero && (fresh = makeRecord(nullptr, size, rq.line, rq.file, rq.type)) == nullptr)
                return failed();  // the old block and its record stay as they are
            Link *old = rq.oldPtr != nullptr ? getLink(rq.oldPtr) : nullptr;
            if (old != nullptr) {
                oldNode = nodeOf(old);
                addressIndex.erase(oldNode);
            }
        }
    }

    void *result = nullptr;
    switch (rq.type) {
    case VXL_MALLOC: result = platform::allocMalloc(rq.size); break;
    case VXL_CALLOC: result = platform::allocCalloc(rq.count, rq.size); break;
    case VXL_REALLOC: result = platform::allocRealloc(rq.oldPtr, rq.size); break;
    case VXL_STRDUP: result = rq.source != nullptr ? platform::allocStrdup(rq.source) : nullptr; break;
#if !defined(_WIN32)
    case VXL_VALLOC: result = platform::allocValloc(rq.size); break;
    case VXL_MEMALIGN: result = platform::allocMemalign(rq.count, rq.size); break;
#else
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

    if (freedBySizeZero && result != nullptr) {
        // Some platforms hand out a minimal block for realloc(p, 0); the
        // contract is "old block freed, null returned", so give it back.
        platform::releaseFree(result);
        result = nullptr;
    }

    if (result == nullptr && !freedBySizeZero) {
        if (fresh != nullptr) {
            // A failed realloc leaves the old block, so its record returns,
            // to the index entry that the new record held.
            LockGuard guard(tracking.mutGlobalData);
            cancelRecord(fresh);
            if (oldNode != nullptr)
                addressIndex.insert(oldNode);
        }
        return failed();
    }
    if (!trackingOn)
        return result;

    const char *note = "";
    std::uint64_t indexAfter = 0;
    bool unrecorded = false;
    {
        LockGuard guard(tracking.mutGlobalData);
        if (tracking.stopAnchor == nullptr)  // called after VexalFinish: nothing to record into
            return result;
        if (isRealloc) {
            if (oldNode != nullptr) {
                subtractSize(oldNode->record);
                dropDetached(oldNode);
            } else {
                note = kNoteNotMonitored;
            }
        }
        if (freedBySizeZero) {
            note = kNoteSizeZero;
        } else {
            if (fresh != nullptr)
                rekey(fresh, result);
            else
                fresh = makeRecord(result, size, rq.line, rq.file, rq.type);
            unrecorded = fresh == nullptr;
            if (!unrecorded) {
                AllocationRecord *record = commitRecord(fresh);
                tracking.counts[rq.type].calls += 1;
                tracking.counts[rq.type].stillAllocated += static_cast<std::int64_t>(size);
#if defined(_WIN32)
                record->heap = rq.heap;
#else
                (void)record;
#endif
            }
        }
        indexAfter = tracking.globalIndex.load(std::memory_order_relaxed);
    }
    if (unrecorded) {
        giveBack(rq, result);
        return failed();
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

std::uint32_t currentThreadId() noexcept { return platform::threadId(); }

void discardRecords()
{
    if (tracking.startAnchor != nullptr) {
        // Records live in the pool, not in list-allocated links: detach them
        // so that the list frees only its anchors.
        list::detachAll(tracking.startAnchor, tracking.stopAnchor);
        LinkedListFinish(&tracking.startAnchor, &tracking.stopAnchor);
        tracking.internalUse -= 2 * static_cast<std::int64_t>(sizeof(Link));
    }
    tracking.startAnchor = nullptr;
    tracking.stopAnchor = nullptr;
    addressIndex.clear();
    nodePool.clear();
    fileNames.clear();
    largeSizes.clear();
}

std::uint64_t exactSize(const AllocationRecord &record) noexcept
{
    return record.size != kSaturatedSize ? record.size : largeSizes.get(nodeOf(&record));
}

Link *getLink(const void *address)
{
    RecordNode *node = addressIndex.find(address);
    return node != nullptr ? &node->link : nullptr;
}

void *release(const ReleaseRequest &rq)
{
    AllocationRecord *rec = rq.link != nullptr ? recordOf(rq.link) : nullptr;
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
#if defined(_WIN32)
    // HeapFree on the heap the caller named (VexalHeapFree), else on the
    // record's own heap.
    void *heap = rq.heap != nullptr ? rq.heap : (rec != nullptr ? rec->heap : nullptr);
    void *result = platform::releaseBlock(releaseKind, rq.ptr, heap, rq.heapFlags);
#else
    void *result = platform::releaseBlock(releaseKind, rq.ptr);
#endif
    if (rec == nullptr) {
        logInfo(methodNames[releaseKind], kNoteNotRegistered, rq.file, rq.line, rq.defaultType, -1, rq.ptr,
                currentThreadId(), tracking.globalIndex.load(std::memory_order_relaxed));
        ++tracking.addressNotStored;
        return result;
    }
    subtractSize(*rec);
    logInfo(methodNames[releaseKind], "", rq.file, rq.line, rec->type, static_cast<std::int64_t>(exactSize(*rec)),
            rec->address, rec->threadId, rec->index);
    removeLink(rq.link);
    return result;
}

} // namespace vexal

using namespace vexal;

extern "C" {

void *VexalMalloc(size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_MALLOC, .line = line, .file = file, .size = size};
    return allocate(rq);
}

void *VexalCalloc(size_t count, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_CALLOC, .line = line, .file = file, .count = count, .size = size};
    return allocate(rq);
}

void *VexalRealloc(void *ptr, int /*ignored*/, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_REALLOC, .line = line, .file = file, .size = size, .oldPtr = ptr};
    return allocate(rq);
}

char *VexalStrdup(const char *src, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_STRDUP, .line = line, .file = file, .source = src};
    return static_cast<char *>(allocate(rq));
}

#if !defined(_WIN32)
void *VexalValloc(size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_VALLOC, .line = line, .file = file, .size = size};
    return allocate(rq);
}

void *VexalMemalign(size_t alignment, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_MEMALIGN, .line = line, .file = file, .count = alignment, .size = size};
    return allocate(rq);
}
#endif

void VexalFree(void *ptr, const char *file, int line)
{
    if (tracking.vxlOn.load(std::memory_order_relaxed) == 0) {
        platform::releaseFree(ptr);
        return;
    }
    LockGuard guard(tracking.mutGlobalData);
    if (tracking.stopAnchor == nullptr) {  // after VexalFinish: no records left to consult
        platform::releaseFree(ptr);
        return;
    }
    release(ReleaseRequest{getLink(ptr), VXL_MALLOC, line, file, ptr});
}

} // extern "C"
