// SPDX-License-Identifier: MIT
// What the monitor reads: summary values, list records in order, the filler
// record, the leak sites, and replies to commands sent back to back.
#include "CommTestSupport.h"

namespace vxlcomm {
namespace {

using Fields = std::vector<std::string>;

class CommSummary : public CommSession {};

TEST_F(CommSummary, ValuesMatchTheCountersOfKnownCalls)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const char *here = "summary.c";
    const char *there = "src/other/longer_name.c";
    Status expected;

    void *a = VexalMalloc(100, here, 1);
    expected.allocated(VXL_MALLOC, 100, here);
    VexalFree(VexalMalloc(30, there, 2), here, 3);
    expected.allocated(VXL_MALLOC, 30, there);
    expected.released(VXL_MALLOC, 30, there);
    void *c = VexalCalloc(10, 8, there, 4);
    expected.allocated(VXL_CALLOC, 80, there);
    void *d = VexalMalloc(50, here, 5);
    expected.allocated(VXL_MALLOC, 50, here);
    d = VexalRealloc(d, 0, 200, there, 6);
    expected.released(VXL_MALLOC, 50, here);
    expected.allocated(VXL_REALLOC, 200, there);
    char *s = VexalStrdup("abc", here, 7);
    expected.allocated(VXL_STRDUP, 4, here);
    const PlatformBlock v = platformBlockA(50, there, 8);
    expected.allocated(v.type, 50, there);
    const PlatformBlock m = platformBlockB(40, here, 9);
    expected.allocated(m.type, 40, here);
    VexalFree(nullptr, here, 10);
    expected.freeFailed = 1;
    VexalFree(std::malloc(8), here, 11);
    expected.notStored = 1;

    EXPECT_EQ(ask(1).fields, expected.fields(1));

    struct Live { void *block; int type; long long size; const char *file; };
    for (const Live &live : {Live{a, VXL_MALLOC, 100, here}, Live{c, VXL_CALLOC, 80, there},
                             Live{d, VXL_REALLOC, 200, there}, Live{s, VXL_STRDUP, 4, here},
                             Live{v.block, v.type, 50, there}, Live{m.block, m.type, 40, here}}) {
        VexalFree(live.block, here, 12);
        expected.released(live.type, live.size, live.file);
    }
    // Calls stay counted; nothing is left allocated.
    EXPECT_EQ(ask(1).fields, expected.fields(1));
}

class CommList : public CommSession {};

TEST_F(CommList, RecordsArriveOldestFirstWithTheirExactFields)
{
    ASSERT_NO_FATAL_FAILURE(start());
    Status expected;
    void *first = VexalMalloc(10, "list/a.c", 11);                    // #0, reallocated below
    void *second = keep(VexalCalloc(3, 4, "b.c", 22));                // #1
    VexalFree(VexalMalloc(5, "gone.c", 33), "gone.c", 34);           // #2, gone
    char *third = keep(VexalStrdup("hello", "/abs/path/c.c", 44));   // #3
    PlatformBlock fourth{};                                           // #4, other thread
    std::string otherThread;
    std::thread([&] {
        fourth = keep(platformBlockB(64, "thread.c", 55));
        otherThread = threadIdText();
    }).join();
    void *fifth = keep(VexalRealloc(first, 0, 20, "list/a.c", 66));  // #5, moves to the end
    expected.allocated(VXL_CALLOC, 12, "b.c");
    expected.allocated(VXL_MALLOC, 5, "gone.c");
    expected.released(VXL_MALLOC, 5, "gone.c");
    expected.allocated(VXL_STRDUP, 6, "/abs/path/c.c");
    expected.allocated(fourth.type, 64, "thread.c");
    expected.allocated(VXL_MALLOC, 10, "list/a.c");
    expected.released(VXL_MALLOC, 10, "list/a.c");
    expected.allocated(VXL_REALLOC, 20, "list/a.c");

    const std::string me = threadIdText();
    EXPECT_EQ(ask(2).fields, (Fields{"2", "4"}));
    EXPECT_EQ(ask(3).fields, recordFields(VXL_CALLOC, 12, 22, second, "b.c", 1, me));
    EXPECT_EQ(ask(3).fields, recordFields(VXL_STRDUP, 6, 44, third, "/abs/path/c.c", 3, me));
    EXPECT_EQ(ask(3).fields, recordFields(fourth.type, 64, 55, fourth.block, "thread.c", 4, otherThread));
    EXPECT_EQ(ask(3).fields, recordFields(VXL_REALLOC, 20, 66, fifth, "list/a.c", 5, me));
    EXPECT_EQ(ask(4).fields, expected.fields(4));
}

TEST_F(CommList, EmptyListAnnouncesZeroRecordsAndEndsWithTheStatus)
{
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(ask(2).fields, (Fields{"2", "0"}));
    EXPECT_EQ(ask(4).fields, Status{}.fields(4));
}

TEST_F(CommList, NextRecordBeforeAnyListStartGetsTheFiller)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(8, "present.c", 1));
    EXPECT_EQ(ask(3).fields, fillerFields(0));
    EXPECT_EQ(ask(3).fields, fillerFields(0));
}

TEST_F(CommList, NextRecordPastTheEndGetsTheFillerWithTheLastRealType)
{
    ASSERT_NO_FATAL_FAILURE(start());
    void *a = keep(VexalMalloc(8, "x.c", 1));
    const PlatformBlock b = keep(platformBlockA(16, "y.c", 2));
    const std::string me = threadIdText();
    EXPECT_EQ(ask(2).fields, (Fields{"2", "2"}));
    EXPECT_EQ(ask(3).fields, recordFields(VXL_MALLOC, 8, 1, a, "x.c", 0, me));
    EXPECT_EQ(ask(3).fields, recordFields(b.type, 16, 2, b.block, "y.c", 1, me));
    EXPECT_EQ(ask(3).fields, fillerFields(b.type));
    EXPECT_EQ(ask(3).fields, fillerFields(b.type));
    ask(4);
    // The list end forgets the position, not the last type.
    EXPECT_EQ(ask(3).fields, fillerFields(b.type));
}

TEST_F(CommList, OverlongFileNameIsCutTo511Bytes)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string name = std::string(300, 'd') + "/" + std::string(400, 'f') + ".c";
    void *block = keep(VexalMalloc(1, name.c_str(), 9));
    ask(2);
    EXPECT_EQ(ask(3).fields, recordFields(VXL_MALLOC, 1, 9, block, name.substr(0, 511), 0, threadIdText()));
    ask(4);
}

TEST_F(CommList, SeparatorByteInAFileNameDoesNotShiftTheFields)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(3, "odd\x01name.c", 4));
    ask(2);
    const Message record = ask(3);
    ASSERT_EQ(record.fields.size(), 8u);
    EXPECT_EQ(record.fields[3], "4");
    EXPECT_EQ(record.fields[5].substr(0, 3), "odd");
    EXPECT_EQ(record.fields[6], "0");
    EXPECT_EQ(record.fields[7], threadIdText());
    ask(4);
}

class CommPipelining : public CommSession {};

TEST_F(CommPipelining, NextRecordsWrittenAtOnceAreEachAnsweredInOrder)
{
    ASSERT_NO_FATAL_FAILURE(start());
    constexpr int kRecords = 200;
    std::vector<void *> blocks;
    for (int i = 0; i < kRecords; ++i)
        blocks.push_back(keep(VexalMalloc(static_cast<size_t>(i + 1), "batch.c", 1000 + i)));
    EXPECT_EQ(ask(2).fields, (Fields{"2", std::to_string(kRecords)}));

    std::string batch;
    for (int i = 0; i < kRecords + 2; ++i)  // two past the end
        batch += vxlwire::command(3);
    batch += vxlwire::command(4);
    ASSERT_TRUE(client_.send(batch));

    const std::string me = threadIdText();
    for (int i = 0; i < kRecords; ++i) {
        const Message reply = client_.read();
        ASSERT_TRUE(reply.ok()) << "record " << i;
        ASSERT_EQ(reply.fields, recordFields(VXL_MALLOC, i + 1, 1000 + i, blocks[static_cast<size_t>(i)],
                                             "batch.c", static_cast<unsigned>(i), me));
    }
    EXPECT_EQ(client_.read().fields, fillerFields(VXL_MALLOC));
    EXPECT_EQ(client_.read().fields, fillerFields(VXL_MALLOC));
    EXPECT_EQ(client_.read().number(), "4");
}

TEST_F(CommPipelining, MixedCommandsWrittenAtOnceAreAnsweredInOrder)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(8, "mixed.c", 1));
    std::string batch;
    const std::vector<int> commands{1, 2, 3, 3, 4, 5, 1, 2, 4, 6, 1};
    for (int number : commands)
        batch += vxlwire::command(number);
    ASSERT_TRUE(client_.send(batch));
    std::vector<std::string> numbers;
    for (size_t i = 0; i < commands.size(); ++i)
        numbers.push_back(client_.read().number());
    EXPECT_EQ(numbers, (Fields{"1", "2", "3", "3", "4", "5", "1", "2", "4", "6", "1"}));
}

TEST_F(CommPipelining, CommandSplitOverSeveralWritesIsServedOnce)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string bytes = vxlwire::command(2);
    for (char byte : bytes) {
        ASSERT_TRUE(client_.send(std::string(1, byte)));
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(client_.read().fields, (Fields{"2", "0"}));
    EXPECT_EQ(ask(4).fields, Status{}.fields(4));
}

class CommSites : public CommSession {
protected:
    // The messages of one sites request, up to and with its end.
    std::vector<Fields> sites(const std::string &sinceIndex)
    {
        EXPECT_TRUE(client_.send(std::string("9\x01", 2) + sinceIndex + std::string("\x01\0", 2)));
        std::vector<Fields> messages;
        for (vxlwire::Message m = client_.read(); m.ok(); m = client_.read()) {
            messages.push_back(m.fields);
            if (m.number() != "9")
                break;
        }
        return messages;
    }
};

TEST_F(CommSites, LiveBlocksAreGroupedByFileLineAndFunctionFromTheIndexBound)
{
    ASSERT_NO_FATAL_FAILURE(start());
    keep(VexalMalloc(10, "s/a.c", 7));                    // #0
    keep(VexalMalloc(30, "s/a.c", 7));                    // #1
    keep(VexalCalloc(2, 5, "s/a.c", 7));                  // #2, another function
    VexalFree(VexalMalloc(99, "s/b.c", 1), "s/b.c", 2);  // #3, gone
    keep(VexalMalloc(20, "s/a.c", 7));                    // #4
    // Paused, the library holds its lock already: the sites come all the same.
    ask(5);
    EXPECT_EQ(sites("0"), (std::vector<Fields>{{"9", "s/a.c", "7", "0", "3", "60", "0", "4"},
                                               {"9", "s/a.c", "7", "1", "1", "10", "2", "2"},
                                               {"10", "2", "4", "70", "5"}}));
    ask(6);
    EXPECT_EQ(sites("2"), (std::vector<Fields>{{"9", "s/a.c", "7", "0", "1", "20", "4", "4"},
                                               {"9", "s/a.c", "7", "1", "1", "10", "2", "2"},
                                               {"10", "2", "2", "30", "5"}}));
    // Nothing held: the application goes on.
    keep(VexalMalloc(1, "s/c.c", 3));
}

} // namespace
} // namespace vxlcomm
