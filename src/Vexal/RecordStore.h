// SPDX-License-Identifier: MIT
// Bookkeeping behind the records: where they live, how a record is found by
// its block's address, and the exact sizes of blocks too large for a
// record's size field; RecordStore puts them together with the file names.
// None of these lock; the core uses them only under the global lock. The
// paths every tracked call takes are inline: they are most of its cost.
#pragma once

#include "NameTable.h"
#include "Vexal.h"

#include <cstddef>
#include <cstdint>

namespace vexal {

// A live block's record as the library keeps it: 32 bytes where the public
// AllocationRecord, made from it for VexalGetListEntry, takes 40. The file
// is a number in the name table and shares its word with the kind.
struct Record {
    void *address;        // the block as the platform returned it
    std::uint64_t index;  // running number
    std::uint32_t size;   // bytes, saturated: see kSaturatedSize
    std::int32_t line;
    std::uint32_t threadId;
    std::uint32_t type : 4;                  // the allocation kind (0 to 11)
    std::uint32_t name : NameTable::kIdBits;  // the file's number in the name table
#if defined(_WIN32)
    void *heap;  // heap handle of VexalHeapAlloc/VexalHeapReAlloc blocks
#endif
};
#if !defined(_WIN32)
static_assert(sizeof(void *) != 8 || sizeof(Record) == 32);
#endif

// Slabs of records with a free list: a record costs no call to the platform
// allocator in the steady state, and nothing beside its own fields: the
// records keep no list links, their order is their index (RecordWalk).
// Records are carved from a slab in order and only as needed, so a small
// program touches only the pages it uses. Every record has a number, which
// the address index and the free list store instead of a pointer. Slabs are
// returned at clear().
class NodePool {
public:
    // A record for the caller to fill, and its number; null when no slab can
    // be allocated.
    Record *acquire(std::uint32_t &number) noexcept
    {
        if (freeList_ != 0) {
            number = freeList_;
            Record *free = record(number);
            freeList_ = free->threadId;
            ++live_;
            return free;
        }
        if (carved_ == kNodesPerSlab && !addSlab())
            return nullptr;
        number = (slabCount_ - 1) << kOffsetBits | carved_++;
        ++live_;
        return record(number);
    }

    // Marks it free: a walk over the pool skips it.
    void release(Record *free, std::uint32_t number) noexcept
    {
        free->type = kFreeType;
        free->threadId = freeList_;
        freeList_ = number;
        --live_;
    }

    // A record held back for later: walks skip it and live() does not
    // count it until show().
    Record *acquireHidden(std::uint32_t &number) noexcept
    {
        Record *held = acquire(number);
        if (held != nullptr) {
            held->type = kFreeType;
            --live_;
        }
        return held;
    }
    void show() noexcept { ++live_; }

    void clear() noexcept;

    std::uint32_t numberOf(const Record *record) const noexcept;  // never 0
    Record *record(std::uint32_t number) const noexcept
    {
        return &slabs_[number >> kOffsetBits][number & kOffsetMask];
    }

    static bool isFree(const Record &record) noexcept { return record.type == kFreeType; }
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
    static constexpr std::uint32_t kNodesPerSlab = static_cast<std::uint32_t>(kSlabBytes / sizeof(Record));

private:
    // A number is the slab's number and the place in it.
    static constexpr unsigned kOffsetBits = 17;
    static constexpr std::uint32_t kOffsetMask = (1u << kOffsetBits) - 1;
    static_assert(kNodesPerSlab <= kOffsetMask);
    static constexpr std::uint32_t kMaxSlabs = std::uint32_t{1} << (32 - kOffsetBits);
    static constexpr std::uint32_t kFreeType = 15;  // no record of a live block has it
    bool addSlab() noexcept;

    Record **slabs_ = nullptr;
    std::uint32_t slabCount_ = 0;
    std::uint32_t slabCapacity_ = 0;
    std::uint32_t carved_ = kNodesPerSlab;  // places of the newest slab in use or on the free list
    std::uint32_t freeList_ = 0;            // a number, linked through `threadId`; 0: empty
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

    Record *find(const void *address) const noexcept
    {
        if (capacity_ == 0)
            return nullptr;
        const std::uint32_t hash = hashOf(address);
        for (std::size_t slot = homeOf(hash); slots_[slot].node != 0; slot = next(slot)) {
            if (holds(slots_[slot], hash, address)) {
                found_ = slot;
                return pool_.record(slots_[slot].node);
            }
        }
        return nullptr;
    }

    // False when the table cannot grow.
    bool insert(Record *record, std::uint32_t number) noexcept
    {
        if (used_ == growAt_ && !resize(capacity_ == 0 ? kMinCapacity : larger(capacity_)))
            return false;
        const void *address = record->address;
        const std::uint32_t hash = hashOf(address);
        Slot carried{number, hash};
        std::size_t slot = homeOf(hash);
        // Older records of the same address each move one place along the
        // run, the oldest to its end: the newest is found first.
        for (; slots_[slot].node != 0; slot = next(slot)) {
            if (holds(slots_[slot], hash, address)) {
                const Slot older = slots_[slot];
                slots_[slot] = carried;
                carried = older;
            }
        }
        slots_[slot] = carried;
        ++used_;
        return true;
    }

    // Takes an indexed record out; returns its number.
    std::uint32_t erase(const Record *record) noexcept
    {
        // A release finds, then erases, the same record: the second probe
        // is saved.
        std::size_t slot = found_;
        if (slot >= capacity_ || slots_[slot].node == 0 || pool_.record(slots_[slot].node) != record)
            slot = slotOf(record);
        if (slot == capacity_)
            return 0;  // not indexed
        const std::uint32_t number = slots_[slot].node;
        removeSlot(slot);
        // Shrinking is best effort: a failed resize keeps the larger table.
        if (used_ < shrinkBelow_)
            resize(smaller(capacity_));
        return number;
    }

    bool contains(const Record *record) const noexcept { return slotOf(record) != capacity_; }

    // Sets a place aside for one insert that must not fail: no other insert
    // takes it. False when the table cannot grow.
    bool reserve() noexcept
    {
        if (used_ == growAt_ && !resize(capacity_ == 0 ? kMinCapacity : larger(capacity_)))
            return false;
        --growAt_;
        ++reserved_;
        return true;
    }
    // Gives a place back; an insert right after takes it and cannot fail.
    void unreserve() noexcept
    {
        ++growAt_;
        --reserved_;
    }

    void clear() noexcept;

private:
    struct Slot {
        std::uint32_t node;  // the record's number; 0: the slot is empty
        std::uint32_t hash;
    };
    static constexpr std::size_t kMinCapacity = 1024;
    // Capacities are powers of two. Growing by half instead keeps the table
    // fuller (4 bytes less a record at a million) but makes probe runs
    // longer and the home of a slot a multiplication: a tracked pair took
    // a tenth more instructions.
    static std::size_t larger(std::size_t capacity) noexcept { return capacity * 2; }
    static std::size_t smaller(std::size_t capacity) noexcept { return capacity / 2; }

    // Blocks within one 512-byte stretch of memory keep their order in one
    // run of 32 slots, a place per 16 bytes; the runs start at scattered
    // places. Blocks allocated or freed one after another mostly lie side by
    // side, so their slots share cache lines, and the next line is the one
    // the processor fetches ahead: a table much larger than the cache costs
    // a miss per stretch instead of one per call. Longer stretches fetch
    // better still but pile dense stretches into long probe runs: at 1 KiB
    // a churn of small blocks beside half a million live ones took half as
    // many instructions again.
    static constexpr unsigned kStretchBits = 9;
    static constexpr unsigned kGrainBits = 4;
    static std::uint32_t hashOf(const void *address) noexcept
    {
        const auto key = reinterpret_cast<std::uintptr_t>(address);
        const std::uint64_t scattered = static_cast<std::uint64_t>(key >> kStretchBits) * 0x9E3779B97F4A7C15ULL;
        // A run starts at any slot, not at a multiple of its length: blocks
        // at one offset in many stretches (one big block a page, say) get
        // homes of their own instead of piling up on one.
        constexpr std::uintptr_t kPlaces = (std::uintptr_t{1} << (kStretchBits - kGrainBits)) - 1;
        return static_cast<std::uint32_t>(scattered >> 32) + static_cast<std::uint32_t>((key >> kGrainBits) & kPlaces);
    }
    std::size_t homeOf(std::uint32_t hash) const noexcept { return hash & (capacity_ - 1); }
    std::size_t next(std::size_t slot) const noexcept { return (slot + 1) & (capacity_ - 1); }
    // Steps from `from` forward to `to`, round the end of the table.
    std::size_t distance(std::size_t from, std::size_t to) const noexcept { return (to - from) & (capacity_ - 1); }
    bool holds(const Slot &slot, std::uint32_t hash, const void *address) const noexcept
    {
        return slot.hash == hash && pool_.record(slot.node)->address == address;
    }

    void removeSlot(std::size_t slot) noexcept
    {
        // Backward-shift deletion keeps probe runs unbroken without
        // tombstones, and keeps the order of the entries that stay, so a
        // repeated address stays newest first.
        std::size_t hole = slot;
        for (std::size_t at = next(hole); slots_[at].node != 0; at = next(at)) {
            // Move the entry back if its home does not lie cyclically in (hole, at].
            if (distance(homeOf(slots_[at].hash), at) >= distance(hole, at)) {
                slots_[hole] = slots_[at];
                hole = at;
            }
        }
        slots_[hole] = Slot{0, 0};
        --used_;
    }

    std::size_t slotOf(const Record *record) const noexcept;  // capacity_ when absent
    bool resize(std::size_t capacity) noexcept;

    const NodePool &pool_;
    Slot *slots_ = nullptr;
    std::size_t capacity_ = 0;  // power of two
    std::size_t used_ = 0;
    // Grow beyond 7/8 full, shrink below 1/8 (not below kMinCapacity): a
    // table never flips between sizes on one insert and erase. At 3/4 a
    // table just doubled cost up to 21 bytes a live block instead of 18, and
    // an interpreter whose peak fell just past a doubling 2.0x its plain
    // peak memory instead of 1.8x; the longer probe runs near 7/8 cost it a
    // tenth more time there, and no benchmark of the library's own moved.
    static std::size_t holdsAtMost(std::size_t capacity) noexcept { return capacity / 8 * 7; }
    // Set by resize().
    std::size_t growAt_ = 0;
    std::size_t shrinkBelow_ = 0;
    std::size_t reserved_ = 0;  // places set aside, already taken off growAt_
    mutable std::size_t found_ = 0;  // where find() found its record last
};

// A record's 32-bit size holds at most this; the exact size of a larger block
// is kept beside the record, in LargeSizes.
inline constexpr std::uint32_t kSaturatedSize = UINT32_MAX;

// Exact sizes of the blocks whose record holds kSaturatedSize. Each such block
// is 4 GiB or more, so there are few, and a short array does.
class LargeSizes {
public:
    bool put(const Record *record, std::uint64_t size) noexcept;  // false when out of memory
    std::uint64_t get(const Record *record) const noexcept;
    void erase(const Record *record) noexcept;
    void clear() noexcept;

private:
    struct Entry {
        const Record *record;
        std::uint64_t size;
    };
    Entry *entries_ = nullptr;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
};

// The records of live blocks with everything they need: their pool, the
// address index, the shared file names and the sizes of huge blocks.
class RecordStore {
public:
    // A new record, found by its address from now on; null when there is no
    // memory for the bookkeeping.
    [[gnu::always_inline]] Record *add(void *address, std::uint64_t size, int line, const char *file, int type,
                                       std::uint32_t threadId, std::uint64_t index) noexcept
    {
        std::uint32_t number;
        Record *rec = pool_.acquire(number);
        if (rec == nullptr)
            return nullptr;
        const std::uint32_t name = names_.acquire(file != nullptr ? file : "");
        if (name == 0) {
            pool_.release(rec, number);
            return nullptr;
        }
        // The public field keeps 32 bits; a larger block is kept whole beside it.
        rec->size = size < kSaturatedSize ? static_cast<std::uint32_t>(size) : kSaturatedSize;
        rec->name = name;
        describe(rec, address, line, type, threadId, index);
        const bool large = rec->size == kSaturatedSize;
        if ((large && !large_.put(rec, size)) || !index_.insert(rec, number)) {
            drop(rec, number);
            return nullptr;
        }
        return rec;
    }

    // The newest record of a block, or null.
    Record *find(const void *address) const noexcept { return index_.find(address); }

    // A realloc takes the old record out of the index before the platform
    // call, and then either drops it or, when the call failed, puts it back
    // (false: the index could not take it). Meanwhile the record is live
    // but not indexed: its block is the realloc's, no one else's to free.
    bool indexed(const Record *record) const noexcept { return index_.contains(record); }
    std::uint32_t unindex(const Record *record) noexcept { return index_.erase(record); }
    bool reindex(Record *record, std::uint32_t number) noexcept { return index_.insert(record, number); }
    void drop(Record *record, std::uint32_t number) noexcept
    {
        if (record->size == kSaturatedSize)
            large_.erase(record);
        names_.release(record->name);
        pool_.release(record, number);
    }

    // What a realloc needs for its new record, had before its platform call:
    // once the old block is gone, recording the new one must not fail.
    // Hidden from walks and counts until filled.
    struct Reservation {
        Record *record = nullptr;
        std::uint32_t number = 0;
    };
    bool reserve(Reservation &held, std::uint64_t size, const char *file) noexcept;
    // The reserved record made the record of `address`; cannot fail.
    Record *fill(Reservation &held, void *address, int line, int type, std::uint32_t threadId,
                 std::uint64_t index) noexcept;
    // Lets a reservation go, unused.
    void cancel(Reservation &held) noexcept;
    // Lets a reservation go and puts an unindexed record back in its place in
    // the index instead; cannot fail.
    void reindexInstead(Reservation &held, Record *record, std::uint32_t number) noexcept;

    // What a realloc needs to keep its block's record for the new block,
    // had before its platform call, so that renewing cannot fail. Only for
    // blocks whose sizes fit a record's size field.
    struct Renewal {
        Record *record = nullptr;
        std::uint32_t name = 0;
    };
    bool prepareRenewal(Renewal &held, Record *record, const char *file) noexcept;
    // The record describes the block at `address` now; cannot fail.
    void renew(Renewal &held, void *address, std::uint32_t size, int line, int type, std::uint32_t threadId,
               std::uint64_t index) noexcept;
    // The platform call failed: the record stays as it was.
    void abandon(Renewal &held) noexcept;

    std::uint64_t exactSize(const Record &record) const noexcept
    {
        return record.size != kSaturatedSize ? record.size : large_.get(&record);
    }

    // The file name of a record, and its length.
    const char *fileOf(const Record &record) const noexcept { return names_.text(record.name); }
    std::size_t fileLength(const Record &record) const noexcept { return names_.length(record.name); }

    const NodePool &pool() const noexcept { return pool_; }
    std::size_t count() const noexcept { return pool_.live(); }

    // Drops every record and gives all the memory back.
    void clear() noexcept;

private:
    // The fields of a record but its size and file.
    [[gnu::always_inline]] static void describe(Record *rec, void *address, int line, int type, std::uint32_t threadId,
                                                std::uint64_t index) noexcept
    {
        rec->address = address;
        rec->line = line;
        rec->type = type;
        rec->threadId = threadId;
        rec->index = index;
#if defined(_WIN32)
        rec->heap = nullptr;  // a pooled record may have held a heap block before
#endif
    }

    NodePool pool_;
    AddressIndex index_{pool_};
    NameTable names_;
    LargeSizes large_;
};

} // namespace vexal
