// SPDX-License-Identifier: MIT
#include "SiteGrouping.h"

#include "Handover.h"
#include "RecordStore.h"
#include "TransferRecord.h"
#include "VexalInternal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vexal::sites {

namespace {

constexpr std::size_t kFirstCapacity = 256;

std::size_t hashOf(std::uint32_t name, std::int32_t line, std::int32_t type)
{
    std::uint64_t h = std::uint64_t(name) << 32;
    h ^= (std::uint64_t(std::uint32_t(line)) << 8) ^ std::uint64_t(std::uint32_t(type));
    h *= 0x9e3779b97f4a7c15ULL;
    return std::size_t(h ^ (h >> 29));
}

// A name as a message carries it: cut to the field, its end byte included.
std::size_t carriedLength(const char *file)
{
    if (file == nullptr)
        return 0;
    const void *end = std::memchr(file, '\0', TRANSFER_FILENAME_SIZE - 1);
    return end != nullptr ? std::size_t(static_cast<const char *>(end) - file) : TRANSFER_FILENAME_SIZE - 1;
}

int compareSites(const Site &a, const Site &b)
{
    if (const int order = std::strcmp(a.file, b.file); order != 0)
        return order;
    if (a.line != b.line)
        return a.line < b.line ? -1 : 1;
    return a.type < b.type ? -1 : a.type > b.type ? 1 : 0;
}

} // namespace

Grouping::~Grouping()
{
    std::free(slots_);
    std::free(sites_);
    std::free(names_);
}

bool Grouping::grow()
{
    const std::size_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
    auto *slots = static_cast<Slot *>(std::calloc(capacity, sizeof(Slot)));
    auto *sites = static_cast<Site *>(std::realloc(sites_, capacity / 2 * sizeof(Site)));
    if (slots == nullptr || sites == nullptr) {
        std::free(slots);
        if (sites != nullptr)
            sites_ = sites;
        return false;
    }
    sites_ = sites;
    sitesCapacity_ = capacity / 2;  // at most half full: probes stay short
    for (std::size_t i = 0; i < capacity_; ++i) {
        const Slot &slot = slots_[i];
        if (slot.site == 0)
            continue;
        std::size_t at = hashOf(slot.name, slot.line, slot.type) & (capacity - 1);
        while (slots[at].site != 0)
            at = (at + 1) & (capacity - 1);
        slots[at] = slot;
    }
    std::free(slots_);
    slots_ = slots;
    capacity_ = capacity;
    return true;
}

bool Grouping::holds(const Slot &slot, const Record &record)
{
    return slot.name == record.name && slot.line == record.line && slot.type == std::int32_t(record.type);
}

std::size_t Grouping::slotOf(const Record &record) const
{
    std::size_t at = hashOf(record.name, record.line, std::int32_t(record.type)) & (capacity_ - 1);
    while (slots_[at].site != 0 && !holds(slots_[at], record))
        at = (at + 1) & (capacity_ - 1);
    return at;
}

bool Grouping::collect(std::uint64_t sinceIndex)
{
    if (capacity_ == 0 && !grow())
        return false;
    const Slot *last = nullptr;  // records of one site often come together
    const NodePool &pool = recordPool();
    for (std::uint32_t number = 1; number < pool.end(); number = pool.next(number)) {
        const Record &record = *pool.record(number);
        if (NodePool::isFree(record) || record.index < sinceIndex)
            continue;
        const Slot *slot = last;
        if (slot == nullptr || !holds(*slot, record)) {
            std::size_t at = slotOf(record);
            if (slots_[at].site == 0) {
                if (count_ == sitesCapacity_) {
                    if (!grow())
                        return false;
                    at = slotOf(record);  // the empty slot of the larger table
                }
                const auto index = std::int64_t(record.index);
                const auto type = std::int32_t(record.type);
                sites_[count_] = {fileOf(record), record.line, type, 0, 0, index, index};
                slots_[at] = {record.name, record.line, type, ++count_};
            }
            slot = &slots_[at];
            last = slot;
        }
        Site &site = sites_[slot->site - 1];
        const auto bytes = std::int64_t(exactSize(record));
        const auto index = std::int64_t(record.index);
        ++site.blocks;
        site.bytes += bytes;
        site.firstIndex = std::min(site.firstIndex, index);
        site.lastIndex = std::max(site.lastIndex, index);
        ++totalBlocks_;
        totalBytes_ += bytes;
    }
    return copyNames();
}

// The records' names belong to the store, which may let go of them once the
// lock is given back.
bool Grouping::copyNames()
{
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count_; ++i)
        bytes += carriedLength(sites_[i].file) + 1;
    names_ = static_cast<char *>(std::malloc(bytes > 0 ? bytes : 1));
    if (names_ == nullptr)
        return false;
    char *next = names_;
    for (std::size_t i = 0; i < count_; ++i) {
        const std::size_t length = carriedLength(sites_[i].file);
        if (length > 0)
            std::memcpy(next, sites_[i].file, length);
        next[length] = '\0';
        sites_[i].file = next;
        next += length + 1;
    }
    return true;
}

void Grouping::merge()
{
    std::sort(sites_, sites_ + count_, [](const Site &a, const Site &b) { return compareSites(a, b) < 0; });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        if (kept > 0 && compareSites(sites_[kept - 1], sites_[i]) == 0) {
            Site &into = sites_[kept - 1];
            into.blocks += sites_[i].blocks;
            into.bytes += sites_[i].bytes;
            into.firstIndex = std::min(into.firstIndex, sites_[i].firstIndex);
            into.lastIndex = std::max(into.lastIndex, sites_[i].lastIndex);
        } else {
            sites_[kept++] = sites_[i];
        }
    }
    count_ = kept;
}

bool send(const Grouping &grouping, bool grouped, std::uint64_t nextIndex, comm::Outbox &outbox)
{
    // A batch is too big for a thread's stack.
    auto *batch = static_cast<TransferRecord *>(std::calloc(comm::kBatchMax, sizeof(TransferRecord)));
    if (batch == nullptr)
        return false;
    bool sent = true;
    int pending = 0;
    for (std::size_t i = 0; grouped && sent && i < grouping.count(); ++i) {
        const Site &site = grouping.site(i);
        TransferRecord &message = batch[pending++];
        message = TransferRecord{};
        message.command = MSG_SITES;
        protocol::copyFileName(message.fileName, site.file);
        message.line = site.line;
        message.recordType = site.type;
        message.siteBlocks = site.blocks;
        message.siteBytes = site.bytes;
        message.firstIndex = site.firstIndex;
        message.lastIndex = site.lastIndex;
        if (pending == comm::kBatchMax) {
            sent = outbox.deliver(batch, pending);
            pending = 0;
        }
    }
    TransferRecord &end = batch[pending++];
    end = TransferRecord{};
    end.command = MSG_SITES_END;
    end.siteCount = grouped ? std::int64_t(grouping.count()) : -1;
    end.siteBlocks = grouping.totalBlocks();
    end.siteBytes = grouping.totalBytes();
    end.nextIndex = std::int64_t(nextIndex);
    sent = sent && outbox.deliver(batch, pending);
    std::free(batch);
    return sent;
}

} // namespace vexal::sites
