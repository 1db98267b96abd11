// SPDX-License-Identifier: MIT
#include "RecordStore.h"

#include "Platform.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace vexal {

// --- NodePool --------------------------------------------------------------

struct NodePool::Slab {
    Slab *next;
    RecordNode nodes[kNodesPerSlab];
};

RecordNode *NodePool::acquire() noexcept
{
    if (freeList_ == nullptr) {
        auto *slab = static_cast<Slab *>(std::malloc(sizeof(Slab)));
        if (slab == nullptr)
            return nullptr;
        slab->next = slabs_;
        slabs_ = slab;
        for (std::size_t i = kNodesPerSlab; i-- > 0;) {
            slab->nodes[i].olderSameAddress = freeList_;
            freeList_ = &slab->nodes[i];
        }
    }
    RecordNode *node = freeList_;
    freeList_ = node->olderSameAddress;
    return node;
}

void NodePool::release(RecordNode *node) noexcept
{
    node->olderSameAddress = freeList_;
    freeList_ = node;
}

void NodePool::clear() noexcept
{
    while (slabs_ != nullptr) {
        Slab *next = slabs_->next;
        std::free(slabs_);
        slabs_ = next;
    }
    freeList_ = nullptr;
}

// --- AddressIndex ----------------------------------------------------------

std::size_t AddressIndex::slotOf(const void *address) const noexcept
{
    // Blocks within one 256-byte stretch of memory keep their order in a
    // window of 16 slots; the windows are scattered. Neighbouring blocks,
    // which are often allocated and freed together (the oldest first, say),
    // then share cache lines of the table instead of costing a miss each,
    // and windows this small keep probe runs as short as plain hashing does.
    const auto key = reinterpret_cast<std::uintptr_t>(address);
    const std::uint64_t window = (static_cast<std::uint64_t>(key >> 8) * 0x9E3779B97F4A7C15ULL) >> 20;
    return static_cast<std::size_t>(window + ((key >> 4) & 15)) & (capacity_ - 1);
}

std::size_t AddressIndex::probe(const void *address) const noexcept
{
    std::size_t slot = slotOf(address);
    while (slots_[slot].node != nullptr && slots_[slot].address != address)
        slot = (slot + 1) & (capacity_ - 1);
    return slot;
}

RecordNode *AddressIndex::find(const void *address) const noexcept
{
    return capacity_ == 0 ? nullptr : slots_[probe(address)].node;
}

bool AddressIndex::insert(RecordNode *node) noexcept
{
    if (tooFull(used_ + 1, capacity_) && !resize(capacity_ == 0 ? kMinCapacity : capacity_ * 2))
        return false;
    Slot &slot = slots_[probe(node->record.address)];
    node->olderSameAddress = slot.node;
    if (slot.node == nullptr)
        ++used_;
    slot = Slot{node->record.address, node};
    return true;
}

void AddressIndex::erase(RecordNode *node) noexcept
{
    if (capacity_ == 0)
        return;
    const std::size_t slot = probe(node->record.address);
    RecordNode *head = slots_[slot].node;
    if (head == node) {
        if (node->olderSameAddress != nullptr)
            slots_[slot].node = node->olderSameAddress;
        else
            removeSlot(slot);
    } else {
        for (RecordNode *n = head; n != nullptr; n = n->olderSameAddress) {
            if (n->olderSameAddress == node) {
                n->olderSameAddress = node->olderSameAddress;
                break;
            }
        }
    }
    node->olderSameAddress = nullptr;
    // Shrinking is best effort: a failed resize keeps the larger table.
    if (capacity_ > kMinCapacity && tooEmpty(used_, capacity_))
        resize(capacity_ / 2);
}

void AddressIndex::removeSlot(std::size_t slot) noexcept
{
    // Backward-shift deletion keeps probe runs unbroken without tombstones.
    const std::size_t mask = capacity_ - 1;
    std::size_t hole = slot;
    for (std::size_t next = (hole + 1) & mask; slots_[next].node != nullptr; next = (next + 1) & mask) {
        const std::size_t home = slotOf(slots_[next].address);
        // Move the entry back if its home does not lie cyclically in (hole, next].
        if (((next - home) & mask) >= ((next - hole) & mask)) {
            slots_[hole] = slots_[next];
            hole = next;
        }
    }
    slots_[hole] = Slot{nullptr, nullptr};
    --used_;
}

bool AddressIndex::resize(std::size_t capacity) noexcept
{
    auto *fresh = static_cast<Slot *>(platform::allocTable(capacity * sizeof(Slot)));
    if (fresh == nullptr)
        return false;
    Slot *old = slots_;
    const std::size_t oldCapacity = capacity_;
    slots_ = fresh;
    capacity_ = capacity;
    for (std::size_t i = 0; i < oldCapacity; ++i) {
        if (old[i].node != nullptr)
            slots_[probe(old[i].address)] = old[i];
    }
    platform::freeTable(old);
    return true;
}

void AddressIndex::clear() noexcept
{
    platform::freeTable(slots_);
    slots_ = nullptr;
    capacity_ = 0;
    used_ = 0;
}

// --- NameTable -------------------------------------------------------------

struct NameEntry {
    std::uint64_t hash;
    std::size_t length;
    std::size_t refs;
    char text[1];  // length + 1 bytes follow
};

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

const char *NameTable::text(const NameEntry *entry) noexcept { return entry->text; }
std::size_t NameTable::length(const NameEntry *entry) noexcept { return entry->length; }

NameEntry *NameTable::acquire(const char *text) noexcept
{
    const std::size_t length = std::strlen(text);
    const std::uint64_t hash = hashText(text, length);
    if ((used_ + 1) * 2 > capacity_ && !resize(capacity_ == 0 ? kMinCapacity : capacity_ * 2))
        return nullptr;
    std::size_t slot = hash & (capacity_ - 1);
    for (; slots_[slot] != nullptr; slot = (slot + 1) & (capacity_ - 1)) {
        NameEntry *e = slots_[slot];
        if (e->hash == hash && e->length == length && std::memcmp(e->text, text, length) == 0) {
            if (e->refs++ == 0)
                --idle_;
            return e;
        }
    }
    auto *entry = static_cast<NameEntry *>(std::malloc(offsetof(NameEntry, text) + length + 1));
    if (entry == nullptr)
        return nullptr;
    entry->hash = hash;
    entry->length = length;
    entry->refs = 1;
    std::memcpy(entry->text, text, length + 1);
    slots_[slot] = entry;
    ++used_;
    return entry;
}

void NameTable::release(NameEntry *entry) noexcept
{
    if (--entry->refs == 0 && ++idle_ > kIdleLimit)
        sweep();
}

void NameTable::sweep() noexcept
{
    // Rebuilding is simpler than deleting from an open-addressing table and
    // runs once per kIdleLimit names that fell out of use.
    NameEntry **old = slots_;
    const std::size_t oldCapacity = capacity_;
    std::size_t live = 0;
    for (std::size_t i = 0; i < oldCapacity; ++i)
        live += (old[i] != nullptr && old[i]->refs > 0);
    std::size_t capacity = kMinCapacity;
    while (live * 2 >= capacity)
        capacity *= 2;
    auto *fresh = static_cast<NameEntry **>(std::calloc(capacity, sizeof(NameEntry *)));
    if (fresh == nullptr)
        return;  // keep the idle names; the next release tries again
    for (std::size_t i = 0; i < oldCapacity; ++i) {
        NameEntry *e = old[i];
        if (e == nullptr)
            continue;
        if (e->refs == 0) {
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
    auto *fresh = static_cast<NameEntry **>(std::calloc(capacity, sizeof(NameEntry *)));
    if (fresh == nullptr)
        return false;
    for (std::size_t i = 0; i < capacity_; ++i) {
        NameEntry *e = slots_[i];
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
}

} // namespace vexal
