// SPDX-License-Identifier: MIT
// Status and list reports, compared byte for byte.
#include "VexalTestSupport.h"

#include <string>
#include <thread>

using namespace vxltest;

namespace {

class Reports : public VexalSession {};

// Length of the first run of `c` in `text`.
int firstRun(const std::string &text, char c) {
    const size_t from = text.find(c);
    if (from == std::string::npos) return 0;
    const size_t to = text.find_first_not_of(c, from);
    return static_cast<int>((to == std::string::npos ? text.size() : to) - from);
}

TEST_F(Reports, RealisticSessionWritesExactLogAndReports) {
    start();
    const uint32_t me = currentThreadId();
    void *p1 = VexalMalloc(100, "main.c", 42);
    void *p2 = VexalCalloc(10, 8, "src/util/io.c", 7);
    char *s = VexalStrdup("abc", "main.c", 50);
    void *p3 = VexalRealloc(p1, 0, 200, "main.c", 60);
    ASSERT_TRUE(p1 && p2 && s && p3);
    VexalShowStatus("main.c", 70);
    VexalShowList("main.c", 71);
    VexalFree(s, "main.c", 80);
    VexalFree(nullptr, "main.c", 81);
    void *raw = std::malloc(16);
    VexalFree(raw, "main.c", 82);
    VexalShowStatus("main.c", 90);
    EXPECT_EQ(VexalFreeAll(), 280);
    VexalShowStatus("main.c", 100);
    VexalShowList("main.c", 101);

    Status first;
    first.rows[VXL_MALLOC] = {1, 0};
    first.rows[VXL_CALLOC] = {1, 80};
    first.rows[VXL_REALLOC] = {1, 200};
    first.rows[VXL_STRDUP] = {1, 4};
    first.internalUse = kAnchorsUse + 2 * recordUse("main.c") + recordUse("src/util/io.c");
    Status second = first;
    second.rows[VXL_STRDUP].still = 0;
    second.internalUse -= recordUse("main.c");
    second.freeFailed = 1;
    second.notStored = 1;
    Status third = second;
    third.rows[VXL_CALLOC].still = 0;
    third.rows[VXL_REALLOC].still = 0;
    third.internalUse = kAnchorsUse;

    std::string expected =
        allocLine("main.c", 42, VXL_MALLOC, 100, 1, p1) +
        allocLine("src/util/io.c", 7, VXL_CALLOC, 80, 2, p2) +
        allocLine("main.c", 50, VXL_STRDUP, 4, 3, s) + allocLine("main.c", 60, VXL_REALLOC, 200, 4, p3) +
        statusReport("main.c", 70, first) +
        listReport("main.c", 71,
                   {{"io.c", 7, VXL_CALLOC, 80, me, 1, p2},
                    {"main.c", 50, VXL_STRDUP, 4, me, 2, s},
                    {"main.c", 60, VXL_REALLOC, 200, me, 3, p3}}) +
        freeLine("main.c", 80, VXL_STRDUP, 4, me, 2, s) +
        logLine(std::string("malloc") + kFreeNullNote, "main.c", 81, VXL_MALLOC, -1, me, 4, nullptr) +
        logLine(std::string("free") + kNotRegisteredNote, "main.c", 82, VXL_MALLOC, -1, me, 4, raw) +
        statusReport("main.c", 90, second) +
        // Newest first, each with its own call site.
        freeLine("main.c", 60, VXL_REALLOC, 200, me, 3, p3) +
        freeLine("src/util/io.c", 7, VXL_CALLOC, 80, me, 1, p2) + statusReport("main.c", 100, third) +
        listReport("main.c", 101, {});
    EXPECT_EQ(finish(), expected);
}

TEST_F(Reports, FreshSessionShowsAnEmptyFrameAndReportsRepeatIdentically) {
    start();
    VexalShowStatus("fresh.c", 1);
    VexalShowStatus("fresh.c", 1);
    VexalShowList("fresh.c", 2);
    VexalShowList("fresh.c", 2);
    const std::string status = statusReport("fresh.c", 1, Status{});
    const std::string list = listReport("fresh.c", 2, {});
    EXPECT_EQ(finish(), status + status + list + list);
}

TEST_F(Reports, ByteCountsGetLargerUnitsFromOneKilobyteOn) {
    start(1, 0);
    void *a = VexalMalloc(1023, "u.c", 1);
    VexalShowStatus("u.c", 2);
    void *b = VexalMalloc(1, "u.c", 3);
    VexalShowStatus("u.c", 4);
    VexalFree(a, "u.c", 5);
    VexalFree(b, "u.c", 6);
    void *c = VexalMalloc(5242880, "u.c", 7);
    VexalShowStatus("u.c", 8);
    VexalFree(c, "u.c", 9);
    const std::string text = finish();

    const auto sumLine = [](const char *bytes, const char *unitText) {
        return std::string("Sum of memory allocated: ") + bytes + " B" + unitText + "\n";
    };
    size_t at = text.find(sumLine("           1023", ""));
    EXPECT_NE(at, std::string::npos) << text;
    at = text.find(sumLine("           1024", " = 1.000 kB"), at);
    EXPECT_NE(at, std::string::npos) << text;
    at = text.find(sumLine("        5242880", " = 5120.000 kB = 5.000 MB"), at);
    EXPECT_NE(at, std::string::npos) << text;

    Status s;
    s.rows[VXL_MALLOC] = {3, 5242880};
    s.internalUse = kAnchorsUse + recordUse("u.c");
    const std::string last = statusReport("u.c", 8, s);
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

TEST_F(Reports, InternalUseFollowsRecordsAndGetsUnitsToo) {
    start(1, 0);
    const std::string longName = "deep/" + std::string(995, 'n');
    void *p = VexalMalloc(4, longName.c_str(), 1);
    void *q = VexalStrdup("x", "a.c", 2);
    VexalShowStatus("i.c", 3);
    VexalFree(p, "i.c", 4);
    VexalShowStatus("i.c", 5);
    VexalFree(q, "i.c", 6);
    VexalShowStatus("i.c", 7);

    Status both;
    both.rows[VXL_MALLOC] = {1, 4};
    both.rows[VXL_STRDUP] = {1, 2};
    both.internalUse = kAnchorsUse + recordUse(longName.c_str()) + recordUse("a.c");
    ASSERT_GE(both.internalUse, 1024);
    Status one = both;
    one.rows[VXL_MALLOC].still = 0;
    one.internalUse = kAnchorsUse + recordUse("a.c");
    Status none = one;
    none.rows[VXL_STRDUP].still = 0;
    none.internalUse = kAnchorsUse;
    const std::string text = finish();
    EXPECT_EQ(text, statusReport("i.c", 3, both) + statusReport("i.c", 5, one) +
                        statusReport("i.c", 7, none));
    EXPECT_NE(text.find(" B = 1."), std::string::npos);
}

TEST_F(Reports, HeadIsAtLeast59WideAndGrowsWithFileAndLine) {
    start();
    const std::string name70(70, 'f');
    ASSERT_EQ(headWidth(name70.c_str(), 1234), 76);
    VexalShowStatus(name70.c_str(), 1234);
    std::string wide = finish();
    EXPECT_EQ(firstRun(wide, 'v'), 76);
    EXPECT_EQ(firstRun(wide, '^'), 76);
    EXPECT_EQ(wide, statusReport(name70.c_str(), 1234, Status{}));

    start();
    VexalShowList("a.c", 10);
    const std::string narrow = finish();
    EXPECT_EQ(firstRun(narrow, 'v'), 59);
    EXPECT_EQ(firstRun(narrow, '^'), 59);

    // 55 characters and a three-digit line need 60.
    const std::string name55 = "dir/" + std::string(51, 'g');
    start();
    VexalShowList(name55.c_str(), 123);
    const std::string sixty = finish();
    EXPECT_EQ(firstRun(sixty, 'v'), 60);
    EXPECT_EQ(sixty, listReport(name55.c_str(), 123, {}));
}

TEST_F(Reports, ListShowsBaseNamesOldestFirstWithEveryThread) {
    start(1, 0);
    const uint32_t me = currentThreadId();
    void *a = keep(VexalMalloc(1, "src/util/io.c", 11));
    void *b = keep(VexalMalloc(2, "io.c", 12));
    void *c = keep(VexalMalloc(3, "C:\\proj\\a.c", 13));
    void *d = keep(VexalMalloc(4, "mixed/dir\\b.c", 14));
    void *e = nullptr;
    uint32_t other = 0;
    std::thread worker([&] {
        other = currentThreadId();
        e = VexalCalloc(5, 1, "C:\\x/y\\t.c", 15);
    });
    worker.join();
    keep(e);
    VexalShowList("show.c", 20);
    EXPECT_EQ(finish(), listReport("show.c", 20,
                                   {{"io.c", 11, VXL_MALLOC, 1, me, 0, a},
                                    {"io.c", 12, VXL_MALLOC, 2, me, 1, b},
                                    {"a.c", 13, VXL_MALLOC, 3, me, 2, c},
                                    {"b.c", 14, VXL_MALLOC, 4, me, 3, d},
                                    {"t.c", 15, VXL_CALLOC, 5, other, 4, e}}));
}

}  // namespace
