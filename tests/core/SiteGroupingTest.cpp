// SPDX-License-Identifier: MIT
// The live records grouped by call site, as a monitor's sites request gets
// them from the library.
#include "SiteGrouping.h"
#include "VexalInternal.h"
#include "VexalTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vxltest {
namespace {

class SiteGrouping : public VexalSession {};

TEST_F(SiteGrouping, EverySiteKeepsItsOwnCountsWhileTheTableGrows)
{
    start(1, 0);
    // Far more sites than the first table holds: it grows in mid-pass, and
    // every site has records on both sides of each growth.
    constexpr int kSites = 5000;
    std::vector<void *> blocks;
    for (int round = 0; round < 3; ++round) {
        for (int line = 1; line <= kSites; ++line) {
            if (line % 3 >= round)
                blocks.push_back(VexalMalloc(static_cast<std::size_t>(line), "grouped.c", line));
        }
    }
    vexal::sites::Grouping grouping;
    {
        vexal::LockGuard guard(vexal::tracking.mutGlobalData);
        ASSERT_TRUE(grouping.collect(0));
    }
    ASSERT_EQ(grouping.count(), std::size_t{kSites});
    std::vector<int> seen(kSites + 1, 0);
    for (std::size_t i = 0; i < grouping.count(); ++i) {
        const vexal::sites::Site &site = grouping.site(i);
        ASSERT_TRUE(site.line >= 1 && site.line <= kSites) << site.line;
        ++seen[static_cast<std::size_t>(site.line)];
        EXPECT_EQ(site.blocks, site.line % 3 + 1) << site.line;
        EXPECT_EQ(site.bytes, std::int64_t{site.line} * (site.line % 3 + 1)) << site.line;
    }
    EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), 1), kSites);
    for (void *block : blocks)
        VexalFree(block, "grouped.c", 0);
}

} // namespace
} // namespace vxltest
