// SPDX-License-Identifier: MIT
// How the monitor holds up the application: pause and release, list
// transfers (finished or abandoned), and the report notices 7 and 8.
#include "CommTestSupport.h"

#include <algorithm>

namespace vxlcomm {
namespace {

using Fields = std::vector<std::string>;

class CommPause : public CommSession {};

TEST_F(CommPause, TrackedCallWaitsUntilReleaseWhileTheMonitorReadsTheFrozenState)
{
    ASSERT_NO_FATAL_FAILURE(start());
    void *before = keep(VexalMalloc(16, "before.c", 1));
    Status frozen;
    frozen.allocated(VXL_MALLOC, 16, "before.c");
    EXPECT_EQ(ask(5).fields, Fields{"5"});

    void *during = nullptr;
    AppThread app([&] { during = keep(VexalMalloc(32, "during.c", 2)); });
    EXPECT_FALSE(app.done());

    // Summary and list work while paused and show the state before the pause.
    EXPECT_EQ(ask(1).fields, frozen.fields(1));
    EXPECT_EQ(ask(2).fields, (Fields{"2", "1"}));
    EXPECT_EQ(ask(3).fields, recordFields(VXL_MALLOC, 16, 1, before, "before.c", 0, threadIdText()));
    EXPECT_EQ(ask(4).fields, frozen.fields(4));
    EXPECT_FALSE(app.done()) << "the list end must not release a paused application";

    EXPECT_EQ(ask(6).fields, Fields{"6"});
    ASSERT_TRUE(app.finishes());
    EXPECT_NE(during, nullptr);
    Status after = frozen;
    after.allocated(VXL_MALLOC, 32, "during.c");
    EXPECT_EQ(ask(1).fields, after.fields(1));
}

TEST_F(CommPause, ListTransferWhilePausedLeavesTheApplicationPaused)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(8, "kept.c", 1));
    ask(5);
    AppThread app([&] { keep(VexalMalloc(16, "waits.c", 2)); });
    EXPECT_EQ(ask(2).fields, (Fields{"2", "1"}));
    ask(3);
    ask(4);
    // Let go by mistake, the call would be done within microseconds.
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(app.done()) << "the list end released a paused application";
    ask(6);
    EXPECT_TRUE(app.finishes());
}

TEST_F(CommPause, ReleaseWithoutPauseIsAcknowledgedAndHoldsNothing)
{
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(ask(6).fields, Fields{"6"});
    AppThread app([&] { keep(VexalMalloc(4, "free.c", 1)); });
    EXPECT_TRUE(app.finishes());
}

TEST_F(CommPause, MonitorVanishingWhilePausedLetsTheApplicationRunAndTheNextMonitorStartsUnpaused)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ask(5);
    AppThread app([&] { keep(VexalMalloc(8, "stuck.c", 1)); });
    EXPECT_FALSE(app.done());
    client_.close();
    EXPECT_TRUE(app.finishes());

    port_ = nextListenPort(port_);
    ASSERT_TRUE(client_.connect(port_));
    Status expected;
    expected.allocated(VXL_MALLOC, 8, "stuck.c");
    EXPECT_EQ(ask(2).fields, (Fields{"2", "1"}));
    ask(3);
    EXPECT_EQ(ask(4).fields, expected.fields(4));
    // Not paused: the list end gave the lock back.
    AppThread next([&] { keep(VexalMalloc(8, "next.c", 2)); });
    EXPECT_TRUE(next.finishes());
}

class CommListTransfer : public CommSession {};

TEST_F(CommListTransfer, TrackedCallWaitsUntilTheListEnds)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(8, "one.c", 1));
    EXPECT_EQ(ask(2).fields, (Fields{"2", "1"}));
    AppThread app([&] { keep(VexalMalloc(8, "two.c", 2)); });
    ask(3);
    EXPECT_FALSE(app.done());
    ask(4);
    EXPECT_TRUE(app.finishes());
}

TEST_F(CommListTransfer, AbandonedTransferCanBeRestartedAndItsEndReleasesTheApplication)
{
    ASSERT_NO_FATAL_FAILURE(start());
    void *block = keep(VexalMalloc(8, "kept.c", 1));
    Status expected;
    expected.allocated(VXL_MALLOC, 8, "kept.c");
    ask(2);
    AppThread app([&] { keep(VexalMalloc(4, "late.c", 2)); });
    // No 4: the lock stays with the monitor, and 1 and 2 must not wait for it.
    EXPECT_EQ(ask(1).fields, expected.fields(1));
    EXPECT_EQ(ask(2).fields, (Fields{"2", "1"}));
    EXPECT_EQ(ask(3).fields, recordFields(VXL_MALLOC, 8, 1, block, "kept.c", 0, threadIdText()));
    EXPECT_FALSE(app.done());
    EXPECT_EQ(ask(4).fields, expected.fields(4));
    EXPECT_TRUE(app.finishes());
}

TEST_F(CommListTransfer, MonitorVanishingMidListLetsTheApplicationRun)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(8, "a.c", 1));
    ask(2);
    AppThread app([&] { keep(VexalMalloc(8, "b.c", 2)); });
    EXPECT_FALSE(app.done());
    client_.close();
    EXPECT_TRUE(app.finishes());
}

TEST_F(CommListTransfer, MonitorResettingWhileRepliesPileUpLetsTheApplicationRun)
{
    ASSERT_NO_FATAL_FAILURE(start());
    for (int i = 0; i < 100; ++i)
        keep(VexalMalloc(8, "pile.c", i));
    ask(2);
    // Replies nobody reads: the library's writes or reads fail, whichever first.
    std::string batch;
    for (int i = 0; i < 5000; ++i)
        batch += vxlwire::command(3);
    ASSERT_TRUE(client_.send(batch));
    AppThread app([&] { keep(VexalMalloc(8, "after.c", 1)); });
    client_.abort();
    EXPECT_TRUE(app.finishes());

    port_ = nextListenPort(port_);
    ASSERT_TRUE(client_.connect(port_));
    EXPECT_EQ(ask(2).fields, (Fields{"2", "101"}));
    ask(4);
}

TEST_F(CommListTransfer, DisconnectMidListLetsTheApplicationRun)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(8, "a.c", 1));
    ask(2);
    ask(3);
    AppThread app([&] { keep(VexalMalloc(8, "b.c", 2)); });
    EXPECT_EQ(ask(0).fields, Fields{"0"});
    EXPECT_TRUE(app.finishes());
}

class CommNotices : public CommSession {};

TEST_F(CommNotices, ShowListSendsItsCallSiteAndReturnsAfterTheMonitorsListEnd)
{
    ASSERT_NO_FATAL_FAILURE(start(1));
    void *block = keep(VexalMalloc(24, "app.c", 5));
    waitUntilServed();
    AppThread app([] { VexalShowList("job.c", 80); });
    EXPECT_EQ(client_.read().fields, (Fields{"8", "job.c", "80"}));

    EXPECT_EQ(ask(2).fields, (Fields{"2", "1"}));
    EXPECT_EQ(ask(3).fields, recordFields(VXL_MALLOC, 24, 5, block, "app.c", 0, threadIdText()));
    EXPECT_FALSE(app.done()) << "returned before the list end";
    ask(4);
    EXPECT_TRUE(app.finishes());
    EXPECT_EQ(finish().find("List of present registered memory allocations at:"), std::string::npos);
}

TEST_F(CommNotices, ShowStatusSendsItsCallSiteAndIsReleasedByAListEnd)
{
    ASSERT_NO_FATAL_FAILURE(start(1));
    waitUntilServed();
    AppThread app([] { VexalShowStatus("dir/status.c", 1234); });
    EXPECT_EQ(client_.read().fields, (Fields{"7", "dir/status.c", "1234"}));
    ask(2);
    EXPECT_FALSE(app.done()) << "returned before the list end";
    ask(4);
    EXPECT_TRUE(app.finishes());
    EXPECT_EQ(finish().find("Present status of registered memory accesses at:"), std::string::npos);
}

TEST_F(CommNotices, OneListEndReleasesEveryThreadWaitingInShowList)
{
    ASSERT_NO_FATAL_FAILURE(start());
    waitUntilServed();
    AppThread first([] { VexalShowList("first.c", 1); });
    AppThread second([] { VexalShowList("second.c", 2); });
    std::vector<std::string> sites{client_.read().fields.at(1), client_.read().fields.at(1)};
    std::sort(sites.begin(), sites.end());
    EXPECT_EQ(sites, (Fields{"first.c", "second.c"}));
    ask(2);
    ask(4);
    EXPECT_TRUE(first.finishes());
    EXPECT_TRUE(second.finishes());
}

TEST_F(CommNotices, DisconnectReleasesEveryThreadWaitingInShowStatus)
{
    ASSERT_NO_FATAL_FAILURE(start());
    waitUntilServed();
    AppThread first([] { VexalShowStatus("first.c", 1); });
    AppThread second([] { VexalShowStatus("second.c", 2); });
    EXPECT_EQ(client_.read().number(), "7");
    EXPECT_EQ(client_.read().number(), "7");
    ask(0);
    EXPECT_TRUE(first.finishes());
    EXPECT_TRUE(second.finishes());
}

// The one test that waits out the library's bounded wait: a monitor that
// answers the status notice with a summary only, as the real one does.
TEST_F(CommNotices, ShowStatusAnsweredWithASummaryOnlyStillReturns)
{
    ASSERT_NO_FATAL_FAILURE(start());
    waitUntilServed();
    AppThread app([] { VexalShowStatus("status.c", 7); });
    EXPECT_EQ(client_.read().fields, (Fields{"7", "status.c", "7"}));
    EXPECT_EQ(ask(1).fields, Status{}.fields(1));
    EXPECT_TRUE(app.finishes(kHangGuard));
    EXPECT_EQ(ask(1).fields, Status{}.fields(1));
}

TEST_F(CommNotices, NoticeWaitsUntilAnOpenListTransferEnds)
{
    ASSERT_NO_FATAL_FAILURE(start());
    constexpr int kRecords = 3;
    for (int i = 0; i < kRecords; ++i)
        keep(VexalMalloc(8, "rec.c", i));
    ask(2);
    AppThread app([] { VexalShowList("show.c", 3); });
    std::string batch;
    for (int i = 0; i < kRecords; ++i)
        batch += vxlwire::command(3);
    batch += vxlwire::command(4);
    ASSERT_TRUE(client_.send(batch));
    for (int i = 0; i < kRecords; ++i)
        EXPECT_EQ(client_.read().number(), "3");
    EXPECT_EQ(client_.read().number(), "4");
    EXPECT_EQ(client_.read().fields, (Fields{"8", "show.c", "3"}));
    ask(2);
    ask(4);
    EXPECT_TRUE(app.finishes());
}

TEST_F(CommNotices, OverlongCallSiteIsCutTo511Bytes)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string name(600, 'n');
    waitUntilServed();
    AppThread app([&] { VexalShowList(name.c_str(), 1); });
    EXPECT_EQ(client_.read().fields, (Fields{"8", name.substr(0, 511), "1"}));
    ask(2);
    ask(4);
    EXPECT_TRUE(app.finishes());
}

} // namespace
} // namespace vxlcomm
