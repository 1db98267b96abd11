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

std::uintptr_t slabBase(const AllocationRecord *record) noexcept
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
        auto *grown = static_cast<AllocationRecord **>(std::malloc(capacity * sizeof(AllocationRecord *)));
        if (grown == nullptr)
            return false;
        if (slabCount_ != 0)
            std::memcpy(grown, slabs_, slabCount_ * sizeof(AllocationRecord *));
        std::free(slabs_);
        slabs_ = grown;
        slabCapacity_ = capacity;
    }
    // The first slab stays on small pages: a program with a few records
    // should not pay for 2 MiB of them.
    auto *slab = static_cast<AllocationRecord *>(platform::allocPages(kSlabBytes, slabCount_ > 0));
    if (slab == nullptr)
        return false;
    const std::uint32_t number = slabCount_;
    std::memcpy(static_cast<void *>(slab), &number, sizeof number);
    slabs_[slabCount_++] = slab;
    carved_ = 1;  // place 0 holds the number
    return true;
}

std::uint32_t NodePool::numberOf(const AllocationRecord *record) const noexcept
{
    const std::uintptr_t base = slabBase(record);
    std::uint32_t slab;
    std::memcpy(&slab, reinterpret_cast<const void *>(base), sizeof slab);
    const auto place =
        static_cast<std::uint32_t>((reinterpret_cast<std::uintptr_t>(record) - base) / sizeof(AllocationRecord));
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
    freeList_ = nullptr;
    live_ = 0;
}

// --- AddressIndex ----------------------------------------------------------

std::uint32_t AddressIndex::hashOf(const void *address) noexcept
{
    // Blocks within one 256-byte stretch of memory keep their order in a
    // window of 16 slots (two cache lines); the windows are scattered.
    // Neighbouring blocks, which are often allocated and freed together (the
    // oldest first, say), then share cache lines of the table instead of
    // costing a miss each, and windows this small keep probe runs as short
    // as plain hashing does.
    const auto key = reinterpret_cast<std::uintptr_t>(address);
    const std::uint64_t window = static_cast<std::uint64_t>(key >> 8) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::uint32_t>(window >> 32) + static_cast<std::uint32_t>((key >> 4) & 15);
}

bool AddressIndex::holds(const Slot &slot, std::uint32_t hash, const void *address) const noexcept
{
    return slot.hash == hash && pool_.record(slot.node)->address == address;
}

AllocationRecord *AddressIndex::find(const void *address) const noexcept
{
    if (capacity_ == 0)
        return nullptr;
    const std::uint32_t hash = hashOf(address);
    for (std::size_t slot = hash & (capacity_ - 1); slots_[slot].node != 0; slot = next(slot)) {
        if (holds(slots_[slot], hash, address)) {
            found_ = slot;
            return pool_.record(slots_[slot].node);
        }
    }
    return nullptr;
}

bool AddressIndex::insert(AllocationRecord *record) noexcept
{
    if (tooFull(used_ + 1, capacity_) && !resize(capacity_ == 0 ? kMinCapacity : capacity_ * 2))
        return false;
    const void *address = record->address;
    const std::uint32_t hash = hashOf(address);
    Slot carried{pool_.numberOf(record), hash};
    std::size_t slot = hash & (capacity_ - 1);
    // Older records of the same address each move one place along the run,
    // the oldest to its end: the newest is found first.
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

void AddressIndex::erase(AllocationRecord *record) noexcept
{
    if (capacity_ == 0)
        return;
    const std::uint32_t number = pool_.numberOf(record);
    if (found_ < capacity_ && slots_[found_].node == number) {
        removeSlot(found_);
    } else {
        for (std::size_t slot = hashOf(record->address) & (capacity_ - 1); slots_[slot].node != 0;
             slot = next(slot)) {
            if (slots_[slot].node == number) {
                removeSlot(slot);
                break;
            }
        }
    }
    // Shrinking is best effort: a failed resize keeps the larger table.
    if (capacity_ > kMinCapacity && tooEmpty(used_, capacity_))
        resize(capacity_ / 2);
}

void AddressIndex::removeSlot(std::size_t slot) noexcept
{
    // Backward-shift deletion keeps probe runs unbroken without tombstones,
    // and keeps the order of the entries that stay, so a repeated address
    // stays newest first.
    const std::size_t mask = capacity_ - 1;
    std::size_t hole = slot;
    for (std::size_t at = next(hole); slots_[at].node != 0; at = next(at)) {
        const std::size_t home = slots_[at].hash & mask;
        // Move the entry back if its home does not lie cyclically in (hole, at].
        if (((at - home) & mask) >= ((at - hole) & mask)) {
            slots_[hole] = slots_[at];
            hole = at;
        }
    }
    slots_[hole] = Slot{0, 0};
    --used_;
}

bool AddressIndex::resize(std::size_t capacity) noexcept
{
    const std::size_t bytes = capacity * sizeof(Slot);
    auto *fresh = static_cast<Slot *>(platform::allocPages(bytes, bytes >= platform::kHugePage));
    if (fresh == nullptr)
        return false;
    Slot *old = slots_;
    const std::size_t oldCapacity = capacity_;
    slots_ = fresh;
    capacity_ = capacity;
    if (oldCapacity != 0) {
        // Start right after an empty slot, so that every probe run is copied
        // in its own order and a repeated address stays newest first.
        std::size_t start = 0;
        while (old[start].node != 0)
            ++start;
        for (std::size_t i = 1; i <= oldCapacity; ++i) {
            const Slot &entry = old[(start + i) & (oldCapacity - 1)];
            if (entry.node == 0)
                continue;
            std::size_t slot = entry.hash & (capacity_ - 1);
            while (slots_[slot].node != 0)
                slot = next(slot);
            slots_[slot] = entry;
        }
    }
    platform::freePages(old, oldCapacity * sizeof(Slot));
    return true;
}

void AddressIndex::clear() noexcept
{
    platform::freePages(slots_, capacity_ * sizeof(Slot));
    slots_ = nullptr;
    capacity_ = 0;
    used_ = 0;
}

// --- NameTable -------------------------------------------------------------

namespace {

std::uint64_t hashText(const char *text, std::size_t length) noexcept
{
    std::uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a, eight bytes at a time
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        h = (h ^ word) * 0x100000001b3ULL;
        h ^= h >> 29;
    }
    for (; i < length; ++i)
        h = (h ^ static_cast<unsigned char>(text[i])) * 0x100000001b3ULL;
    return h ^ (h >> 32);
}

} // namespace

const char *NameTable::acquire(const char *text) noexcept
{
    // Calls from one site come in runs; comparing with the last name is
    // cheaper than hashing. The text is compared, not its pointer: a caller
    // may pass one buffer with changing names.
    if (last_ != nullptr && std::strcmp(last_->text, text) == 0) {
        if (last_->refs++ == 0)
            --idle_;
        return last_->text;
    }
    const std::size_t length = std::strlen(text);
    const std::uint64_t hash = hashText(text, length);
    if ((used_ + 1) * 2 > capacity_ && !resize(capacity_ == 0 ? kMinCapacity : capacity_ * 2))
        return nullptr;
    std::size_t slot = hash & (capacity_ - 1);
    for (; slots_[slot] != nullptr; slot = (slot + 1) & (capacity_ - 1)) {
        Entry *e = slots_[slot];
        if (e->hash == hash && e->length == length && std::memcmp(e->text, text, length) == 0) {
            if (e->refs++ == 0)
                --idle_;
            last_ = e;
            return e->text;
        }
    }
    auto *entry = static_cast<Entry *>(std::malloc(offsetof(Entry, text) + length + 1));
    if (entry == nullptr)
        return nullptr;
    entry->hash = hash;
    entry->length = length;
    entry->refs = 1;
    std::memcpy(entry->text, text, length + 1);
    slots_[slot] = entry;
    ++used_;
    last_ = entry;
    return entry->text;
}

void NameTable::release(const char *shared) noexcept
{
    Entry *entry = entryOf(shared);
    if (--entry->refs == 0 && ++idle_ > kIdleLimit)
        sweep();
}

void NameTable::sweep() noexcept
{
    // Rebuilding is simpler than deleting from an open-addressing table and
    // runs once per kIdleLimit names that fell out of use.
    Entry **old = slots_;
    const std::size_t oldCapacity = capacity_;
    std::size_t live = 0;
    for (std::size_t i = 0; i < oldCapacity; ++i)
        live += (old[i] != nullptr && old[i]->refs > 0);
    std::size_t capacity = kMinCapacity;
    while (live * 2 >= capacity)
        capacity *= 2;
    auto *fresh = static_cast<Entry **>(std::calloc(capacity, sizeof(Entry *)));
    if (fresh == nullptr)
        return;  // keep the idle names; the next release tries again
    for (std::size_t i = 0; i < oldCapacity; ++i) {
        Entry *e = old[i];
        if (e == nullptr)
            continue;
        if (e->refs == 0) {
            if (e == last_)
                last_ = nullptr;
            std::free(e);
            continue;
        }
        std::size_t slot = e->hash & (capacity - 1);
        while (fresh[slot] != nullptr)
            slot = (slot + 1) & (capacity - 1);
        fresh[slot] = e;
    }
    std::free(old);
    slots_ = fresh;
    capacity_ = capacity;
    used_ = live;
    idle_ = 0;
}

bool NameTable::resize(std::size_t capacity) noexcept
{
    auto *fresh = static_cast<Entry **>(std::calloc(capacity, sizeof(Entry *)));
    if (fresh == nullptr)
        return false;
    for (std::size_t i = 0; i < capacity_; ++i) {
        Entry *e = slots_[i];
        if (e == nullptr)
            continue;
        std::size_t slot = e->hash & (capacity - 1);
        while (fresh[slot] != nullptr)
            slot = (slot + 1) & (capacity - 1);
        fresh[slot] = e;
    }
    std::free(slots_);
    slots_ = fresh;
    capacity_ = capacity;
    return true;
}

void NameTable::clear() noexcept
{
    for (std::size_t i = 0; i < capacity_; ++i)
        std::free(slots_[i]);
    std::free(slots_);
    slots_ = nullptr;
    capacity_ = 0;
    used_ = 0;
    idle_ = 0;
    last_ = nullptr;
}

// --- LargeSizes ------------------------------------------------------------

bool LargeSizes::put(const AllocationRecord *record, std::uint64_t size) noexcept
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

std::uint64_t LargeSizes::get(const AllocationRecord *record) const noexcept
{
    for (std::size_t i = 0; i < count_; ++i) {
        if (entries_[i].record == record)
            return entries_[i].size;
    }
    return kSaturatedSize;  // not reached for a record that holds kSaturatedSize
}

void LargeSizes::erase(const AllocationRecord *record) noexcept
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

} // namespace vexal
