// SPDX-License-Identifier: MIT
// Many records, many call sites, repeated addresses: the record list must
// stay exact however large it grows and in whatever order blocks go.
#include "VexalTestSupport.h"

#include <map>

using namespace vxltest;

namespace {

class Volume : public VexalSession {};

struct Expected {
    std::string file;
    int line;
    uint32_t size;
    unsigned long long index;
};

// Checks every record against `live` (by address) and the totals in a report.
void expectRecords(const std::map<void *, Expected> &live) {
    size_t count = 0;
    for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) {
        ++count;
        const auto found = live.find(r->address);
        if (found == live.end()) {
            ADD_FAILURE() << "record of a block that is not live, index " << r->index;
            continue;
        }
        EXPECT_STREQ(r->file, found->second.file.c_str());
        EXPECT_EQ(r->line, found->second.line);
        EXPECT_EQ(r->size, found->second.size);
        EXPECT_EQ(r->index, found->second.index);
    }
    VexalGetListEntry(2);
    EXPECT_EQ(count, live.size());
}

TEST_F(Volume, TensOfThousandsOfRecordsFromHundredsOfCallSitesStayExact) {
    start(1, 0);
    std::vector<std::string> files;
    for (int i = 0; i < 900; ++i) files.push_back(format("gen/dir%d/file%03d.c", i % 7, i));

    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    std::map<void *, Expected> live;
    std::vector<void *> order;
    unsigned long long index = 0;
    const auto allocateSome = [&](int count, size_t firstFile, size_t fileCount) {
        for (int i = 0; i < count; ++i) {
            const std::string &file = files[firstFile + next(static_cast<uint32_t>(fileCount))];
            const uint32_t size = 1 + next(96);
            const int line = static_cast<int>(next(5000));
            void *p = VexalMalloc(size, file.c_str(), line);
            ASSERT_NE(p, nullptr);
            live[p] = {file, line, size, index++};
            order.push_back(p);
        }
    };
    const auto freeSome = [&](size_t keep) {
        while (order.size() > keep) {
            const size_t at = next(static_cast<uint32_t>(order.size()));
            void *p = order[at];
            order[at] = order.back();
            order.pop_back();
            live.erase(p);
            VexalFree(p, "gen/free.c", 1);
        }
    };

    // Grow, shrink to a few, grow again with other call sites.
    allocateSome(20000, 0, 400);
    expectRecords(live);
    freeSome(50);
    expectRecords(live);
    allocateSome(15000, 400, 500);
    freeSome(3000);
    expectRecords(live);

    Status before;
    before.rows[VXL_MALLOC].calls = 35000;
    for (const auto &[address, e] : live) {
        before.rows[VXL_MALLOC].still += e.size;
        before.internalUse += recordUse(e.file.c_str());
    }
    VexalShowStatus("vol.c", 1);
    EXPECT_EQ(VexalFreeAll(), before.rows[VXL_MALLOC].still);
    VexalShowStatus("vol.c", 2);
    Status after;
    after.rows[VXL_MALLOC] = {35000, 0};
    EXPECT_EQ(finish(), statusReport("vol.c", 1, before) + statusReport("vol.c", 2, after));
}

TEST_F(Volume, ReleasingARepeatedAddressTakesTheNewestRecord) {
    start(1, 0);
    void *p = VexalMalloc(64, "dup.c", 1);  // record A, index 0
    ASSERT_NE(p, nullptr);
    VexalSet(0, 0);
    VexalFree(p, "dup.c", 2);  // the block goes, record A stays
    VexalSet(1, 0);

    long long mallocCalls = 1;
    // Allocates until the allocator hands out `p` again, tracked.
    const auto trackedAtP = [&] {
        std::vector<void *> misses;
        void *hit = nullptr;
        for (int i = 0; i < 256 && hit == nullptr; ++i) {
            void *q = VexalMalloc(64, "miss.c", 3);
            ++mallocCalls;
            if (q == p) {
                hit = q;
            } else {
                misses.push_back(q);
            }
        }
        for (void *q : misses) VexalFree(q, "miss.c", 4);
        return hit != nullptr;
    };
    const auto records = [] {
        std::vector<std::pair<unsigned long long, void *>> all;
        for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) {
            all.emplace_back(r->index, r->address);
        }
        VexalGetListEntry(2);
        return all;
    };
    using Records = std::vector<std::pair<unsigned long long, void *>>;

    if (!trackedAtP()) {
        GTEST_SKIP() << "the allocator does not reuse addresses soon enough";
    }
    EXPECT_EQ(records(), (Records{{0, p}, {VexalGetIndex() - 1, p}}));
    VexalFree(p, "dup.c", 5);  // takes the newer record
    EXPECT_EQ(records(), (Records{{0, p}}));

    if (!trackedAtP()) {
        GTEST_SKIP() << "the allocator does not reuse addresses soon enough";
    }
    void *moved = VexalRealloc(p, 0, 200, "dup.c", 6);  // takes the newer record
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(records(), (Records{{0, p}, {VexalGetIndex() - 1, moved}}));
    VexalFree(moved, "dup.c", 7);
    EXPECT_EQ(records(), (Records{{0, p}}));

    VexalShowStatus("dup.c", 8);
    Status s;
    s.rows[VXL_MALLOC] = {mallocCalls, 64};
    s.rows[VXL_REALLOC] = {1, 0};
    s.internalUse = kAnchorsUse + recordUse("dup.c");
    EXPECT_EQ(finish(), statusReport("dup.c", 8, s));
}

}  // namespace
