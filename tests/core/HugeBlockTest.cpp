// SPDX-License-Identifier: MIT
// Blocks of 4 GiB or more keep their exact size everywhere but in the public
// record's 32-bit field. This program is linked with malloc and calloc
// wrapped: a request of 4 GiB or more gets a small real block, so that the
// library records a huge block without the memory for one.
#include "CommTestSupport.h"
#include "VexalTestSupport.h"

#include <climits>

extern "C" void *__real_malloc(size_t size);
extern "C" void *__real_calloc(size_t count, size_t size);

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;
constexpr size_t kStandIn = 64;  // what a huge request really gets

bool huge(uint64_t size) { return size >= kFourGiB; }

}  // namespace

extern "C" void *__wrap_malloc(size_t size) { return __real_malloc(huge(size) ? kStandIn : size); }
extern "C" void *__wrap_calloc(size_t count, size_t size) {
    return huge(static_cast<uint64_t>(count) * size) ? __real_calloc(1, kStandIn) : __real_calloc(count, size);
}

namespace {

using namespace vxltest;

constexpr uint64_t kHuge = kFourGiB + 16;

class HugeBlock : public VexalSession {};

TEST_F(HugeBlock, ReportsAndSelectiveFreeingUseTheExactSize) {
    start(1, 0);
    void *big = VexalMalloc(kHuge, "big.c", 1);
    void *zeroed = VexalCalloc(2, kHuge / 2, "big.c", 2);
    void *small = VexalMalloc(100, "small.c", 3);
    ASSERT_NE(big, nullptr);
    ASSERT_NE(zeroed, nullptr);
    ASSERT_NE(small, nullptr);

    // The public field holds the largest value it can.
    std::vector<uint32_t> sizes;
    for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) sizes.push_back(r->size);
    VexalGetListEntry(2);
    EXPECT_EQ(sizes, (std::vector<uint32_t>{UINT32_MAX, UINT32_MAX, 100}));

    VexalShowStatus("huge.c", 4);
    VexalShowList("huge.c", 5);
    // A size filter's bounds are ints: no huge block passes one.
    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 1, INT_MAX, 0, 0, 0), 100);
    EXPECT_EQ(VexalFreeAll(), static_cast<int64_t>(2 * kHuge));
    VexalShowStatus("huge.c", 6);

    Status before;
    before.rows[VXL_MALLOC] = {2, static_cast<long long>(kHuge) + 100};
    before.rows[VXL_CALLOC] = {1, static_cast<long long>(kHuge)};
    before.internalUse += 2 * recordUse("big.c") + recordUse("small.c");
    Status after;
    after.rows[VXL_MALLOC] = {2, 0};
    after.rows[VXL_CALLOC] = {1, 0};
    const uint32_t me = currentThreadId();
    EXPECT_EQ(finish(), statusReport("huge.c", 4, before) +
                            listReport("huge.c", 5,
                                       {{"big.c", 1, VXL_MALLOC, static_cast<long long>(kHuge), me, 0, big},
                                        {"big.c", 2, VXL_CALLOC, static_cast<long long>(kHuge), me, 1, zeroed},
                                        {"small.c", 3, VXL_MALLOC, 100, me, 2, small}}) +
                            statusReport("huge.c", 6, after));
}

TEST_F(HugeBlock, ReallocToAndFromAHugeSizeMovesTheExactBytes) {
    start(1, 0);
    void *block = VexalMalloc(kHuge, "grow.c", 1);
    ASSERT_NE(block, nullptr);
    void *moved = VexalRealloc(block, 0, 200, "grow.c", 2);  // the record of kHuge bytes goes
    ASSERT_NE(moved, nullptr);
    VexalShowStatus("grow.c", 3);
    VexalFree(moved, "grow.c", 4);

    Status s;
    s.rows[VXL_MALLOC] = {1, 0};
    s.rows[VXL_REALLOC] = {1, 200};
    s.internalUse += recordUse("grow.c");
    EXPECT_EQ(finish(), statusReport("grow.c", 3, s));
}

class HugeBlockOnTheWire : public vxlcomm::CommSession {};

TEST_F(HugeBlockOnTheWire, ListRecordAndStatusCarryTheExactSize) {
    ASSERT_NO_FATAL_FAILURE(start());
    void *big = keep(VexalMalloc(kHuge, "wire.c", 7));
    ASSERT_NE(big, nullptr);
    vxlcomm::Status expected;
    expected.allocated(VXL_MALLOC, static_cast<long long>(kHuge), "wire.c");
    EXPECT_EQ(ask(2).fields, (std::vector<std::string>{"2", "1"}));
    EXPECT_EQ(ask(3).fields, vxlcomm::recordFields(VXL_MALLOC, static_cast<long long>(kHuge), 7, big, "wire.c", 0,
                                                   vxlcomm::threadIdText()));
    EXPECT_EQ(ask(4).fields, expected.fields(4));
}

}  // namespace
