// SPDX-License-Identifier: MIT
// A served application that forks: its children leave the monitor's
// connection alone, fork waits for a pause's release, and a child may serve
// a monitor of its own after a VexalInit of its own. POSIX only.
#include "CommTestSupport.h"
#include "ForkingProgram.h"

#include <poll.h>
#include <unistd.h>

namespace vxlcomm {
namespace {

using Fields = std::vector<std::string>;
using vxltest::ChildProcess;

constexpr int kChildren = 50;
constexpr auto kChildLimit = 10s;  // a hang detector only

class CommFork : public CommSession {};

TEST_F(CommFork, ChildrenLeaveTheParentsMonitorUndisturbed)
{
    if (vxltest::kForkUnsafeAllocator != nullptr)
        GTEST_SKIP() << vxltest::kForkUnsafeAllocator;
    ASSERT_NO_FATAL_FAILURE(start());
    waitUntilServed();
    // A summary after each child: the next message on the connection is its reply.
    const vxltest::ForkRun run = vxltest::forkWhileChurning(kChildren, kChildLimit, [&] { ask(1); });
    for (const std::string &problem : run.problems)
        ADD_FAILURE() << problem;
    const Message summary = ask(1);
    ASSERT_EQ(summary.fields.size(), 28u);
    EXPECT_EQ(summary.fields[1 + VXL_MALLOC], std::to_string(run.churned));
    EXPECT_EQ(summary.fields[1 + VXL_STRDUP], "0") << "the children's calls reached the parent's counters";
    EXPECT_EQ(ask(0).fields, Fields{"0"});
    EXPECT_TRUE(client_.waitForClose());

    // Each child printed its own report instead of notifying the monitor.
    const std::string output = finish();
    for (int n = 1; n <= kChildren; ++n)
        EXPECT_NE(vxltest::reportAt(output, vxltest::kChildFile, n).find(vxltest::statusRow("strdup", 1, 5)),
                  std::string::npos)
            << "child " << n;
}

TEST_F(CommFork, ForkWaitsWhileTheMonitorHoldsTheApplicationPaused)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ask(5);
    ChildProcess child;
    AppThread forking([&] { child.fork([] { return vxltest::childWork(1); }); });
    std::this_thread::sleep_for(200ms);  // let go by mistake, fork would be back within this
    EXPECT_FALSE(forking.done()) << "fork went ahead while the application was paused";
    ask(6);
    ASSERT_TRUE(forking.finishes());
    EXPECT_EQ(child.wait(kChildLimit), 0);
}

// The parent serves no monitor here: a child that starts threads after the
// fork of a process with threads is beyond ThreadSanitizer.
TEST_F(CommFork, AChildsVexalInitStartsAfreshOnThePortItNames)
{
    VexalInit(1, 0, path_.c_str(), -1);
    active_ = true;
    void *inherited = keep(VexalMalloc(64, "parent.c", 1));
    const int childPort = port_ + 2;
    const std::string childPath = path_ + ".child";
    int ready[2];
    int done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    ChildProcess child;
    ASSERT_TRUE(child.fork([&] {
        close(ready[0]);
        close(done[1]);
        VexalInit(1, 0, childPath.c_str(), childPort);
        VexalFree(inherited, "fresh.c", 1);  // not one of the child's records any more
        VexalMalloc(10, "fresh.c", 2);
        close(ready[1]);  // its calls are made
        char end;
        const bool released = read(done[0], &end, 1) == 0;  // the parent's test is over
        VexalFinish();
        return released ? 0 : 1;
    }));
    // The child ends once the parent's end of `done` closes: also before
    // the wait for it when an assertion ends the test early.
    struct LetGo {
        int fd;
        ~LetGo() { now(); }
        void now()
        {
            if (fd >= 0)
                close(fd);
            fd = -1;
        }
    } letGo{done[1]};
    close(ready[1]);
    close(done[0]);
    pollfd madeCalls{ready[0], POLLIN, 0};  // the end of the pipe: the child closed its side
    const bool calls = poll(&madeCalls, 1, static_cast<int>(std::chrono::milliseconds(kChildLimit).count())) == 1;
    close(ready[0]);
    ASSERT_TRUE(calls) << "the child did not get to its calls within " << kChildLimit.count() << " s";

    ASSERT_TRUE(client_.connect(childPort)) << "the child does not listen on " << childPort;
    Status fresh;
    fresh.allocated(VXL_MALLOC, 10, "fresh.c");
    fresh.notStored = 1;
    EXPECT_EQ(ask(1).fields, fresh.fields(1));
    EXPECT_EQ(ask(0).fields, Fields{"0"});
    client_.close();
    letGo.now();
    EXPECT_EQ(child.wait(kChildLimit), 0);
    std::remove(childPath.c_str());
}

} // namespace
} // namespace vxlcomm
