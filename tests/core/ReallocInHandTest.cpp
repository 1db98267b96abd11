// SPDX-License-Identifier: MIT
// A realloc between its two turns with the library's lock: its block is in
// its hands, and no other thread may free it; and a realloc that fails.
// This program is linked with realloc wrapped, so that a realloc can be
// held inside the platform call or fail there.
#include "VexalTestSupport.h"

#include <condition_variable>
#include <future>
#include <mutex>

using namespace vxltest;

extern "C" void *__real_realloc(void *ptr, size_t size);

namespace {

// While `hold` is set, a realloc waits inside the platform call until it is
// cleared; `entered` tells the test it is there.
std::mutex gate;
std::condition_variable changed;
bool hold = false;
bool entered = false;
bool failNext = false;  // the next realloc fails, as out of memory

}  // namespace

extern "C" void *__wrap_realloc(void *ptr, size_t size) {
    std::unique_lock lock(gate);
    if (hold) {
        entered = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [] { return !hold; });
    }
    if (failNext) {
        failNext = false;
        return nullptr;
    }
    lock.unlock();
    return __real_realloc(ptr, size);
}

namespace {

using ReallocInHand = VexalSession;

TEST_F(ReallocInHand, FreeAllLeavesTheBlockToTheRealloc) {
    start(1, 0);
    // Large enough that the realloc's platform call is made outside the
    // lock (a small block's is made under it, and nothing can meet it).
    void *block = VexalMalloc(8192, "hand.c", 1);
    ASSERT_NE(block, nullptr);
    {
        std::lock_guard lock(gate);
        hold = true;
        entered = false;
    }
    auto grown = std::async(std::launch::async, [block] { return VexalRealloc(block, 0, 16384, "hand.c", 2); });
    {
        std::unique_lock lock(gate);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [] { return entered; }));
    }
    EXPECT_EQ(VexalFreeAll(), 0);  // the old block is the realloc's to free
    {
        std::lock_guard lock(gate);
        hold = false;
    }
    changed.notify_all();
    ASSERT_EQ(grown.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    void *moved = grown.get();
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(VexalFreeAll(), 16384);  // and the new block is recorded
    finish();
}

TEST_F(ReallocInHand, AFailedReallocOfASmallBlockKeepsItAndItsRecord) {
    start(1, 0);
    void *block = VexalMalloc(32, "hand.c", 1);
    ASSERT_NE(block, nullptr);
    {
        std::lock_guard lock(gate);
        failNext = true;
    }
    EXPECT_EQ(VexalRealloc(block, 0, 64, "hand.c", 2), nullptr);
    const AllocationRecord *rec = VexalGetListEntry(0);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->address, block);
    EXPECT_EQ(rec->size, 32u);
    EXPECT_EQ(rec->line, 1);
    VexalGetListEntry(2);
    EXPECT_EQ(VexalGetIndex(), 1u);  // the failed call made no record
    EXPECT_EQ(VexalFreeAll(), 32);
    finish();
}

}  // namespace
