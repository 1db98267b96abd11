// SPDX-License-Identifier: MIT
// Windows only: VexalShowStatus and VexalShowList return the result of their
// last wait for the monitor.
#include "CommTestSupport.h"

#include <windows.h>

namespace vxlcomm {
namespace {

using Fields = std::vector<std::string>;

class CommReportResult : public CommSession {};

bool becomesTrue(const std::atomic<bool> &flag)
{
    const auto deadline = std::chrono::steady_clock::now() + kReleaseBound;
    while (!flag.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    return flag.load();
}

TEST_F(CommReportResult, IsWaitObjectWhenTheMonitorEndsItsFetchAndWaitTimeoutWhenItDoesNot)
{
    ASSERT_NO_FATAL_FAILURE(start());
    waitUntilServed();
    std::atomic<VexalReportResult> listResult{WAIT_FAILED};
    AppThread list([&] { listResult = VexalShowList("r.c", 1); });
    EXPECT_EQ(client_.read().fields, (Fields{"8", "r.c", "1"}));
    ask(2);
    ask(4);
    ASSERT_TRUE(list.finishes());
    EXPECT_EQ(listResult.load(), WAIT_OBJECT_0);

    // A summary alone does not end the fetch: the wait runs out.
    std::atomic<VexalReportResult> statusResult{WAIT_FAILED};
    AppThread status([&] { statusResult = VexalShowStatus("r.c", 2); });
    EXPECT_EQ(client_.read().fields, (Fields{"7", "r.c", "2"}));
    ask(1);
    ASSERT_TRUE(status.finishes(kHangGuard));
    EXPECT_EQ(statusResult.load(), WAIT_TIMEOUT);
}

// The lock lets its holder in again: a report call inside a records walk
// holds it twice. Both levels go while the monitor fetches, the walk's comes
// back after.
TEST_F(CommReportResult, AReportInsideARecordsWalkLetsTheMonitorFetchAndTheWalkHoldsOnAfterIt)
{
    ASSERT_NO_FATAL_FAILURE(start());
    waitUntilServed();
    keep(VexalMalloc(8, "w.c", 1));
    std::atomic<VexalReportResult> listResult{WAIT_FAILED};
    std::atomic<bool> reported{false};
    std::atomic<bool> endWalk{false};
    AppThread walker([&] {
        VexalGetListEntry(0);
        listResult = VexalShowList("w.c", 2);
        reported = true;
        while (!endWalk.load())
            std::this_thread::sleep_for(1ms);
        VexalGetListEntry(2);
    });
    EXPECT_EQ(client_.read().fields, (Fields{"8", "w.c", "2"}));
    ask(2);
    ask(3);
    ask(4);
    ASSERT_TRUE(becomesTrue(reported));
    EXPECT_EQ(listResult.load(), WAIT_OBJECT_0) << "the monitor's fetch waited for the walk";

    AppThread other([&] { keep(VexalMalloc(4, "o.c", 3)); });
    EXPECT_FALSE(other.done()) << "the walk no longer holds the lock after the report";
    endWalk = true;
    EXPECT_TRUE(other.finishes());
}

} // namespace
} // namespace vxlcomm
