// SPDX-License-Identifier: MIT
// Selective freeing and the application's own walk over the records.
#include "VexalInternal.h"

#include <cstring>

namespace vexal {
namespace {

// Cursor of VexalGetListEntry (guarded by the global lock), and whether the
// calling thread's walk holds that lock. Kept per thread rather than as a
// thread id: 32-bit ids of two threads can coincide.
Link *listCursor = nullptr;
thread_local bool walking = false;
// The cursor's record was released during the walk (the Windows lock lets
// the walking thread call the wrappers); the cursor then stands on the link
// before it, which may be the start anchor.
bool cursorBetween = false;

struct Filter {
    const char *file;
    int lineMin, lineMax;
    int sizeMin, sizeMax;
    unsigned threadId;
    std::int64_t indexMin, indexMax;

    bool passes(const AllocationRecord &rec, std::int64_t size) const
    {
        // An upper bound of 0 (or less) switches a range filter off.
        if (file != nullptr && file[0] != '\0' && !platform::sameFileName(file, rec.file))
            return false;
        if (lineMax > 0 && (rec.line < lineMin || rec.line > lineMax))
            return false;
        if (sizeMax > 0 && (size < sizeMin || size > sizeMax))
            return false;
        if (threadId != 0 && threadId != rec.threadId)
            return false;
        return platform::indexSelected(rec.index, indexMin, indexMax);
    }
};

} // namespace

bool walkingHere() noexcept { return walking; }

void recordLeaving(Link *link)
{
    if (link == listCursor) {
        listCursor = link->prev;
        cursorBetween = true;
    }
}

} // namespace vexal

using namespace vexal;

extern "C" {

// Frees and removes whatever the tracking switch says: a block freed without
// its record would leave a record of a dead block behind.
int64_t VexalFreeThese(const char *file, int lineMin, int lineMax, int sizeMin, int sizeMax, unsigned threadId,
                       int64_t indexMin, int64_t indexMax)
{
    const Filter filter{file, lineMin, lineMax, sizeMin, sizeMax, threadId, indexMin, indexMax};
    std::int64_t sum = 0;
    LockGuard guard(tracking.mutGlobalData);
    if (tracking.stopAnchor == nullptr)
        return 0;
    for (Link *link = LinkedListGetLast(tracking.stopAnchor); link != nullptr;) {
        Link *before = LinkedListGetPrev(link);
        const AllocationRecord &rec = *recordOf(link);
        const auto size = static_cast<std::int64_t>(exactSize(rec));
        if (filter.passes(rec, size)) {
            sum += size;
            release(ReleaseRequest{link, rec.type, rec.line, rec.file, rec.address});
        }
        link = before;
    }
    return sum;
}

int64_t VexalFreeAll(void) { return VexalFreeThese("", 0, 0, 0, 0, 0, 0, 0); }

AllocationRecord *VexalGetListEntry(int mode)
{
    switch (mode) {
    case 0:
        // A second mode 0 from the walking thread restarts the walk instead
        // of deadlocking on the lock it already holds.
        if (!walking) {
            tracking.mutGlobalData.lock();
            walking = true;
        }
        listCursor = tracking.stopAnchor != nullptr ? LinkedListGetFirst(tracking.startAnchor) : nullptr;
        cursorBetween = false;
        break;
    case 1:
        if (!walking)
            return nullptr;  // outside a walk the list may change under the cursor
        listCursor = LinkedListGetNext(listCursor);
        cursorBetween = false;
        break;
    case 2:
        if (walking) {
            walking = false;
            tracking.mutGlobalData.unlock();
        }
        return nullptr;
    default:
        if (!walking || cursorBetween)
            return nullptr;
        break;
    }
    return listCursor != nullptr ? recordOf(listCursor) : nullptr;
}

uint64_t VexalGetIndex(void)
{
    LockGuard guard(tracking.mutGlobalData);
    return tracking.globalIndex.load(std::memory_order_relaxed);
}

} // extern "C"
