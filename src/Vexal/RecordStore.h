// SPDX-License-Identifier: MIT
// Bookkeeping behind the record list: where records live, how a record is
// found by its block's address, and the shared copies of file names.
// None of these lock; the core uses them only under the global lock.
#pragma once

#include "LinkedList.h"
#include "Vexal.h"

#include <cstddef>
#include <cstdint>

namespace vexal {

struct NameEntry;

// A record and its list link in one allocation. The link comes first so that
// a Link* from the list converts back to its node.
struct RecordNode {
    Link link;                     // link.datum points at `record`
    AllocationRecord record;
    RecordNode *olderSameAddress;  // address index chain, newest first
    NameEntry *name;               // interned file name, shared by records
};

inline RecordNode *nodeOf(Link *link) noexcept { return reinterpret_cast<RecordNode *>(link); }

// Fixed-size slabs of nodes with a free list: a record costs no call to the
// platform allocator in the steady state. Slabs are returned at clear().
class NodePool {
public:
    RecordNode *acquire() noexcept;  // null when no slab can be allocated
    void release(RecordNode *node) noexcept;
    void clear() noexcept;

private:
    static constexpr std::size_t kNodesPerSlab = 4096;
    struct Slab;
    Slab *slabs_ = nullptr;
    RecordNode *freeList_ = nullptr;
};

// Address -> newest node with that address; older nodes with the same
// address hang off it. Open addressing with linear probing, so a lookup costs
// the same with ten or ten million live records. Slots carry the address
// itself: probing and deleting never touch a (likely cold) node.
class AddressIndex {
public:
    RecordNode *find(const void *address) const noexcept;
    bool insert(RecordNode *node) noexcept;  // false when the table cannot grow
    void erase(RecordNode *node) noexcept;
    void clear() noexcept;

private:
    struct Slot {
        const void *address;
        RecordNode *node;  // null: the slot is empty
    };
    static constexpr std::size_t kMinCapacity = 1024;
    // Grow above 3/4 full, shrink below 1/8: linear probing stays short and
    // a table never flips between sizes on one insert and erase.
    static bool tooFull(std::size_t used, std::size_t capacity) { return used * 4 > capacity * 3; }
    static bool tooEmpty(std::size_t used, std::size_t capacity) { return used * 8 < capacity; }

    std::size_t slotOf(const void *address) const noexcept;
    std::size_t probe(const void *address) const noexcept;  // its slot or the empty one ending the run
    bool resize(std::size_t capacity) noexcept;
    void removeSlot(std::size_t slot) noexcept;

    Slot *slots_ = nullptr;
    std::size_t capacity_ = 0;  // power of two
    std::size_t used_ = 0;      // distinct addresses
};

// Interned file names: records of one call site share a single copy.
// Unreferenced names are swept in batches, not one by one, so a call site
// whose only block comes and goes does not pay an allocation every time.
class NameTable {
public:
    NameEntry *acquire(const char *text) noexcept;  // null when out of memory
    void release(NameEntry *entry) noexcept;
    void clear() noexcept;

    static const char *text(const NameEntry *entry) noexcept;
    static std::size_t length(const NameEntry *entry) noexcept;

private:
    static constexpr std::size_t kMinCapacity = 64;
    static constexpr std::size_t kIdleLimit = 256;  // unreferenced names kept before a sweep
    bool resize(std::size_t capacity) noexcept;
    void sweep() noexcept;

    NameEntry **slots_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::size_t idle_ = 0;
};

} // namespace vexal
