// SPDX-License-Identifier: MIT
// The tracked wrappers: what they record and count, and the line each call logs.
#include "VexalTestSupport.h"

#include <cstdint>
#include <cstring>

using namespace vxltest;

namespace {

// Large enough that no allocator can satisfy it.
size_t hugeSize() {
    volatile size_t huge = SIZE_MAX / 2;
    return huge;
}

// The size field a log line prints for a request of `size` bytes: all of it.
long long loggedSize(size_t size) { return static_cast<long long>(size); }

class Tracking : public VexalSession {};

TEST_F(Tracking, FirstRecordHasIndexZeroAndItsLogLinePrintsOne) {
    start();
    EXPECT_EQ(VexalGetIndex(), 0u);
    void *p = VexalMalloc(100, "main.c", 42);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(VexalGetIndex(), 1u);

    const AllocationRecord *rec = VexalGetListEntry(0);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->address, p);
    EXPECT_EQ(rec->size, 100u);
    EXPECT_EQ(rec->line, 42);
    EXPECT_STREQ(rec->file, "main.c");
    EXPECT_EQ(rec->type, VXL_MALLOC);
    EXPECT_EQ(rec->threadId, currentThreadId());
    EXPECT_EQ(rec->index, 0u);
    EXPECT_EQ(VexalGetListEntry(1), nullptr);
    EXPECT_EQ(VexalGetListEntry(2), nullptr);

    VexalFree(p, "main.c", 43);
    EXPECT_EQ(finish(), allocLine("main.c", 42, VXL_MALLOC, 100, 1, p) +
                            freeLine("main.c", 43, VXL_MALLOC, 100, currentThreadId(), 0, p));
}

#if !defined(_WIN32)  // valloc and memalign; the Windows family has its own suite
TEST_F(Tracking, EveryWrapperRecordsItsKindSizeAndRow) {
    start();
    auto *c = static_cast<unsigned char *>(VexalCalloc(10, 8, "w.c", 1));
    char *s = VexalStrdup("abc", "w.c", 2);
    void *v = VexalValloc(5000, "w.c", 3);
    void *m = VexalMemalign(64, 100, "w.c", 4);
    char *e = VexalStrdup("", "w.c", 5);
    ASSERT_TRUE(c && s && v && m && e);

    for (int i = 0; i < 80; ++i) {
        EXPECT_EQ(c[i], 0) << "calloc block not zeroed at " << i;
    }
    EXPECT_STREQ(s, "abc");
    EXPECT_STREQ(e, "");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(v) % static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)), 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(m) % 64, 0u);

    VexalShowStatus("w.c", 10);
    VexalFree(c, "w.c", 20);
    VexalFree(s, "w.c", 21);
    VexalFree(v, "w.c", 22);
    VexalFree(m, "w.c", 23);
    VexalFree(e, "w.c", 24);
    VexalShowStatus("w.c", 30);

    const uint32_t me = currentThreadId();
    Status live;
    live.rows[VXL_CALLOC] = {1, 80};
    live.rows[VXL_STRDUP] = {2, 5};
    live.rows[VXL_VALLOC] = {1, 5000};
    live.rows[VXL_MEMALIGN] = {1, 100};
    live.internalUse = kAnchorsUse + 5 * recordUse("w.c");
    Status freed = live;
    for (Row &r : freed.rows) r.still = 0;
    freed.internalUse = kAnchorsUse;

    EXPECT_EQ(finish(),
              allocLine("w.c", 1, VXL_CALLOC, 80, 1, c) + allocLine("w.c", 2, VXL_STRDUP, 4, 2, s) +
                  allocLine("w.c", 3, VXL_VALLOC, 5000, 3, v) +
                  allocLine("w.c", 4, VXL_MEMALIGN, 100, 4, m) +
                  allocLine("w.c", 5, VXL_STRDUP, 1, 5, e) + statusReport("w.c", 10, live) +
                  freeLine("w.c", 20, VXL_CALLOC, 80, me, 0, c) +
                  freeLine("w.c", 21, VXL_STRDUP, 4, me, 1, s) +
                  freeLine("w.c", 22, VXL_VALLOC, 5000, me, 2, v) +
                  freeLine("w.c", 23, VXL_MEMALIGN, 100, me, 3, m) +
                  freeLine("w.c", 24, VXL_STRDUP, 1, me, 4, e) + statusReport("w.c", 30, freed));
}
#endif

TEST_F(Tracking, TheRecordKeepsItsOwnCopyOfTheFileName) {
    start(1, 0);
    char name[] = "dir/copied.c";
    void *p = keep(VexalMalloc(8, name, 9));
    std::memset(name, 'X', sizeof name - 1);

    const AllocationRecord *rec = VexalGetListEntry(0);
    ASSERT_NE(rec, nullptr);
    EXPECT_NE(rec->file, static_cast<const char *>(name));
    EXPECT_STREQ(rec->file, "dir/copied.c");
    VexalGetListEntry(2);
    VexalShowList("l.c", 1);
    EXPECT_EQ(finish(), listReport("l.c", 1, {{"copied.c", 9, VXL_MALLOC, 8, currentThreadId(), 0, p}}));
}

TEST_F(Tracking, ReallocsOfASmallBlockLeaveOneRecordOfTheLatestCall) {
    // Shrunk (the C library mostly keeps the place) and then grown (it
    // mostly moves): each time the one record describes the new call.
    start();
    void *p = VexalMalloc(1000, "first.c", 1);
    ASSERT_NE(p, nullptr);
    void *q = VexalRealloc(p, 0, 24, "a/longer-second.c", 2);
    ASSERT_NE(q, nullptr);
    void *r = VexalRealloc(q, 0, 2000, "third.c", 3);
    ASSERT_NE(r, nullptr);
    VexalShowList("s.c", 4);
    VexalShowStatus("s.c", 5);
    VexalFree(r, "s.c", 6);
    VexalShowStatus("s.c", 7);

    Status held, freed;
    held.rows[VXL_MALLOC] = freed.rows[VXL_MALLOC] = {1, 0};
    held.rows[VXL_REALLOC] = {2, 2000};
    freed.rows[VXL_REALLOC] = {2, 0};
    held.internalUse = kAnchorsUse + recordUse("third.c");
    freed.internalUse = kAnchorsUse;
    const std::uint32_t self = currentThreadId();
    EXPECT_EQ(finish(), allocLine("first.c", 1, VXL_MALLOC, 1000, 1, p) +
                            allocLine("a/longer-second.c", 2, VXL_REALLOC, 24, 2, q) +
                            allocLine("third.c", 3, VXL_REALLOC, 2000, 3, r) +
                            listReport("s.c", 4, {{"third.c", 3, VXL_REALLOC, 2000, self, 2, r}}) +
                            statusReport("s.c", 5, held) + freeLine("s.c", 6, VXL_REALLOC, 2000, self, 2, r) +
                            statusReport("s.c", 7, freed));
}

TEST_F(Tracking, NullFileNameIsRecordedAsAnEmptyName) {
    start(1, 0);
    void *p = keep(VexalMalloc(8, nullptr, 3));
    const AllocationRecord *rec = VexalGetListEntry(0);
    ASSERT_NE(rec, nullptr);
    ASSERT_NE(rec->file, nullptr);
    EXPECT_STREQ(rec->file, "");
    VexalGetListEntry(2);
    VexalShowList("n.c", 4);
    VexalShowStatus("n.c", 5);

    Status s;
    s.rows[VXL_MALLOC] = {1, 8};
    s.internalUse = kAnchorsUse + recordUse("");
    EXPECT_EQ(finish(), listReport("n.c", 4, {{"", 3, VXL_MALLOC, 8, currentThreadId(), 0, p}}) +
                            statusReport("n.c", 5, s));
}

TEST_F(Tracking, ReallocOfARecordedBlockMovesItsBytesToTheReallocRow) {
    start();
    void *p = VexalMalloc(100, "r.c", 1);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x5a, 100);
    auto *q = static_cast<unsigned char *>(VexalRealloc(p, 12345, 300, "r.c", 2));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q[0], 0x5a);
    EXPECT_EQ(q[99], 0x5a);
    EXPECT_EQ(VexalGetIndex(), 2u);

    const AllocationRecord *rec = VexalGetListEntry(0);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->address, q);
    EXPECT_EQ(rec->type, VXL_REALLOC);
    EXPECT_EQ(rec->size, 300u);
    EXPECT_EQ(rec->index, 1u);
    EXPECT_EQ(VexalGetListEntry(1), nullptr);
    VexalGetListEntry(2);

    VexalShowStatus("r.c", 3);
    VexalFree(q, "r.c", 4);

    Status s;
    s.rows[VXL_MALLOC] = {1, 0};
    s.rows[VXL_REALLOC] = {1, 300};
    s.internalUse = kAnchorsUse + recordUse("r.c");
    EXPECT_EQ(finish(), allocLine("r.c", 1, VXL_MALLOC, 100, 1, p) +
                            allocLine("r.c", 2, VXL_REALLOC, 300, 2, q) + statusReport("r.c", 3, s) +
                            freeLine("r.c", 4, VXL_REALLOC, 300, currentThreadId(), 1, q));
}

TEST_F(Tracking, ReallocToZeroFreesTheRecordedBlockAndRecordsNothing) {
    start();
    void *p = VexalMalloc(64, "z.c", 10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(VexalRealloc(p, 0, 0, "z.c", 11), nullptr);
    EXPECT_EQ(VexalGetIndex(), 1u);
    EXPECT_EQ(VexalGetListEntry(0), nullptr);
    VexalGetListEntry(2);
    VexalShowStatus("z.c", 12);

    Status s;
    s.rows[VXL_MALLOC] = {1, 0};
    EXPECT_EQ(finish(), allocLine("z.c", 10, VXL_MALLOC, 64, 1, p) +
                            allocLine("z.c", 11, VXL_REALLOC, 0, 1, nullptr, kSizeZeroNote) +
                            statusReport("z.c", 12, s));
}

TEST_F(Tracking, ReallocToZeroOfAnUnrecordedOrNullPointerLeavesNoBlockBehind) {
    start();
    void *raw = std::malloc(40);
    ASSERT_NE(raw, nullptr);
    // The leak checker of the sanitizer builds verifies both blocks are gone.
    EXPECT_EQ(VexalRealloc(raw, 0, 0, "z.c", 20), nullptr);
    EXPECT_EQ(VexalRealloc(nullptr, 0, 0, "z.c", 21), nullptr);
    EXPECT_EQ(VexalGetIndex(), 0u);
    EXPECT_EQ(VexalGetListEntry(0), nullptr);
    VexalGetListEntry(2);
    VexalSet(1, 0);
    VexalShowStatus("z.c", 22);

    const std::string text = finish();
    const std::string first = allocLine("z.c", 20, VXL_REALLOC, 0, 0, nullptr, kSizeZeroNote);
    ASSERT_EQ(text.substr(0, first.size()), first);
    // Where the platform hands out a block for size 0, the line may show it.
    const std::string secondHead = logLine(std::string("realloc") + kSizeZeroNote, "z.c", 21,
                                           VXL_REALLOC, 0, currentThreadId(), 0, nullptr);
    const std::string secondStart = secondHead.substr(0, secondHead.rfind('('));
    ASSERT_EQ(text.substr(first.size(), secondStart.size()), secondStart);
    const size_t report = text.find('\n', first.size()) + 1;
    EXPECT_EQ(text.substr(report), statusReport("z.c", 22, Status{}));
}

TEST_F(Tracking, ReallocOfAnUnrecordedOrNullPointerRecordsTheNewBlock) {
    start();
    void *raw = std::malloc(16);
    ASSERT_NE(raw, nullptr);
    void *q = VexalRealloc(raw, 0, 32, "u.c", 5);
    void *n = VexalRealloc(nullptr, 0, 24, "u.c", 6);
    ASSERT_NE(q, nullptr);
    ASSERT_NE(n, nullptr);
    VexalShowStatus("u.c", 7);
    VexalFree(q, "u.c", 8);
    VexalFree(n, "u.c", 9);

    Status s;
    s.rows[VXL_REALLOC] = {2, 56};
    s.internalUse = kAnchorsUse + 2 * recordUse("u.c");
    const uint32_t me = currentThreadId();
    EXPECT_EQ(finish(), allocLine("u.c", 5, VXL_REALLOC, 32, 1, q, kNotMonitoredNote) +
                            allocLine("u.c", 6, VXL_REALLOC, 24, 2, n, kNotMonitoredNote) +
                            statusReport("u.c", 7, s) + freeLine("u.c", 8, VXL_REALLOC, 32, me, 0, q) +
                            freeLine("u.c", 9, VXL_REALLOC, 24, me, 1, n));
}

TEST_F(Tracking, FailedReallocKeepsTheOldBlockAndItsRecord) {
    start();
    auto *p = static_cast<unsigned char *>(VexalMalloc(50, "f.c", 1));
    ASSERT_NE(p, nullptr);
    std::memset(p, 7, 50);
    const size_t huge = hugeSize();
    EXPECT_EQ(VexalRealloc(p, 0, huge, "f.c", 2), nullptr);
    EXPECT_EQ(p[49], 7);  // still the application's block
    EXPECT_EQ(VexalGetIndex(), 1u);

    const AllocationRecord *rec = VexalGetListEntry(0);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->address, p);
    EXPECT_EQ(rec->type, VXL_MALLOC);
    EXPECT_EQ(rec->size, 50u);
    EXPECT_EQ(VexalGetListEntry(1), nullptr);
    VexalGetListEntry(2);
    VexalShowStatus("f.c", 3);
    VexalFree(p, "f.c", 4);

    Status s;
    s.rows[VXL_MALLOC] = {1, 50};
    s.internalUse = kAnchorsUse + recordUse("f.c");
    EXPECT_EQ(finish(), allocLine("f.c", 1, VXL_MALLOC, 50, 1, p) +
                            allocLine("f.c", 2, VXL_REALLOC, loggedSize(huge), 1, nullptr, kFailedNote) +
                            statusReport("f.c", 3, s) +
                            freeLine("f.c", 4, VXL_MALLOC, 50, currentThreadId(), 0, p));
}

TEST_F(Tracking, FailedAllocationsAreLoggedButNeitherRecordedNorCounted) {
    start();
    const size_t huge = hugeSize();
    EXPECT_EQ(VexalMalloc(huge, "x.c", 1), nullptr);
    EXPECT_EQ(VexalCalloc(2, huge, "x.c", 2), nullptr);
#if !defined(_WIN32)
    EXPECT_EQ(VexalValloc(huge, "x.c", 3), nullptr);
    EXPECT_EQ(VexalMemalign(64, huge, "x.c", 4), nullptr);
#endif
    EXPECT_EQ(VexalGetIndex(), 0u);
    VexalShowStatus("x.c", 5);
    EXPECT_EQ(finish(), allocLine("x.c", 1, VXL_MALLOC, loggedSize(huge), 0, nullptr, kFailedNote) +
                            allocLine("x.c", 2, VXL_CALLOC, loggedSize(2 * huge), 0, nullptr, kFailedNote) +
#if !defined(_WIN32)
                            allocLine("x.c", 3, VXL_VALLOC, loggedSize(huge), 0, nullptr, kFailedNote) +
                            allocLine("x.c", 4, VXL_MEMALIGN, loggedSize(huge), 0, nullptr, kFailedNote) +
#endif
                            statusReport("x.c", 5, Status{}));
}

TEST_F(Tracking, FreeOfNullWithTrackingOnCountsAFailedFreeAndFreesNothing) {
    start();
    VexalFree(nullptr, "n.c", 5);
    VexalFree(nullptr, "n.c", 6);
    VexalShowStatus("n.c", 7);
    Status s;
    s.freeFailed = 2;
    const uint32_t me = currentThreadId();
    const std::string head = std::string("malloc") + kFreeNullNote;
    EXPECT_EQ(finish(), logLine(head, "n.c", 5, VXL_MALLOC, -1, me, 0, nullptr) +
                            logLine(head, "n.c", 6, VXL_MALLOC, -1, me, 0, nullptr) +
                            statusReport("n.c", 7, s));
}

TEST_F(Tracking, FreeOfAnUnregisteredPointerStillFreesItAndCountsIt) {
    start();
    void *p = VexalMalloc(10, "g.c", 1);
    // Blocks the library never saw; the leak checker verifies they are freed.
    void *raw1 = std::malloc(24);
    void *raw2 = std::malloc(48);
    VexalFree(raw1, "g.c", 2);
    VexalFree(raw2, "g.c", 3);
    VexalShowStatus("g.c", 4);
    VexalFree(p, "g.c", 5);

    Status s;
    s.rows[VXL_MALLOC] = {1, 10};
    s.internalUse = kAnchorsUse + recordUse("g.c");
    s.notStored = 2;
    const uint32_t me = currentThreadId();
    const std::string head = std::string("free") + kNotRegisteredNote;
    EXPECT_EQ(finish(), allocLine("g.c", 1, VXL_MALLOC, 10, 1, p) +
                            logLine(head, "g.c", 2, VXL_MALLOC, -1, me, 1, raw1) +
                            logLine(head, "g.c", 3, VXL_MALLOC, -1, me, 1, raw2) +
                            statusReport("g.c", 4, s) + freeLine("g.c", 5, VXL_MALLOC, 10, me, 0, p));
}

TEST_F(Tracking, WithTrackingOffFreeGoesStraightToThePlatform) {
    start(0, 1);
    void *raw = std::malloc(24);
    VexalFree(raw, "o.c", 1);      // freed: the leak checker would see it otherwise
    VexalFree(nullptr, "o.c", 2);  // the platform's free(null): harmless
    void *p = keep(VexalMalloc(32, "o.c", 3));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(VexalGetIndex(), 0u);
    VexalShowStatus("o.c", 4);
    EXPECT_EQ(finish(), statusReport("o.c", 4, Status{}));
}

TEST_F(Tracking, SwitchingTrackingOffKeepsRecordsAndTheirBytes) {
    start();
    void *p = VexalMalloc(40, "k.c", 1);
    ASSERT_NE(p, nullptr);
    VexalSet(0, 1);
    VexalFree(p, "k.c", 2);  // platform free only; the record stays
    void *q = keep(VexalMalloc(10, "k.c", 3));
    void *r = keep(VexalRealloc(nullptr, 0, 20, "k.c", 4));
    ASSERT_TRUE(q && r);
    VexalSet(1, 1);
    EXPECT_EQ(VexalGetIndex(), 1u);
    VexalShowStatus("k.c", 5);
    VexalShowList("k.c", 6);

    Status s;
    s.rows[VXL_MALLOC] = {1, 40};
    s.internalUse = kAnchorsUse + recordUse("k.c");
    EXPECT_EQ(finish(), allocLine("k.c", 1, VXL_MALLOC, 40, 1, p) + statusReport("k.c", 5, s) +
                            listReport("k.c", 6, {{"k.c", 1, VXL_MALLOC, 40, currentThreadId(), 0, p}}));
}

TEST_F(Tracking, LoggingOffWritesNoCallLinesButCountersStillMove) {
    start(1, 0);
    void *p = VexalMalloc(100, "q.c", 1);
    VexalFree(nullptr, "q.c", 2);
    VexalFree(std::malloc(8), "q.c", 3);
    EXPECT_EQ(VexalMalloc(hugeSize(), "q.c", 4), nullptr);
    void *r = VexalRealloc(p, 0, 0, "q.c", 5);
    EXPECT_EQ(r, nullptr);
    char *s = VexalStrdup("hello", "q.c", 6);
    VexalShowStatus("q.c", 7);
    VexalFree(s, "q.c", 8);

    Status st;
    st.rows[VXL_MALLOC] = {1, 0};
    st.rows[VXL_STRDUP] = {1, 6};
    st.internalUse = kAnchorsUse + recordUse("q.c");
    st.freeFailed = 1;
    st.notStored = 1;
    EXPECT_EQ(finish(), statusReport("q.c", 7, st));
}

TEST_F(Tracking, SetSwitchesLoggingAtAnyTime) {
    start(1, 0);
    void *a = VexalMalloc(1, "s.c", 1);
    VexalSet(1, 1);
    void *b = VexalMalloc(2, "s.c", 2);
    VexalSet(1, 0);
    VexalFree(a, "s.c", 3);
    VexalSet(1, 1);
    VexalFree(b, "s.c", 4);
    EXPECT_EQ(finish(), allocLine("s.c", 2, VXL_MALLOC, 2, 2, b) +
                            freeLine("s.c", 4, VXL_MALLOC, 2, currentThreadId(), 1, b));
}

TEST(Version, IsOneDotOne) {
    int major = 0;
    int minor = 0;
    VexalVersion(&major, &minor);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);
}

}  // namespace
