// SPDX-License-Identifier: MIT
// Windows only: VexalShowStatus and VexalShowList return the result of their
// last wait for the monitor.
#include "CommTestSupport.h"

#include <windows.h>

namespace vxlcomm {
namespace {

using Fields = std::vector<std::string>;

class CommReportResult : public CommSession {};

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

} // namespace
} // namespace vxlcomm
