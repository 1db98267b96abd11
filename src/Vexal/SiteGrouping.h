// SPDX-License-Identifier: MIT
// The live records grouped by call site (file name as the application passed
// it, line and memory function) for a monitor: per site the live blocks and
// bytes and the lowest and highest index. Collected in one pass under the
// global lock; every bit of its memory comes from the platform allocator,
// never from the library's own wrappers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexal {
struct Record;
}

namespace vexal::comm {
class Outbox;
}

namespace vexal::sites {

struct Site {
    const char *file;  // the grouping's own copy, cut to a message's file field
    std::int32_t line;
    std::int32_t type;
    std::int64_t blocks;
    std::int64_t bytes;
    std::int64_t firstIndex;
    std::int64_t lastIndex;
};

class Grouping {
public:
    Grouping() = default;
    ~Grouping();
    Grouping(const Grouping &) = delete;
    Grouping &operator=(const Grouping &) = delete;

    // With the global lock held: groups the live records whose index is
    // `sinceIndex` or more, and copies the sites' file names, which the
    // records share with the store. False when memory ran out.
    bool collect(std::uint64_t sinceIndex);
    // Without the lock: sites whose names were told apart only by where the
    // application kept them become one.
    void merge();

    std::size_t count() const { return count_; }
    const Site &site(std::size_t i) const { return sites_[i]; }
    std::int64_t totalBlocks() const { return totalBlocks_; }
    std::int64_t totalBytes() const { return totalBytes_; }

private:
    bool grow();
    bool copyNames();

    // Open addressing on the record's file number, line and type: a probe
    // costs no string comparison, and the sites of a program fit the cache.
    struct Slot {
        std::uint32_t name;
        std::int32_t line;
        std::int32_t type;
        std::size_t site;  // into sites_, plus one; 0: empty
    };
    static bool holds(const Slot &slot, const Record &record);
    // The slot of the record's site, or the empty one where it would go.
    std::size_t slotOf(const Record &record) const;

    Slot *slots_ = nullptr;
    std::size_t capacity_ = 0;  // power of two
    Site *sites_ = nullptr;
    std::size_t count_ = 0;
    std::size_t sitesCapacity_ = 0;
    char *names_ = nullptr;
    std::int64_t totalBlocks_ = 0;
    std::int64_t totalBytes_ = 0;
};

// Hands the sites to the sender, a message (9) each, in batches, then the
// end (10) with the totals and `nextIndex`. Without the lock. When the
// grouping ran out of memory, the end alone, with -1 sites: the monitor then
// groups the list. False when the connection could not take them.
bool send(const Grouping &grouping, bool grouped, std::uint64_t nextIndex, comm::Outbox &outbox);

} // namespace vexal::sites
