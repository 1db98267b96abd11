// SPDX-License-Identifier: MIT
// A tracked program that forks while other threads make tracked calls: its
// children never hang, and each goes on from the parent's records and
// counters on its own.
#include "ForkingProgram.h"
#include "VexalTestSupport.h"

using namespace vxltest;
using namespace std::chrono_literals;

namespace {

constexpr int kChildren = 50;
// Only a hang detector: a child that inherits a held lock never ends.
constexpr auto kChildLimit = 10s;

std::string lines(const std::vector<std::string> &texts)
{
    std::string all;
    for (const std::string &t : texts)
        all += t + "\n";
    return all;
}

class Fork : public VexalSession {};

TEST_F(Fork, ChildrenOfAChurningProgramEndAndCountOnlyTheirOwnCalls)
{
    if (kForkUnsafeAllocator != nullptr)
        GTEST_SKIP() << kForkUnsafeAllocator;
    start(1, 0);
    const ForkRun run = forkWhileChurning(kChildren, kChildLimit);
    EXPECT_TRUE(run.problems.empty()) << lines(run.problems);
    RecordProperty("slowestChildMs", static_cast<int>(run.slowest.count()));
    VexalShowStatus("parent.c", 1);
    const std::string output = finish();

    for (int n = 1; n <= kChildren; ++n) {
        const std::string report = reportAt(output, kChildFile, n);
        EXPECT_NE(report.find(statusRow("strdup", 1, 5)), std::string::npos) << "child " << n << ":\n" << report;
    }
    const std::string parent = reportAt(output, "parent.c", 1);
    EXPECT_NE(parent.find(statusRow("malloc", run.churned, 0)), std::string::npos) << parent;
    EXPECT_EQ(parent.find("strdup"), std::string::npos) << parent;
}

// The walking thread holds the library's lock when it forks; the walk goes
// on in both processes and its end lets tracked calls in. The whole scene
// plays in a process of its own, which is killed if it hangs.
TEST_F(Fork, AForkInsideARecordsWalkLeavesTheWalkGoingOnBothSides)
{
    start(1, 0);
    void *block = keep(VexalMalloc(8, "w.c", 1));
    ChildProcess program;
    ASSERT_TRUE(program.fork([block] {
        if (VexalGetListEntry(0) == nullptr)
            return 2;
        ChildProcess child;
        if (!child.fork([block] {
                const bool walking = VexalGetListEntry(3) != nullptr && VexalGetListEntry(3)->address == block;
                VexalGetListEntry(2);
                VexalFree(VexalMalloc(8, "c.c", 2), "c.c", 3);
                return walking && VexalGetListEntry(0) != nullptr ? 0 : 3;
            }))
            return 4;
        const bool walking = VexalGetListEntry(3) != nullptr;
        VexalGetListEntry(2);
        VexalFree(VexalMalloc(8, "p.c", 4), "p.c", 5);
        return walking && child.wait(kChildLimit) == 0 ? 0 : 5;
    }));
    EXPECT_EQ(program.wait(2 * kChildLimit), 0);
}

} // namespace
