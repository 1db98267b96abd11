// SPDX-License-Identifier: MIT
// Bookkeeping behind the records: where they live, how a record is found by
// its block's address, the shared copies of file names, and the exact sizes
// of blocks too large for a record's size field.
// None of these lock; the core uses them only under the global lock.
#pragma once

#include "Vexal.h"

#include <cstddef>
#include <cstdint>

namespace vexal {

// Slabs of records with a free list: a record costs no call to the platform
// allocator in the steady state, and nothing beside its own fields: the
// records keep no list links, their order is their index (RecordWalk).
// Records are carved from a slab in order and only as needed, so a small
// program touches only the pages it uses. Every record has a number, which
// the address index stores instead of a pointer. Slabs are returned at
// clear().
class NodePool {
public:
    // Null when no slab can be allocated. The caller fills the record.
    AllocationRecord *acquire() noexcept
    {
        AllocationRecord *record = freeList_;
        if (record != nullptr) {
            freeList_ = static_cast<AllocationRecord *>(record->address);
        } else {
            if (carved_ == kNodesPerSlab && !addSlab())
                return nullptr;
            record = &slabs_[slabCount_ - 1][carved_++];
        }
        ++live_;
        return record;
    }

    void release(AllocationRecord *record) noexcept
    {
        record->type = kFreeType;
        record->address = freeList_;
        freeList_ = record;
        --live_;
    }

    void clear() noexcept;

    std::uint32_t numberOf(const AllocationRecord *record) const noexcept;  // never 0
    AllocationRecord *record(std::uint32_t number) const noexcept
    {
        return &slabs_[number >> kOffsetBits][number & kOffsetMask];
    }

    static bool isFree(const AllocationRecord &record) noexcept { return record.type == kFreeType; }
    std::size_t live() const noexcept { return live_; }

    // Every number that was handed out, free ones among them: 0 < n < end(),
    // skipping each slab's first place (see below).
    std::uint32_t end() const noexcept
    {
        return slabCount_ == 0 ? 0 : ((slabCount_ - 1) << kOffsetBits) | carved_;
    }
    // The number after `number` that names a place, or end().
    std::uint32_t next(std::uint32_t number) const noexcept
    {
        if ((number & kOffsetMask) + 1 < kNodesPerSlab)
            return number + 1;
        return (((number >> kOffsetBits) + 1) << kOffsetBits) | 1;
    }

    // Slabs are aligned to their size, so a record finds its slab's first
    // bytes, which hold the slab's number instead of a record.
    static constexpr std::size_t kSlabBytes = std::size_t{2} << 20;
    static constexpr std::uint32_t kNodesPerSlab = static_cast<std::uint32_t>(kSlabBytes / sizeof(AllocationRecord));

private:
    // A number is the slab's number and the place in it.
    static constexpr unsigned kOffsetBits = 16;
    static constexpr std::uint32_t kOffsetMask = (1u << kOffsetBits) - 1;
    static_assert(kNodesPerSlab <= kOffsetMask);
    static constexpr std::uint32_t kMaxSlabs = std::uint32_t{1} << (32 - kOffsetBits);
    static constexpr std::int32_t kFreeType = -1;  // no record of a live block has it
    bool addSlab() noexcept;

    AllocationRecord **slabs_ = nullptr;
    std::uint32_t slabCount_ = 0;
    std::uint32_t slabCapacity_ = 0;
    std::uint32_t carved_ = kNodesPerSlab;  // places of the newest slab in use or on the free list
    AllocationRecord *freeList_ = nullptr;  // linked through `address`
    std::size_t live_ = 0;
};

// Address -> record, newest first for a repeated address. Open addressing with
// linear probing, so a lookup costs the same with ten or ten million live
// records. A slot is 8 bytes: the record's number and a 32-bit hash of its
// address. The hash decides a slot's home, so probing, deleting and growing
// never touch a (likely cold) record; a record is read only to confirm a match.
// Records of one address sit in one probe run, newest first.
class AddressIndex {
public:
    explicit AddressIndex(const NodePool &pool) noexcept : pool_(pool) {}
    AllocationRecord *find(const void *address) const noexcept;
    bool insert(AllocationRecord *record) noexcept;  // false when the table cannot grow
    void erase(AllocationRecord *record) noexcept;
    void clear() noexcept;

private:
    struct Slot {
        std::uint32_t node;  // the record's number; 0: the slot is empty
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
    // Where find() found its record last: a release finds, then erases, the
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
    bool put(const AllocationRecord *record, std::uint64_t size) noexcept;  // false when out of memory
    std::uint64_t get(const AllocationRecord *record) const noexcept;
    void erase(const AllocationRecord *record) noexcept;
    void clear() noexcept;

private:
    struct Entry {
        const AllocationRecord *record;
        std::uint64_t size;
    };
    Entry *entries_ = nullptr;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace vexal
