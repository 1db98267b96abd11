// SPDX-License-Identifier: MIT
// The shared copies of the call sites' file names that records point to.
// Does not lock; the core uses it only under the global lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexal {

// Interned file names: records of one call site share a single copy, and a
// record's `file` points into its entry. Unreferenced names are swept in
// batches, not one by one, so a call site whose only block comes and goes
// does not pay an allocation every time.
class NameTable {
public:
    // The shared copy; null when out of memory. Calls from one site come in
    // runs, and comparing with the last name is cheaper than hashing. The
    // text is compared, not its pointer: a caller may pass one buffer with
    // changing names.
    const char *acquire(const char *text) noexcept
    {
        if (last_ != nullptr && std::strcmp(last_->text, text) == 0) {
            if (last_->refs++ == 0)
                --idle_;
            return last_->text;
        }
        return acquireAnother(text);
    }

    // `shared` as acquire returned it.
    void release(const char *shared) noexcept
    {
        Entry *entry = entryOf(shared);
        if (--entry->refs == 0 && ++idle_ > kIdleLimit)
            sweep();
    }

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
    const char *acquireAnother(const char *text) noexcept;
    // Moves the entries into a table of `capacity`, dropping the unused ones
    // if asked; false, changing nothing, when out of memory.
    bool rebuild(std::size_t capacity, bool dropIdle) noexcept;
    void sweep() noexcept;

    Entry **slots_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::size_t idle_ = 0;
    Entry *last_ = nullptr;  // the name asked for last, tried first
};

} // namespace vexal
