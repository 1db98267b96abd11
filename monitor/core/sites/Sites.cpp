// SPDX-License-Identifier: MIT
#include "Sites.h"

#include "list/RecordTable.h"

#include <TransferRecord.h>

#include <algorithm>
#include <unordered_map>

namespace vexal::monitor {

namespace {

// The table keeps each file name once, so a record's site is three numbers.
struct RecordSite {
    uint32_t fileId;
    int32_t line;
    int32_t type;

    bool operator==(const RecordSite &) const = default;
};

struct RecordSiteHash {
    std::size_t operator()(const RecordSite &site) const noexcept
    {
        return qHashMulti(0, site.fileId, site.line, site.type);
    }
};

} // namespace

SitesSnapshot groupList(const RecordTable &table, int64_t sinceIndex)
{
    SitesSnapshot snapshot;
    std::unordered_map<RecordSite, std::size_t, RecordSiteHash> found;
    int64_t highest = -1;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const ListRecord &record = table.record(i);
        highest = std::max(highest, record.index);
        if (record.index < sinceIndex)
            continue;
        const auto [at, isNew] = found.try_emplace({record.fileId, record.line, record.type}, snapshot.sites.size());
        if (isNew) {
            snapshot.sites.push_back({{table.fileName(record.fileId), record.line, record.type}, 0, 0, record.index,
                                      record.index});
        }
        Site &site = snapshot.sites[at->second];
        ++site.blocks;
        site.bytes += record.size;
        site.firstIndex = std::min(site.firstIndex, record.index);
        site.lastIndex = std::max(site.lastIndex, record.index);
        ++snapshot.totalBlocks;
        snapshot.totalBytes += record.size;
    }
    snapshot.nextIndex = highest + 1;
    return snapshot;
}

bool posixFileNames(const std::vector<SiteKey> &keys)
{
    return std::none_of(keys.begin(), keys.end(), [](const SiteKey &key) { return key.file.contains('\\'); });
}

GeneratedCode freeingCode(const std::vector<SiteKey> &keys)
{
    // One record per site, with the site's file and line: the code the
    // window writes for records, line exact and any size and index.
    RecordTable table;
    table.reset(qsizetype(keys.size()));
    for (qsizetype i = 0; i < qsizetype(keys.size()); ++i) {
        const SiteKey &key = keys[size_t(i)];
        TransferRecord record{};
        const QByteArray file = key.file.left(qsizetype(sizeof record.fileName) - 1);
        std::copy(file.begin(), file.end(), record.fileName);
        record.line = key.line;
        table.setRecord(i, record);
    }
    SynthesisOptions options;
    options.line = {int(FilterChoice::Exact)};
    options.size = {int(FilterChoice::All)};
    options.index = {int(FilterChoice::All)};
    return generateCode(table, options, {});
}

} // namespace vexal::monitor
