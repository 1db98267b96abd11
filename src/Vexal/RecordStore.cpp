// SPDX-License-Identifier: MIT
#include "RecordStore.h"

#include "Platform.h"

#include <cstdlib>
#include <cstring>

namespace vexal {

// --- NodePool --------------------------------------------------------------

// Slabs must be aligned to their size, which allocPages does up to a huge page.
static_assert(NodePool::kSlabBytes <= platform::kHugePage);

namespace {

std::uintptr_t slabBase(const Record *record) noexcept
{
    return reinterpret_cast<std::uintptr_t>(record) & ~static_cast<std::uintptr_t>(NodePool::kSlabBytes - 1);
}

} // namespace

bool NodePool::addSlab() noexcept
{
    if (slabCount_ == kMaxSlabs)
        return false;
    if (slabCount_ == slabCapacity_) {
        const std::uint32_t capacity = slabCapacity_ == 0 ? 16 : slabCapacity_ * 2;
        auto *grown = static_cast<Record **>(std::malloc(capacity * sizeof(Record *)));
        if (grown == nullptr)
            return false;
        if (slabCount_ != 0)
            std::memcpy(grown, slabs_, slabCount_ * sizeof(Record *));
        std::free(slabs_);
        slabs_ = grown;
        slabCapacity_ = capacity;
    }
    // The first slab stays on small pages: a program with a few records
    // should not pay for 2 MiB of them.
    auto *slab = static_cast<Record *>(platform::allocPages(kSlabBytes, slabCount_ > 0));
    if (slab == nullptr)
        return false;
    const std::uint32_t number = slabCount_;
    std::memcpy(static_cast<void *>(slab), &number, sizeof number);
    slabs_[slabCount_++] = slab;
    carved_ = 1;  // place 0 holds the number
    return true;
}

std::uint32_t NodePool::numberOf(const Record *record) const noexcept
{
    const std::uintptr_t base = slabBase(record);
    std::uint32_t slab;
    std::memcpy(&slab, reinterpret_cast<const void *>(base), sizeof slab);
    const auto place =
        static_cast<std::uint32_t>((reinterpret_cast<std::uintptr_t>(record) - base) / sizeof(Record));
    return slab << kOffsetBits | place;
}

void NodePool::clear() noexcept
{
    for (std::uint32_t i = 0; i < slabCount_; ++i)
        platform::freePages(slabs_[i], kSlabBytes);
    std::free(slabs_);
    slabs_ = nullptr;
    slabCount_ = 0;
    slabCapacity_ = 0;
    carved_ = kNodesPerSlab;
    freeList_ = 0;
    live_ = 0;
}

// --- AddressIndex ----------------------------------------------------------

std::size_t AddressIndex::slotOf(const Record *record) const noexcept
{
    if (capacity_ == 0)
        return 0;
    const std::uint32_t number = pool_.numberOf(record);
    for (std::size_t slot = homeOf(hashOf(record->address)); slots_[slot].node != 0; slot = next(slot)) {
        if (slots_[slot].node == number)
            return slot;
    }
    return capacity_;
}

bool AddressIndex::resize(std::size_t capacity) noexcept
{
    if (holdsAtMost(capacity) < used_ + reserved_ + 1)
        return false;  // a smaller table would not hold what it must
    const std::size_t bytes = platform::mappingFor(capacity * sizeof(Slot));
    auto *fresh = static_cast<Slot *>(platform::allocPages(bytes, bytes >= platform::kHugePage));
    if (fresh == nullptr)
        return false;
    Slot *old = slots_;
    const std::size_t oldCapacity = capacity_;
    slots_ = fresh;
    capacity_ = capacity;
    growAt_ = holdsAtMost(capacity) - reserved_;
    shrinkBelow_ = capacity > kMinCapacity ? capacity / 8 : 0;
    if (oldCapacity != 0) {
        // Start right after an empty slot, so that every probe run is copied
        // in its own order and a repeated address stays newest first.
        std::size_t start = 0;
        while (old[start].node != 0)
            ++start;
        // The old table's pages go back as soon as the copy has passed
        // them: a table that doubles never holds both copies whole, which
        // would be its program's peak in memory.
        constexpr std::size_t kChunk = platform::kHugePage / sizeof(Slot);
        const bool discarding = oldCapacity >= 2 * kChunk;
        for (std::size_t i = 1, at = start + 1; i <= oldCapacity; ++i, ++at) {
            const std::size_t from = at < oldCapacity ? at : at - oldCapacity;
            if (discarding && from % kChunk == 0) {
                const std::size_t passed = (from == 0 ? oldCapacity : from) - kChunk;
                if (passed / kChunk != start / kChunk)  // the first chunk is passed only at the end
                    platform::discardPages(old + passed, kChunk * sizeof(Slot));
            }
            const Slot &entry = old[from];
            if (entry.node == 0)
                continue;
            std::size_t slot = homeOf(entry.hash);
            while (slots_[slot].node != 0)
                slot = next(slot);
            slots_[slot] = entry;
        }
    }
    platform::freePages(old, platform::mappingFor(oldCapacity * sizeof(Slot)));
    return true;
}

void AddressIndex::clear() noexcept
{
    platform::freePages(slots_, platform::mappingFor(capacity_ * sizeof(Slot)));
    slots_ = nullptr;
    capacity_ = 0;
    used_ = 0;
    growAt_ = 0;
    shrinkBelow_ = 0;
    reserved_ = 0;
}

// --- LargeSizes ------------------------------------------------------------

bool LargeSizes::put(const Record *record, std::uint64_t size) noexcept
{
    if (count_ == capacity_) {
        const std::size_t capacity = capacity_ == 0 ? 8 : capacity_ * 2;
        auto *grown = static_cast<Entry *>(std::malloc(capacity * sizeof(Entry)));
        if (grown == nullptr)
            return false;
        if (count_ != 0)
            std::memcpy(grown, entries_, count_ * sizeof(Entry));
        std::free(entries_);
        entries_ = grown;
        capacity_ = capacity;
    }
    entries_[count_++] = Entry{record, size};
    return true;
}

std::uint64_t LargeSizes::get(const Record *record) const noexcept
{
    for (std::size_t i = 0; i < count_; ++i) {
        if (entries_[i].record == record)
            return entries_[i].size;
    }
    return kSaturatedSize;  // not reached for a record that holds kSaturatedSize
}

void LargeSizes::erase(const Record *record) noexcept
{
    for (std::size_t i = 0; i < count_; ++i) {
        if (entries_[i].record == record) {
            entries_[i] = entries_[--count_];
            return;
        }
    }
}

void LargeSizes::clear() noexcept
{
    std::free(entries_);
    entries_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

// --- RecordStore -----------------------------------------------------------

bool RecordStore::reserve(Reservation &held, std::uint64_t size, const char *file) noexcept
{
    Record *rec = pool_.acquireHidden(held.number);
    if (rec == nullptr)
        return false;
    rec->name = names_.acquire(file != nullptr ? file : "");
    rec->size = size < kSaturatedSize ? static_cast<std::uint32_t>(size) : kSaturatedSize;
    const bool large = rec->size == kSaturatedSize;
    if (rec->name == 0) {
        pool_.show();
        pool_.release(rec, held.number);
        return false;
    }
    if ((large && !large_.put(rec, size)) || !index_.reserve()) {
        pool_.show();
        drop(rec, held.number);
        return false;
    }
    held.record = rec;
    return true;
}

Record *RecordStore::fill(Reservation &held, void *address, int line, int type, std::uint32_t threadId,
                          std::uint64_t index) noexcept
{
    Record *rec = held.record;
    describe(rec, address, line, type, threadId, index);
    pool_.show();
    index_.unreserve();
    index_.insert(rec, held.number);  // into the place set aside: cannot fail
    held = Reservation{};
    return rec;
}

void RecordStore::cancel(Reservation &held) noexcept
{
    pool_.show();
    drop(held.record, held.number);
    index_.unreserve();
    held = Reservation{};
}

void RecordStore::reindexInstead(Reservation &held, Record *record, std::uint32_t number) noexcept
{
    cancel(held);
    index_.insert(record, number);  // into the place the reservation gave back: cannot fail
}

void RecordStore::clear() noexcept
{
    index_.clear();
    pool_.clear();
    names_.clear();
    large_.clear();
}

bool RecordStore::prepareRenewal(Renewal &held, Record *record, const char *file) noexcept
{
    const std::uint32_t name = names_.acquire(file != nullptr ? file : "");
    if (name == 0)
        return false;
    if (!index_.reserve()) {
        names_.release(name);
        return false;
    }
    held = Renewal{record, name};
    return true;
}

void RecordStore::renew(Renewal &held, void *address, std::uint32_t size, int line, int type,
                        std::uint32_t threadId, std::uint64_t index) noexcept
{
    Record *rec = held.record;
    names_.release(rec->name);
    rec->name = held.name;
    rec->size = size;
    if (rec->address != address) {
        // Taken out while the reservation still counts, so that a shrink on
        // the way keeps the place the insert needs.
        const std::uint32_t number = index_.erase(rec);
        rec->address = address;
        index_.unreserve();
        index_.insert(rec, number);  // into the place set aside: cannot fail
    } else {
        index_.unreserve();
    }
    describe(rec, address, line, type, threadId, index);
    held = Renewal{};
}

void RecordStore::abandon(Renewal &held) noexcept
{
    names_.release(held.name);
    index_.unreserve();
    held = Renewal{};
}

} // namespace vexal
