// SPDX-License-Identifier: MIT
// The records a track probe's calls left, and the check that each call made
// its own with the probe's call site.
#pragma once

#include <gtest/gtest.h>

#include <Vexal.h>

#include <cstdint>
#include <vector>

namespace probe_records {

inline std::vector<AllocationRecord> liveRecords()
{
    std::vector<AllocationRecord> records;
    records.reserve(16);
    for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1))
        records.push_back(*r);
    VexalGetListEntry(2);
    return records;
}

struct Expected {
    MemoryAccessType type;
    uint32_t size;
};

// `calls` is a probe's block and line arrays, in the order of the records.
template <typename Calls>
void expectRecords(const std::vector<AllocationRecord> &records, const Calls &calls, const Expected *expected,
                   int count, const char *file)
{
    ASSERT_EQ(records.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(calls.block[i], nullptr);
        EXPECT_EQ(records[i].address, calls.block[i]);
        EXPECT_EQ(records[i].type, expected[i].type);
        EXPECT_EQ(records[i].size, expected[i].size);
        EXPECT_EQ(records[i].line, calls.line[i]);
        EXPECT_STREQ(records[i].file, file);
    }
}

} // namespace probe_records
