// SPDX-License-Identifier: MIT
// Selective freeing and the application's own walk over the records.
#include "VexalInternal.h"

#include <cstring>

namespace vexal {
namespace {

// The walk of VexalGetListEntry (guarded by the global lock), and whether
// the calling thread's walk holds that lock. Kept per thread rather than as
// a thread id: 32-bit ids of two threads can coincide.
RecordWalk listWalk;
thread_local bool walking = false;

// What VexalGetListEntry hands out: the record it stands on, in the public
// form, valid until its next call (the records keep a smaller one).
AllocationRecord listed;

AllocationRecord *shown(const Record *rec)
{
    if (rec == nullptr)
        return nullptr;
    listed.address = rec->address;
    listed.size = rec->size;
#if defined(_WIN32)
    listed.heap = rec->heap;
#endif
    listed.line = rec->line;
    listed.file = fileOf(*rec);
    listed.type = static_cast<std::int32_t>(rec->type);
    listed.threadId = rec->threadId;
    listed.index = rec->index;
    return &listed;
}

struct Filter {
    const char *file;
    int lineMin, lineMax;
    int sizeMin, sizeMax;
    unsigned threadId;
    std::int64_t indexMin, indexMax;

    bool passes(const Record &rec, std::int64_t size) const
    {
        // An upper bound of 0 (or less) switches a range filter off.
        if (file != nullptr && file[0] != '\0' && !platform::sameFileName(file, fileOf(rec)))
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
    if (!tracking.started)
        return 0;
    // Newest first; the walk steps past a record that the release drops.
    RecordWalk walk;
    for (Record *rec = startWalk(walk, true); rec != nullptr; rec = walk.next()) {
        const auto size = static_cast<std::int64_t>(exactSize(*rec));
        if (filter.passes(*rec, size) && releasable(*rec)) {
            sum += size;
            release(ReleaseRequest{rec, static_cast<int>(rec->type), rec->line, fileOf(*rec), rec->address});
        }
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
        if (!tracking.started) {
            listWalk.clear();
            return nullptr;
        }
        return shown(startWalk(listWalk));
    case 1:
        if (!walking)
            return nullptr;  // outside a walk the records may change under it
        return shown(continueWalk(listWalk));
    case 2:
        if (walking) {
            walking = false;
            listWalk.clear();
            tracking.mutGlobalData.unlock();
        }
        return nullptr;
    default:
        return walking ? shown(listWalk.current()) : nullptr;
    }
}

uint64_t VexalGetIndex(void)
{
    LockGuard guard(tracking.mutGlobalData);
    return tracking.globalIndex.load(std::memory_order_relaxed);
}

} // extern "C"
