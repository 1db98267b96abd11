// SPDX-License-Identifier: MIT
#include "RecordWalk.h"

#include "Platform.h"

#include <utility>

namespace vexal {
namespace {

// Radix digits: two or three passes sort a million records whose indexes
// span a few billion.
constexpr unsigned kDigitBits = 11;
constexpr std::size_t kDigits = std::size_t{1} << kDigitBits;

} // namespace

bool RecordWalk::visits(const Record *record) const noexcept
{
    return !NodePool::isFree(*record) && record->index >= floor_ && record->index < limit_;
}

std::size_t RecordWalk::end() const noexcept { return order_ != nullptr ? count_ : pool_->end(); }

Record *RecordWalk::at(std::size_t position) const noexcept
{
    if (order_ == nullptr)
        return pool_->record(static_cast<std::uint32_t>(position));
    return pool_->record(order_[newestFirst_ ? count_ - 1 - position : position].number);
}

Record *RecordWalk::start(const NodePool &pool, std::uint64_t indexLimit, bool newestFirst) noexcept
{
    return begin(pool, 0, indexLimit, newestFirst);
}

Record *RecordWalk::extend(std::uint64_t indexLimit) noexcept
{
    if (pool_ == nullptr || indexLimit <= limit_)
        return nullptr;
    return begin(*pool_, limit_, indexLimit, false);
}

Record *RecordWalk::begin(const NodePool &pool, std::uint64_t floor, std::uint64_t limit,
                          bool newestFirst) noexcept
{
    clear();
    if (pool.live() == 0)
        return nullptr;
    pool_ = &pool;
    floor_ = floor;
    limit_ = limit;
    newestFirst_ = newestFirst;
    // Without memory to sort, number 1 is the pool's first record.
    position_ = sort(pool.live()) ? 0 : 1;
    if (position_ < end() && !visits(at(position_)))
        return next();
    return current();
}

Record *RecordWalk::next() noexcept
{
    if (pool_ == nullptr)
        return nullptr;
    while (position_ < end()) {
        position_ = order_ != nullptr ? position_ + 1 : pool_->next(static_cast<std::uint32_t>(position_));
        if (position_ < end() && visits(at(position_)))
            return at(position_);
    }
    return nullptr;
}

Record *RecordWalk::current() const noexcept
{
    if (pool_ == nullptr || position_ >= end())
        return nullptr;
    Record *record = at(position_);
    return visits(record) ? record : nullptr;
}

bool RecordWalk::sort(std::size_t count) noexcept
{
    Entry *entries = inPlace_;
    Entry *spare = nullptr;
    Entry *spareMapping = nullptr;
    std::size_t *digits = nullptr;
    std::size_t spareBytes = 0;
    if (count > kInPlace) {
        mappedBytes_ = platform::mappingFor(count * sizeof(Entry));
        spareBytes = platform::mappingFor(count * sizeof(Entry) + kDigits * sizeof(std::size_t));
        mapped_ = platform::allocPages(mappedBytes_, false);
        if (mapped_ != nullptr)
            spareMapping = static_cast<Entry *>(platform::allocPages(spareBytes, false));
        if (spareMapping == nullptr) {
            platform::freePages(mapped_, mappedBytes_);
            mapped_ = nullptr;
            mappedBytes_ = 0;
            return false;
        }
        entries = static_cast<Entry *>(mapped_);
        spare = spareMapping;
        digits = reinterpret_cast<std::size_t *>(spare + count);
    }
    std::size_t n = 0;
    std::uint64_t lowest = UINT64_MAX;
    std::uint64_t highest = 0;
    for (std::uint32_t number = 1; number < pool_->end() && n < count; number = pool_->next(number)) {
        const Record *record = pool_->record(number);
        if (!visits(record))
            continue;
        entries[n++] = Entry{record->index, number};
        lowest = record->index < lowest ? record->index : lowest;
        highest = record->index > highest ? record->index : highest;
    }
    if (spare == nullptr) {
        for (std::size_t i = 1; i < n; ++i) {  // insertion sort: a few records
            const Entry entry = entries[i];
            std::size_t j = i;
            for (; j > 0 && entries[j - 1].index > entry.index; --j)
                entries[j] = entries[j - 1];
            entries[j] = entry;
        }
    } else {
        // Least significant digit first, over the digits in which the
        // indexes differ at all.
        for (unsigned shift = 0; shift < 64 && ((highest - lowest) >> shift) != 0; shift += kDigitBits) {
            for (std::size_t d = 0; d < kDigits; ++d)
                digits[d] = 0;
            for (std::size_t i = 0; i < n; ++i)
                ++digits[((entries[i].index - lowest) >> shift) & (kDigits - 1)];
            std::size_t at = 0;
            for (std::size_t d = 0; d < kDigits; ++d)
                at += std::exchange(digits[d], at);
            for (std::size_t i = 0; i < n; ++i)
                spare[digits[((entries[i].index - lowest) >> shift) & (kDigits - 1)]++] = entries[i];
            std::swap(entries, spare);
        }
        // Keep the sorted copy; the other mapping goes at once.
        if (entries == mapped_) {
            platform::freePages(spareMapping, spareBytes);
        } else {
            platform::freePages(mapped_, mappedBytes_);
            mapped_ = spareMapping;
            mappedBytes_ = spareBytes;
        }
    }
    order_ = entries;
    count_ = n;
    return true;
}

void RecordWalk::clear() noexcept
{
    platform::freePages(mapped_, mappedBytes_);
    mapped_ = nullptr;
    mappedBytes_ = 0;
    order_ = nullptr;
    count_ = 0;
    position_ = 0;
    pool_ = nullptr;
}

} // namespace vexal
