// SPDX-License-Identifier: MIT
// The shared copies of the call sites' file names that records point to.
// Does not lock; the core uses it only under the global lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexal {

// Interned file names: records of one call site share a single copy, and a
// record keeps its entry's number, 28 bits where a pointer takes 64.
// Unreferenced names are swept in batches, not one by one, so a call site
// whose only block comes and goes does not pay an allocation every time.
class NameTable {
public:
    // Numbers fit in this many bits; 0 is no name.
    static constexpr unsigned kIdBits = 28;

    // The shared copy's number; 0 when out of memory or numbers. Calls from
    // one site come in runs, and comparing with the last name is cheaper
    // than hashing. The text is compared, not its pointer: a caller may pass
    // one buffer with changing names.
    std::uint32_t acquire(const char *text) noexcept
    {
        if (last_ != nullptr && std::strcmp(last_->text, text) == 0) {
            if (last_->refs++ == 0)
                --idle_;
            return last_->id;
        }
        return acquireAnother(text);
    }
    // `id` as acquire returned it.
    void release(std::uint32_t id) noexcept
    {
        Entry *entry = byId_[id].entry;
        if (--entry->refs == 0 && ++idle_ > kIdleLimit)
            sweep();
    }
    const char *text(std::uint32_t id) const noexcept { return byId_[id].entry->text; }
    std::size_t length(std::uint32_t id) const noexcept { return byId_[id].entry->length; }

    void clear() noexcept;

private:
    struct Entry {
        std::uint64_t hash;
        std::size_t length;
        std::size_t refs;
        std::uint32_t id;
        char text[1];  // length + 1 bytes follow
    };
    static constexpr std::size_t kMinCapacity = 64;
    static constexpr std::size_t kIdleLimit = 256;  // unreferenced names kept before a sweep
    static constexpr std::uint32_t kMaxId = (std::uint32_t{1} << kIdBits) - 1;

    std::uint32_t acquireAnother(const char *text) noexcept;
    // A number for a new entry; 0 when there is none.
    std::uint32_t takeId() noexcept;
    // Moves the entries into a table of `capacity`, dropping the unused ones
    // if asked; false, changing nothing, when out of memory.
    bool rebuild(std::size_t capacity, bool dropIdle) noexcept;
    void sweep() noexcept;

    Entry **slots_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::size_t idle_ = 0;
    Entry *last_ = nullptr;  // the name asked for last, tried first
    // Number -> entry; a number given up holds the next free one instead,
    // 0 ending that list.
    union IdSlot {
        Entry *entry;
        std::uint32_t nextFree;
    };
    IdSlot *byId_ = nullptr;
    std::uint32_t idCapacity_ = 0;
    std::uint32_t nextId_ = 1;  // never handed out yet
    std::uint32_t freeIds_ = 0;
};

} // namespace vexal
