// SPDX-License-Identifier: MIT
// VexalTrack.h from C (track_probe.c, track_optout.c) and from C++ (this file).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <Vexal.h>

#include "ProbeRecords.h"
#include "TestPlatform.h"
#include "track_probe.h"

// Last, as the header asks of C++ code; the C++ and C headers that follow must
// still compile.
#include <VexalTrack.h>

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>

namespace {

using probe_records::Expected;
using probe_records::liveRecords;

class TrackHeader : public ::testing::Test {
protected:
    void SetUp() override { VexalInit(1, 0, vxltest::nullDevice(), -1); }
    void TearDown() override { VexalFinish(); }
};

TEST_F(TrackHeader, CRoutesEveryFunctionWithItsCallSite)
{
    probe_calls calls{};
    probe_allocate_all(&calls);

    // realloc took over malloc(5)'s block, so its record is gone.
    const Expected expected[PROBE_CALLS] = {{VXL_MALLOC, 10}, {VXL_CALLOC, 21}, {VXL_REALLOC, 40}, {VXL_STRDUP, 6},
#if !defined(_WIN32)
                                            {VXL_VALLOC, 100}, {VXL_MEMALIGN, 128}
#endif
    };
    std::vector<AllocationRecord> records = liveRecords();
    ASSERT_NO_FATAL_FAILURE(probe_records::expectRecords(records, calls, expected, PROBE_CALLS, probe_file()));
#if !defined(_WIN32)
    EXPECT_EQ(reinterpret_cast<uintptr_t>(calls.block[PROBE_MEMALIGN]) % 64, 0u);
#endif
    EXPECT_STREQ(static_cast<const char *>(calls.block[PROBE_STRDUP]), "probe");

    for (void *block : calls.block)
        probe_free(block);
    EXPECT_TRUE(liveRecords().empty());
}

TEST(TrackHeaderFree, NullIsANoOpAndTheArgumentIsEvaluatedOnce)
{
    const std::string path = ::testing::TempDir() + "vexal_track_free_" + std::to_string(getpid()) + ".log";
    VexalInit(1, 1, path.c_str(), -1);
    EXPECT_EQ(probe_free_null_and_block(), 1);
    VexalShowStatus("free.c", 1);
    VexalFinish();
    std::ifstream in(path);
    std::stringstream log;
    log << in.rdbuf();
    std::remove(path.c_str());

    // The block's allocation and release are logged; free(NULL) left no trace.
    EXPECT_NE(log.str().find("| malloc       |           1 |               0 |"), std::string::npos) << log.str();
    EXPECT_EQ(log.str().find("FAILED"), std::string::npos) << log.str();
    EXPECT_EQ(log.str().find("failed"), std::string::npos) << log.str();
}

TEST_F(TrackHeader, MacrosLeaveParenthesisedNamesAndFunctionPointersAlone)
{
    probe_untracked_round_trip();
    EXPECT_TRUE(liveRecords().empty());
    EXPECT_EQ(VexalGetIndex(), 0u);
}

TEST_F(TrackHeader, OptOutLeavesCallsUntracked)
{
    void *block = optout_malloc(32);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(liveRecords().empty());
    optout_free(block);
    EXPECT_EQ(VexalGetIndex(), 0u);
}

TEST_F(TrackHeader, CxxTranslationUnitIsTrackedToo)
{
    const std::string text = "from C++";  // std::string still usable after the header
    char *copy = strdup(text.c_str()); const int copyLine = __LINE__;
    void *grown = realloc(calloc(2, 8), 64); const int grownLine = __LINE__;
#if defined(_WIN32)
    void *aligned = _strdup("aligned"); const int alignedLine = __LINE__;
    const int alignedType = VXL_STRDUP;
#else
    void *aligned = memalign(32, 48); const int alignedLine = __LINE__;
    const int alignedType = VXL_MEMALIGN;
#endif
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(grown, nullptr);
    ASSERT_NE(aligned, nullptr);

    std::vector<AllocationRecord> records = liveRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].type, VXL_STRDUP);
    EXPECT_EQ(records[0].line, copyLine);
    EXPECT_EQ(records[0].size, text.size() + 1);
    EXPECT_EQ(records[1].type, VXL_REALLOC);
    EXPECT_EQ(records[1].line, grownLine);
    EXPECT_EQ(records[2].type, alignedType);
    EXPECT_EQ(records[2].line, alignedLine);
    for (const AllocationRecord &r : records)
        EXPECT_STREQ(r.file, __FILE__);

    free(copy);
    free(grown);
    free(aligned);
    EXPECT_TRUE(liveRecords().empty());
}

} // namespace
