// SPDX-License-Identifier: MIT
// Bookkeeping behind the record list: where records live, how a record is
// found by its block's address, the shared copies of file names, and the
// exact sizes of blocks too large for a record's size field.
// None of these lock; the core uses them only under the global lock.
#pragma once

#include "LinkedList.h"
#include "Vexal.h"

#include <cstddef>
#include <cstdint>

namespace vexal {

// A record and its list link in one allocation; nothing else, so that on a
// 64-bit POSIX host a node is one 64-byte cache line. The link comes first so
// that a Link* from the list converts back to its node.
struct RecordNode {
    Link link;  // link.datum points at `record`; on the free list link.next is the next free node
    AllocationRecord record;
};

inline RecordNode *nodeOf(Link *link) noexcept { return reinterpret_cast<RecordNode *>(link); }

inline const RecordNode *nodeOf(const AllocationRecord *record) noexcept
{
    return reinterpret_cast<const RecordNode *>(reinterpret_cast<const char *>(record) -
                                                offsetof(RecordNode, record));
}

// Slabs of nodes with a free list: a record costs no call to the platform
// allocator in the steady state. Nodes are handed out from a slab in order
// and only as needed, so a small program touches only the pages it uses.
// Every node has a number, which the address index stores instead of a
// pointer. Slabs are returned at clear().
class NodePool {
public:
    // Null when no slab can be allocated.
    RecordNode *acquire() noexcept
    {
        if (freeList_ != nullptr) {
            RecordNode *node = freeList_;
            freeList_ = nodeOf(node->link.next);
            return node;
        }
        if (carved_ == kNodesPerSlab && !addSlab())
            return nullptr;
        return &slabs_[slabCount_ - 1][carved_++];
    }

    void release(RecordNode *node) noexcept
    {
        node->link.next = freeList_ != nullptr ? &freeList_->link : nullptr;
        freeList_ = node;
    }

    void clear() noexcept;

    std::uint32_t numberOf(const RecordNode *node) const noexcept;  // never 0
    RecordNode *node(std::uint32_t number) const noexcept;

    // Slabs are aligned to their size, so a node finds its slab's first bytes,
    // which hold the slab's number instead of a node.
    static constexpr std::size_t kSlabBytes = std::size_t{2} << 20;
    static constexpr std::uint32_t kNodesPerSlab = static_cast<std::uint32_t>(kSlabBytes / sizeof(RecordNode));

private:
    static constexpr std::uint32_t kMaxSlabs = UINT32_MAX / kNodesPerSlab;  // node numbers fit 32 bits
    bool addSlab() noexcept;

    RecordNode **slabs_ = nullptr;
    std::uint32_t slabCount_ = 0;
    std::uint32_t slabCapacity_ = 0;
    std::uint32_t carved_ = kNodesPerSlab;  // nodes of the newest slab in use or on the free list
    RecordNode *freeList_ = nullptr;
};

// Address -> node, newest first for a repeated address. Open addressing with
// linear probing, so a lookup costs the same with ten or ten million live
// records. A slot is 8 bytes: the node's number and a 32-bit hash of its
// address. The hash decides a slot's home, so probing, deleting and growing
// never touch a (likely cold) node; a node is read only to confirm a match.
// Records of one address sit in one probe run, newest first.
class AddressIndex {
public:
    explicit AddressIndex(const NodePool &pool) noexcept : pool_(pool) {}
    RecordNode *find(const void *address) const noexcept;
    bool insert(RecordNode *node) noexcept;  // false when the table cannot grow
    void erase(RecordNode *node) noexcept;
    void clear() noexcept;

private:
    struct Slot {
        std::uint32_t node;  // 0: the slot is empty
        std::uint32_t hash;
    };
    static constexpr std::size_t kMinCapacity = 1024;
    // Grow above 3/4 full, shrink below 1/8: linear probing stays short and
    // a table never flips between sizes on one insert and erase.
    static bool tooFull(std::size_t used, std::size_t capacity) { return used * 4 > capacity * 3; }
    static bool tooEmpty(std::size_t used, std::size_t capacity) { return used * 8 < capacity; }

    static std::uint32_t hashOf(const void *address) noexcept;
    std::size_t next(std::size_t slot) const noexcept { return (slot + 1) & (capacity_ - 1); }
    bool holds(const Slot &slot, std::uint32_t hash, const void *address) const noexcept;
    bool resize(std::size_t capacity) noexcept;
    void removeSlot(std::size_t slot) noexcept;

    const NodePool &pool_;
    Slot *slots_ = nullptr;
    std::size_t capacity_ = 0;  // power of two
    std::size_t used_ = 0;
    // Where find() found its node last: a release finds, then erases, the
    // same record, and the second probe is saved.
    mutable std::size_t found_ = 0;
};

// Interned file names: records of one call site share a single copy, and a
// record's `file` points into its entry. Unreferenced names are swept in
// batches, not one by one, so a call site whose only block comes and goes
// does not pay an allocation every time.
class NameTable {
public:
    const char *acquire(const char *text) noexcept;  // the shared copy; null when out of memory
    void release(const char *shared) noexcept;       // `shared` as acquire returned it
    void clear() noexcept;

    static std::size_t length(const char *shared) noexcept { return entryOf(shared)->length; }

private:
    struct Entry {
        std::uint64_t hash;
        std::size_t length;
        std::size_t refs;
        char text[1];  // length + 1 bytes follow
    };
    static Entry *entryOf(const char *shared) noexcept
    {
        return reinterpret_cast<Entry *>(const_cast<char *>(shared) - offsetof(Entry, text));
    }

    static constexpr std::size_t kMinCapacity = 64;
    static constexpr std::size_t kIdleLimit = 256;  // unreferenced names kept before a sweep
    bool resize(std::size_t capacity) noexcept;
    void sweep() noexcept;

    Entry **slots_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::size_t idle_ = 0;
    Entry *last_ = nullptr;  // the name asked for last, tried first
};

// A record's 32-bit size holds at most this; the exact size of a larger block
// is kept beside the record, in LargeSizes.
inline constexpr std::uint32_t kSaturatedSize = UINT32_MAX;

// Exact sizes of the blocks whose record holds kSaturatedSize. Each such block
// is 4 GiB or more, so there are few, and a short array does.
class LargeSizes {
public:
    bool put(const RecordNode *node, std::uint64_t size) noexcept;  // false when out of memory
    std::uint64_t get(const RecordNode *node) const noexcept;
    void erase(const RecordNode *node) noexcept;
    void clear() noexcept;

private:
    struct Entry {
        const RecordNode *node;
        std::uint64_t size;
    };
    Entry *entries_ = nullptr;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace vexal
