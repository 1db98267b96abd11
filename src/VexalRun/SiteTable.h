// SPDX-License-Identifier: MIT
// Return address -> what the library knows about it. Read on every tracked
// call without a lock; written rarely (once per distinct address), by one
// writer at a time. A full table is replaced by one twice its size; the old
// one is kept (linked from the new one), as a reader may still be probing
// it, and finds its entry in the new one by asking again under the writers'
// lock. Nothing is ever freed: the table lives as long as the process.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace vexal::run {

template <typename Value>
class SiteTable {
public:
    SiteTable() = default;
    SiteTable(const SiteTable &) = delete;
    SiteTable &operator=(const SiteTable &) = delete;

    // The value stored for `key` (not 0), or null.
    const Value *find(std::uintptr_t key) const noexcept
    {
        const Table *table = table_.load(std::memory_order_acquire);
        if (table == nullptr)
            return nullptr;
        for (std::size_t i = home(key, table->mask);; i = (i + 1) & table->mask) {
            const std::uintptr_t stored = table->slots[i].key.load(std::memory_order_acquire);
            if (stored == key)
                return table->slots[i].value.load(std::memory_order_relaxed);
            if (stored == 0)
                return nullptr;
        }
    }

    // Writers only, one at a time. False when memory runs out.
    bool insert(std::uintptr_t key, const Value *value) noexcept
    {
        Table *table = table_.load(std::memory_order_relaxed);
        if (table == nullptr || (table->used + 1) * 2 > table->mask + 1) {
            table = grown(table);
            if (table == nullptr)
                return false;
        }
        put(*table, key, value);
        return true;
    }

    // Writers only: every key forgotten. Readers still probing the old
    // table find what it held.
    bool clear() noexcept { return grown(table_.load(std::memory_order_relaxed), true) != nullptr; }

private:
    static constexpr std::size_t kFirstCapacity = 1024;

    struct Slot {
        std::atomic<std::uintptr_t> key;  // 0: empty
        std::atomic<const Value *> value;
    };
    struct Table {
        std::size_t mask;
        std::size_t used;
        Slot *slots;   // mask + 1 of them, right after the table
        Table *older;  // the table this one replaced
    };

    static std::size_t home(std::uintptr_t key, std::size_t mask) noexcept
    {
        // Return addresses share their low bits' alignment patterns.
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & mask;
    }

    static void put(Table &table, std::uintptr_t key, const Value *value) noexcept
    {
        std::size_t i = home(key, table.mask);
        while (table.slots[i].key.load(std::memory_order_relaxed) != 0)
            i = (i + 1) & table.mask;
        table.slots[i].value.store(value, std::memory_order_relaxed);
        table.slots[i].key.store(key, std::memory_order_release);  // publishes the value
        ++table.used;
    }

    Table *grown(Table *old, bool empty = false) noexcept
    {
        const std::size_t capacity = old == nullptr || empty ? kFirstCapacity : 2 * (old->mask + 1);
        static_assert(sizeof(Table) % alignof(Slot) == 0);
        void *memory = std::malloc(sizeof(Table) + capacity * sizeof(Slot));
        if (memory == nullptr)
            return nullptr;
        auto *table = new (memory) Table{capacity - 1, 0, nullptr, old};
        table->slots = reinterpret_cast<Slot *>(table + 1);
        for (std::size_t i = 0; i < capacity; ++i)
            new (&table->slots[i]) Slot{{0}, {nullptr}};
        if (old != nullptr && !empty) {
            for (std::size_t i = 0; i <= old->mask; ++i) {
                const std::uintptr_t key = old->slots[i].key.load(std::memory_order_relaxed);
                if (key != 0)
                    put(*table, key, old->slots[i].value.load(std::memory_order_relaxed));
            }
        }
        table_.store(table, std::memory_order_release);
        return table;
    }

    std::atomic<Table *> table_{nullptr};
};

} // namespace vexal::run
