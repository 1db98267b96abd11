// SPDX-License-Identifier: MIT
// VexalTrack.h routes the Windows family too, so that an existing Windows
// program is tracked with one -include.
#include <gtest/gtest.h>

#include <Vexal.h>

#include "ProbeRecords.h"
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

    // HeapReAlloc took over the 1-byte block, so that record is gone.
    const probe_records::Expected expected[WPROBE_CALLS] = {
        {VXL_STRDUP, 4},       {VXL_WCSDUP, 10},     {VXL_MBSDUP, 3},     {VXL_GLOBALALLOC, 11},
        {VXL_LOCALALLOC, 12}, {VXL_HEAPALLOC, 13}, {VXL_HEAPREALLOC, 14}};
    const std::vector<AllocationRecord> records = probe_records::liveRecords();
    ASSERT_NO_FATAL_FAILURE(
        probe_records::expectRecords(records, calls, expected, WPROBE_CALLS, windows_probe_file()));
    EXPECT_EQ(records[WPROBE_HEAPALLOC].heap, GetProcessHeap());

    EXPECT_EQ(windows_probe_free_all(&calls), 4);
    EXPECT_EQ(VexalGetListEntry(0), nullptr);
    VexalGetListEntry(2);
}

} // namespace
