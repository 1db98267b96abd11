// SPDX-License-Identifier: MIT
// VexalTrack.h routes the Windows family too, so that an existing Windows
// program is tracked with one -include.
#include <gtest/gtest.h>

#include <Vexal.h>

#include "TestPlatform.h"
#include "track_probe.h"

#include <cstdint>
#include <vector>

namespace {

class TrackHeaderWindows : public ::testing::Test {
protected:
    void SetUp() override { VexalInit(1, 0, vxltest::nullDevice(), -1); }
    void TearDown() override { VexalFinish(); }
};

TEST_F(TrackHeaderWindows, CRoutesTheWindowsFamilyWithItsCallSites)
{
    windows_probe_calls calls{};
    windows_probe_allocate_all(&calls);

    struct Expected {
        MemoryAccessType type;
        uint32_t size;
    };
    // HeapReAlloc took over the 1-byte block, so that record is gone.
    const Expected expected[WPROBE_CALLS] = {{VXL_STRDUP, 4},      {VXL_WCSDUP, 10},    {VXL_MBSDUP, 3},
                                             {VXL_GLOBALALLOC, 11}, {VXL_LOCALALLOC, 12}, {VXL_HEAPALLOC, 13},
                                             {VXL_HEAPREALLOC, 14}};
    std::vector<AllocationRecord> records;
    for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1))
        records.push_back(*r);
    VexalGetListEntry(2);
    ASSERT_EQ(records.size(), static_cast<size_t>(WPROBE_CALLS));
    for (int i = 0; i < WPROBE_CALLS; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(calls.block[i], nullptr);
        EXPECT_EQ(records[i].address, calls.block[i]);
        EXPECT_EQ(records[i].type, expected[i].type);
        EXPECT_EQ(records[i].size, expected[i].size);
        EXPECT_EQ(records[i].line, calls.line[i]);
        EXPECT_STREQ(records[i].file, windows_probe_file());
    }
    EXPECT_EQ(records[WPROBE_HEAPALLOC].heap, GetProcessHeap());

    EXPECT_EQ(windows_probe_free_all(&calls), 4);
    EXPECT_EQ(VexalGetListEntry(0), nullptr);
    VexalGetListEntry(2);
}

} // namespace
