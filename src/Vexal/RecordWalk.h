// SPDX-License-Identifier: MIT
// The live records in the order they were made, for the walks under the
// global lock: the list report, the monitor's list, VexalGetListEntry and
// VexalFreeThese.
#pragma once

#include "RecordStore.h"

#include <cstddef>
#include <cstdint>

namespace vexal {

// The pool keeps no order, so a walk sorts the records by index when it
// starts. Without memory for that it visits them in the pool's order
// instead: every record still comes exactly once. A record released during
// the walk (the Windows lock lets the walking thread call the wrappers) is
// skipped; one made during it comes after the end, if the walk is extended.
// Not thread-safe: the global lock keeps the pool still around it.
class RecordWalk {
public:
    RecordWalk() = default;
    RecordWalk(const RecordWalk &) = delete;
    RecordWalk &operator=(const RecordWalk &) = delete;
    ~RecordWalk() { clear(); }

    // Starts at the oldest record, or the newest with `newestFirst`; null
    // when there is none. Records with an index of `indexLimit` or more are
    // not visited.
    Record *start(const NodePool &pool, std::uint64_t indexLimit, bool newestFirst = false) noexcept;
    // Moves on; null past the end, and from then on.
    Record *next() noexcept;
    // The record the walk stands on; null past the end or once it was released.
    Record *current() const noexcept;
    // Past its end (or never started).
    bool ended() const noexcept { return pool_ == nullptr || position_ >= end(); }
    // Goes on, oldest first, to the records made since the walk started or
    // was last extended (indexes below `indexLimit`); null when there are none.
    Record *extend(std::uint64_t indexLimit) noexcept;
    // Lets the walk's memory go; the walk is then past its end.
    void clear() noexcept;

private:
    struct Entry {
        std::uint64_t index;
        std::uint32_t number;
    };
    // Walks of a few records sort here and map nothing.
    static constexpr std::size_t kInPlace = 32;

    Record *begin(const NodePool &pool, std::uint64_t floor, std::uint64_t limit, bool newestFirst) noexcept;
    bool sort(std::size_t count) noexcept;
    bool visits(const Record *record) const noexcept;
    Record *at(std::size_t position) const noexcept;
    std::size_t end() const noexcept;

    const NodePool *pool_ = nullptr;
    std::uint64_t floor_ = 0;  // the walk visits indexes from floor_ to below limit_
    std::uint64_t limit_ = 0;
    Entry *order_ = nullptr;  // oldest first; null: the pool's order, by record number
    std::size_t count_ = 0;
    void *mapped_ = nullptr;
    std::size_t mappedBytes_ = 0;
    std::size_t position_ = 0;
    bool newestFirst_ = false;
    Entry inPlace_[kInPlace];
};

} // namespace vexal
