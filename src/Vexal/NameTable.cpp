// SPDX-License-Identifier: MIT
#include "NameTable.h"

#include <cstdlib>

namespace vexal {

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

std::uint32_t NameTable::acquireAnother(const char *text) noexcept
{
    const std::size_t length = std::strlen(text);
    const std::uint64_t hash = hashText(text, length);
    if ((used_ + 1) * 2 > capacity_ && !rebuild(capacity_ == 0 ? kMinCapacity : capacity_ * 2, false))
        return 0;
    std::size_t slot = hash & (capacity_ - 1);
    for (; slots_[slot] != nullptr; slot = (slot + 1) & (capacity_ - 1)) {
        Entry *e = slots_[slot];
        if (e->hash == hash && e->length == length && std::memcmp(e->text, text, length) == 0) {
            if (e->refs++ == 0)
                --idle_;
            last_ = e;
            return e->id;
        }
    }
    const std::uint32_t id = takeId();
    if (id == 0)
        return 0;
    auto *entry = static_cast<Entry *>(std::malloc(offsetof(Entry, text) + length + 1));
    if (entry == nullptr) {
        byId_[id].nextFree = freeIds_;
        freeIds_ = id;
        return 0;
    }
    entry->hash = hash;
    entry->length = length;
    entry->refs = 1;
    entry->id = id;
    std::memcpy(entry->text, text, length + 1);
    byId_[id].entry = entry;
    slots_[slot] = entry;
    ++used_;
    last_ = entry;
    return id;
}

std::uint32_t NameTable::takeId() noexcept
{
    if (freeIds_ != 0) {
        const std::uint32_t id = freeIds_;
        freeIds_ = byId_[id].nextFree;
        return id;
    }
    if (nextId_ > kMaxId)
        return 0;
    if (nextId_ == idCapacity_ || byId_ == nullptr) {
        const std::uint32_t capacity = idCapacity_ == 0 ? 64 : idCapacity_ * 2;
        auto *grown = static_cast<IdSlot *>(std::realloc(byId_, capacity * sizeof(IdSlot)));
        if (grown == nullptr)
            return 0;
        byId_ = grown;
        idCapacity_ = capacity;
    }
    return nextId_++;
}

void NameTable::sweep() noexcept
{
    // Rebuilding is simpler than deleting from an open-addressing table and
    // runs once per kIdleLimit names that fell out of use.
    std::size_t live = 0;
    for (std::size_t i = 0; i < capacity_; ++i)
        live += (slots_[i] != nullptr && slots_[i]->refs > 0);
    std::size_t capacity = kMinCapacity;
    while (live * 2 >= capacity)
        capacity *= 2;
    if (!rebuild(capacity, true))
        return;  // keep the idle names; the next release tries again
    used_ = live;
    idle_ = 0;
}

bool NameTable::rebuild(std::size_t capacity, bool dropIdle) noexcept
{
    auto *fresh = static_cast<Entry **>(std::calloc(capacity, sizeof(Entry *)));
    if (fresh == nullptr)
        return false;
    for (std::size_t i = 0; i < capacity_; ++i) {
        Entry *e = slots_[i];
        if (e == nullptr)
            continue;
        if (dropIdle && e->refs == 0) {
            if (e == last_)
                last_ = nullptr;
            byId_[e->id].nextFree = freeIds_;
            freeIds_ = e->id;
            std::free(e);
            continue;
        }
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
    std::free(byId_);
    byId_ = nullptr;
    idCapacity_ = 0;
    nextId_ = 1;
    freeIds_ = 0;
}

} // namespace vexal
