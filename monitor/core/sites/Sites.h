// SPDX-License-Identifier: MIT
// Leak sites: the application's live blocks grouped by call site, as one
// fetch brings them, whether the library grouped them or the monitor grouped
// a fetched list.
#pragma once

#include "synthesis/CodeSynthesis.h"

#include <QByteArray>
#include <QHashFunctions>

#include <cstdint>
#include <vector>

namespace vexal::monitor {

class RecordTable;

// A call site: the file name as the application passed it, the line and the
// memory function.
struct SiteKey {
    QByteArray file;
    int32_t line = 0;
    int32_t type = 0;

    bool operator==(const SiteKey &) const = default;
};

struct SiteKeyHash {
    std::size_t operator()(const SiteKey &key) const noexcept
    {
        return qHashMulti(0, key.file, key.line, key.type);
    }
};

struct Site {
    SiteKey key;
    int64_t blocks = 0;
    int64_t bytes = 0;
    int64_t firstIndex = 0;  // lowest index among the site's blocks
    int64_t lastIndex = 0;   // highest
};

struct SitesSnapshot {
    std::vector<Site> sites;  // in no particular order
    int64_t totalBlocks = 0;
    int64_t totalBytes = 0;
    // The index the library gives its next block: what a mark taken now
    // counts from.
    int64_t nextIndex = 0;
};

// The sites of a fetched list, counting only records with an index of
// `sinceIndex` or more. The next index is one past the highest in the list:
// a list cannot tell of blocks made and freed after it.
SitesSnapshot groupList(const RecordTable &table, int64_t sinceIndex);

// Whether the file names are those of a POSIX application: none of them
// holds a backslash.
bool posixFileNames(const std::vector<SiteKey> &keys);

// A VexalFreeThese statement per site: its exact file and line, any size,
// thread and index. Sorted and without repeats as the code view's are (the
// same file and line of two memory functions make one statement).
GeneratedCode freeingCode(const std::vector<SiteKey> &keys);

} // namespace vexal::monitor
