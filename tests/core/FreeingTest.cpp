// SPDX-License-Identifier: MIT
// Selective freeing with VexalFreeThese/VexalFreeAll, and the record queries.
#include "VexalTestSupport.h"

#if !defined(_WIN32)
#include <sys/mman.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using namespace vxltest;

namespace {

struct Made {
    void *address;
    int size;
    int line;
    const char *file;
};

class Freeing : public VexalSession {
protected:
    // Ten records with indexes 0 to 9, sizes 10 to 100, lines 100 to 109,
    // alternating between two files.
    void makeTen() {
        made.clear();
        for (int i = 0; i < 10; ++i) {
            const char *file = (i % 2 == 0) ? "src/a.c" : "src/b.c";
            const int size = (i + 1) * 10;
            made.push_back({VexalMalloc(static_cast<size_t>(size), file, 100 + i), size, 100 + i, file});
        }
    }

    // Indexes of the records still in the list, oldest first.
    static std::vector<unsigned long long> liveIndexes() {
        std::vector<unsigned long long> indexes;
        for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) {
            indexes.push_back(r->index);
        }
        VexalGetListEntry(2);
        return indexes;
    }

    // Frees with the given filter, expects exactly `chosen` of the ten to go.
    void expectFreed(const std::vector<int> &chosen, const char *file, int lineMin, int lineMax,
                     int sizeMin, int sizeMax, unsigned threadId, int64_t indexMin,
                     int64_t indexMax) {
        const uint64_t base = VexalGetIndex();
        makeTen();
        int64_t sum = 0;
        std::set<unsigned long long> rest;
        for (int i = 0; i < 10; ++i) rest.insert(base + static_cast<unsigned>(i));
        for (int i : chosen) {
            sum += made[static_cast<size_t>(i)].size;
            rest.erase(base + static_cast<unsigned>(i));
        }
        // Index bounds given from 0 up are relative to this batch.
        if (indexMax > 0 && indexMin >= 0) {
            indexMin += static_cast<int64_t>(base);
            indexMax += static_cast<int64_t>(base);
        }
        EXPECT_EQ(VexalFreeThese(file, lineMin, lineMax, sizeMin, sizeMax, threadId, indexMin,
                                 indexMax),
                  sum);
        const std::vector<unsigned long long> live = liveIndexes();
        EXPECT_EQ(std::set<unsigned long long>(live.begin(), live.end()), rest);
        VexalFreeAll();
    }

    std::vector<Made> made;
};

TEST_F(Freeing, IndexRangeFreesJustThatStretchAndFreeAllTheRest) {
    start(1, 0);
    makeTen();
    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 0, 0, 0, 3, 5), 40 + 50 + 60);
    EXPECT_EQ(liveIndexes(), (std::vector<unsigned long long>{0, 1, 2, 6, 7, 8, 9}));
    EXPECT_EQ(VexalFreeAll(), 550 - 150);
    EXPECT_TRUE(liveIndexes().empty());
    VexalShowStatus("fa.c", 1);
    Status s;
    s.rows[VXL_MALLOC] = {10, 0};
    EXPECT_EQ(finish(), statusReport("fa.c", 1, s));
}

TEST_F(Freeing, ReleasesAreLoggedNewestFirstWithTheRecordsOwnCallSite) {
    start(1, 0);
    void *a = VexalMalloc(5, "dir/one.c", 1);
    uint32_t other = 0;
    void *b = nullptr;
    std::thread worker([&] {
        other = currentThreadId();
        b = VexalStrdup("four", "two.c", 2);
    });
    worker.join();
    void *c = VexalCalloc(2, 3, "dir/one.c", 3);
    VexalSet(1, 1);
    EXPECT_EQ(VexalFreeThese("", 0, 0, 0, 0, 0, 0, 0), 5 + 5 + 6);
    const uint32_t me = currentThreadId();
    EXPECT_EQ(finish(), freeLine("dir/one.c", 3, VXL_CALLOC, 6, me, 2, c) +
                            freeLine("two.c", 2, VXL_STRDUP, 5, other, 1, b) +
                            freeLine("dir/one.c", 1, VXL_MALLOC, 5, me, 0, a));
}

TEST_F(Freeing, AnUpperBoundOfZeroOrLessSwitchesItsFilterOff) {
    start(1, 0);
    const std::vector<int> all{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    // Both bounds 0 do not mean "line 0", "size 0" or "index 0".
    expectFreed(all, nullptr, 0, 0, 0, 0, 0, 0, 0);
    expectFreed(all, "", 0, 0, 0, 0, 0, 0, 0);
    // The lower bound alone never filters.
    expectFreed(all, nullptr, 1000, 0, 0, 0, 0, 0, 0);
    expectFreed(all, nullptr, 1000, -5, 0, 0, 0, 0, 0);
    expectFreed(all, nullptr, 0, 0, 500, 0, 0, 0, 0);
    expectFreed(all, nullptr, 0, 0, 500, -1, 0, 0, 0);
    expectFreed(all, nullptr, 0, 0, 0, 0, 0, 8, 0);
    EXPECT_TRUE(liveIndexes().empty());
}

TEST_F(Freeing, RangeFiltersAreInclusiveAndExactWithEqualBounds) {
    start(1, 0);
    expectFreed({2, 3, 4}, nullptr, 102, 104, 0, 0, 0, 0, 0);
    expectFreed({3}, nullptr, 103, 103, 0, 0, 0, 0, 0);
    expectFreed({0, 1}, nullptr, -50, 101, 0, 0, 0, 0, 0);
    expectFreed({4, 5, 6}, nullptr, 0, 0, 50, 70, 0, 0, 0);
    expectFreed({2}, nullptr, 0, 0, 30, 30, 0, 0, 0);
    expectFreed({7}, nullptr, 0, 0, 0, 0, 0, 7, 7);
    expectFreed({0, 1, 2}, nullptr, 0, 0, 0, 0, 0, 0, 2);
    // Every filter at once: file a.c, lines 100-106, sizes 20-70, indexes 1-9.
    expectFreed({2, 4, 6}, "src/a.c", 100, 106, 20, 70, currentThreadId(), 1, 9);
}

TEST_F(Freeing, FiltersThatMatchNothingFreeNothing) {
    start(1, 0);
    // lineMin above lineMax selects no line.
    expectFreed({}, nullptr, 105, 104, 0, 0, 0, 0, 0);
    expectFreed({}, nullptr, 0, 0, 80, 20, 0, 0, 0);
    expectFreed({}, nullptr, 200, 300, 0, 0, 0, 0, 0);
    expectFreed({}, nullptr, 0, 0, 0, 0, currentThreadId() + 1, 0, 0);
#if !defined(_WIN32)  // Windows compares signed
    // Index bounds compare unsigned: a "negative" minimum is above every index.
    expectFreed({}, nullptr, 0, 0, 0, 0, 0, -1, 5);
#endif
    EXPECT_TRUE(liveIndexes().empty());
    EXPECT_EQ(VexalFreeAll(), 0);
    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 0, 0, 0, 0, 0), 0);
}

#if !defined(_WIN32)  // Windows: signed bounds, a negative maximum selects all
TEST_F(Freeing, AllOnesIndexMaximumIsTheLargestIndex) {
    start(1, 0);
    expectFreed({7, 8, 9}, nullptr, 0, 0, 0, 0, 0, 7, -1);
}
#endif

TEST_F(Freeing, FileFilterComparesTheWholeName) {
    start(1, 0);
    expectFreed({0, 2, 4, 6, 8}, "src/a.c", 0, 0, 0, 0, 0, 0, 0);
    expectFreed({1, 3, 5, 7, 9}, "src/b.c", 0, 0, 0, 0, 0, 0, 0);
#if !defined(_WIN32)  // Windows ignores the letter case
    expectFreed({}, "src/A.c", 0, 0, 0, 0, 0, 0, 0);
    expectFreed({}, "SRC/a.c", 0, 0, 0, 0, 0, 0, 0);
#endif
    expectFreed({}, "a.c", 0, 0, 0, 0, 0, 0, 0);
    expectFreed({}, "src/a.c ", 0, 0, 0, 0, 0, 0, 0);
    expectFreed({}, "src/a", 0, 0, 0, 0, 0, 0, 0);
}

TEST_F(Freeing, ThreadFilterSelectsTheAllocatingThread) {
    start(1, 0);
    uint32_t other = 0;
    void *theirs[3] = {};
    std::thread worker([&] {
        other = currentThreadId();
        for (int i = 0; i < 3; ++i) theirs[i] = VexalMalloc(7, "t.c", 1);
    });
    worker.join();
    void *mine = VexalMalloc(11, "t.c", 2);
    ASSERT_NE(other, currentThreadId());

    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 0, 0, other, 0, 0), 21);
    AllocationRecord *r = VexalGetListEntry(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->address, mine);
    EXPECT_EQ(VexalGetListEntry(1), nullptr);
    VexalGetListEntry(2);
    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 0, 0, currentThreadId(), 0, 0), 11);
    EXPECT_TRUE(liveIndexes().empty());
}

TEST_F(Freeing, SelectiveFreeingMovesOnlyStillAllocatedAndInternalUse) {
    start(1, 0);
    void *a = VexalMalloc(10, "s.c", 1);
    void *b = VexalCalloc(4, 5, "s.c", 2);
    VexalFree(nullptr, "s.c", 3);
    VexalFree(std::malloc(1), "s.c", 4);
    EXPECT_EQ(VexalFreeThese("s.c", 2, 2, 0, 0, 0, 0, 0), 20);
    VexalShowStatus("s.c", 5);
    EXPECT_EQ(VexalFreeAll(), 10);
    VexalShowStatus("s.c", 6);
    ASSERT_TRUE(a && b);

    Status one;
    one.rows[VXL_MALLOC] = {1, 10};
    one.rows[VXL_CALLOC] = {1, 0};
    one.internalUse = kAnchorsUse + recordUse("s.c");
    one.freeFailed = 1;
    one.notStored = 1;
    Status none = one;
    none.rows[VXL_MALLOC].still = 0;
    none.internalUse = kAnchorsUse;
    EXPECT_EQ(finish(), statusReport("s.c", 5, one) + statusReport("s.c", 6, none));
}

TEST_F(Freeing, WithTrackingOffBlocksAreStillFreedAndTheirRecordsRemoved) {
    start(1, 0);
    makeTen();
    VexalSet(0, 0);
    // The leak checker of the sanitizer builds verifies the blocks are freed.
    EXPECT_EQ(VexalFreeThese("src/b.c", 0, 0, 0, 0, 0, 0, 0), 20 + 40 + 60 + 80 + 100);
    EXPECT_EQ(liveIndexes(), (std::vector<unsigned long long>{0, 2, 4, 6, 8}));
    EXPECT_EQ(VexalFreeAll(), 10 + 30 + 50 + 70 + 90);
    EXPECT_TRUE(liveIndexes().empty());
    VexalSet(1, 0);
    VexalShowStatus("off.c", 1);
    Status s;
    s.rows[VXL_MALLOC] = {10, 0};
    EXPECT_EQ(finish(), statusReport("off.c", 1, s));
}

TEST_F(Freeing, ListEntryWalksOldestToNewestAndStaysNullPastTheEnd) {
    start(1, 0);
    EXPECT_EQ(VexalGetListEntry(0), nullptr);  // empty list: null, lock held
    EXPECT_EQ(VexalGetListEntry(1), nullptr);
    EXPECT_EQ(VexalGetListEntry(2), nullptr);

    makeTen();
    VexalFree(made[4].address, "w.c", 1);
    std::vector<unsigned long long> indexes;
    AllocationRecord *r = VexalGetListEntry(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(VexalGetListEntry(7), r);  // any other mode: the record at the cursor
    for (; r != nullptr; r = VexalGetListEntry(1)) {
        const Made &m = made[r->index];
        EXPECT_EQ(r->address, m.address);
        EXPECT_EQ(r->size, static_cast<uint32_t>(m.size));
        EXPECT_EQ(r->line, m.line);
        EXPECT_STREQ(r->file, m.file);
        EXPECT_EQ(r->type, VXL_MALLOC);
        EXPECT_EQ(r->threadId, currentThreadId());
        indexes.push_back(r->index);
    }
    EXPECT_EQ(VexalGetListEntry(1), nullptr);
    EXPECT_EQ(VexalGetListEntry(1), nullptr);
    EXPECT_EQ(VexalGetListEntry(-1), nullptr);
    EXPECT_EQ(VexalGetListEntry(2), nullptr);
    EXPECT_EQ(indexes, (std::vector<unsigned long long>{0, 1, 2, 3, 5, 6, 7, 8, 9}));

    // The lock is free again: tracked calls go on.
    void *p = VexalMalloc(1, "w.c", 2);
    EXPECT_EQ(VexalFreeAll(), 550 - 50 + 1);
    EXPECT_NE(p, nullptr);
}

TEST_F(Freeing, ListWalkIsASnapshotThatHoldsOffOtherThreads) {
    start(1, 0);
    makeTen();
    std::atomic<bool> started{false};
    void *late = nullptr;
    ASSERT_NE(VexalGetListEntry(0), nullptr);
    std::thread worker([&] {
        started = true;
        late = VexalMalloc(3, "late.c", 1);
    });
    while (!started) std::this_thread::yield();
    int count = 1;
    while (VexalGetListEntry(1) != nullptr) ++count;
    EXPECT_EQ(count, 10);
    VexalGetListEntry(2);
    worker.join();
    AllocationRecord *r = VexalGetListEntry(0);
    AllocationRecord *last = r;
    while ((r = VexalGetListEntry(1)) != nullptr) last = r;
    VexalGetListEntry(2);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->address, late);
    EXPECT_EQ(last->index, 10u);
    EXPECT_EQ(VexalFreeAll(), 553);
}

TEST_F(Freeing, IndexCountsSuccessfulTrackedAllocationsOnly) {
    start(1, 0);
    EXPECT_EQ(VexalGetIndex(), 0u);
    void *a = VexalMalloc(8, "i.c", 1);
    void *b = VexalCalloc(2, 2, "i.c", 2);
    VexalFree(a, "i.c", 3);
    void *c = VexalRealloc(b, 0, 40, "i.c", 4);
    EXPECT_EQ(VexalGetIndex(), 3u);
    volatile size_t huge = SIZE_MAX / 2;
    EXPECT_EQ(VexalMalloc(huge, "i.c", 5), nullptr);
    EXPECT_EQ(VexalRealloc(c, 0, huge, "i.c", 6), nullptr);
    EXPECT_EQ(VexalRealloc(c, 0, 0, "i.c", 7), nullptr);
    VexalSet(0, 0);
    void *untracked = keep(VexalMalloc(8, "i.c", 8));
    VexalSet(1, 0);
    EXPECT_NE(untracked, nullptr);
    EXPECT_EQ(VexalGetIndex(), 3u);
    void *d = VexalStrdup("z", "i.c", 9);
    EXPECT_EQ(VexalGetIndex(), 4u);
    AllocationRecord *r = VexalGetListEntry(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->index, 3u);
    VexalGetListEntry(2);
    VexalFree(d, "i.c", 10);
}

TEST_F(Freeing, FinishThenInitStartsAFreshSession) {
    start();
    makeTen();
    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 0, 0, 0, 0, 4), 150);
    VexalFree(nullptr, "r.c", 1);
    for (size_t i = 5; i < 10; ++i) keep(made[i].address);
    const std::string firstRun = finish();
    EXPECT_FALSE(firstRun.empty());

    start(1, 0);
    EXPECT_EQ(VexalGetIndex(), 0u);
    EXPECT_EQ(VexalGetListEntry(0), nullptr);
    VexalGetListEntry(2);
    EXPECT_EQ(VexalFreeAll(), 0);
    VexalShowStatus("r.c", 2);
    void *p = VexalMalloc(9, "r.c", 3);
    AllocationRecord *r = VexalGetListEntry(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->index, 0u);
    VexalGetListEntry(2);
    VexalFree(p, "r.c", 4);
    EXPECT_EQ(finish(), statusReport("r.c", 2, Status{}));
}

#if !defined(_WIN32)  // thread ids are 32-bit on Windows, and unique
// Two threads whose stacks lie exactly 4 GiB apart have thread handles that
// differ only above the low 32 bits, so they share a 32-bit thread id.
class TwinThreads {
public:
    static constexpr size_t kStack = 1u << 20;
    static constexpr size_t kApart = size_t{1} << 32;

    TwinThreads() {
        void *area = mmap(nullptr, kApart + kStack, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (area == MAP_FAILED) return;
        area_ = static_cast<char *>(area);
        ok_ = mprotect(area_, kStack, PROT_READ | PROT_WRITE) == 0 &&
              mprotect(area_ + kApart, kStack, PROT_READ | PROT_WRITE) == 0;
    }
    ~TwinThreads() {
        if (area_ != nullptr) munmap(area_, kApart + kStack);
    }
    bool ok() const { return ok_; }

    // Runs f on a thread whose stack is the first or the second window.
    bool start(int which, pthread_t &thread, void *(*f)(void *), void *arg) {
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstack(&attr, area_ + (which == 0 ? 0 : kApart), kStack);
        const bool started = pthread_create(&thread, &attr, f, arg) == 0;
        pthread_attr_destroy(&attr);
        return started;
    }

private:
    char *area_ = nullptr;
    bool ok_ = false;
};

struct WalkRace {
    std::mutex mutex;
    std::condition_variable changed;
    bool firstWalking = false;
    bool secondStarted = false;
    bool secondGotIn = false;
    bool secondGotInDuringWalk = false;
    uint32_t ids[2] = {};

    template <typename Pred> void waitFor(Pred pred) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, pred);
    }
    void set(bool &flag) {
        std::lock_guard<std::mutex> lock(mutex);
        flag = true;
        changed.notify_all();
    }
};

void *firstWalker(void *arg) {
    auto &race = *static_cast<WalkRace *>(arg);
    race.ids[0] = currentThreadId();
    VexalGetListEntry(0);
    race.set(race.firstWalking);
    race.waitFor([&] { return race.secondStarted; });
    {
        // The second thread must not get in while this walk holds the lock;
        // give it ample time to show that it would.
        std::unique_lock<std::mutex> lock(race.mutex);
        race.changed.wait_for(lock, std::chrono::milliseconds(500), [&] { return race.secondGotIn; });
        race.secondGotInDuringWalk = race.secondGotIn;
    }
    VexalGetListEntry(2);
    return nullptr;
}

void *secondWalker(void *arg) {
    auto &race = *static_cast<WalkRace *>(arg);
    race.ids[1] = currentThreadId();
    race.waitFor([&] { return race.firstWalking; });
    race.set(race.secondStarted);
    VexalGetListEntry(0);
    race.set(race.secondGotIn);
    VexalGetListEntry(2);
    return nullptr;
}

TEST_F(Freeing, ListWalkHoldsOffAThreadWithTheSameShortThreadId) {
    start(1, 0);
    makeTen();
    TwinThreads twins;
    if (!twins.ok()) GTEST_SKIP() << "cannot place thread stacks 4 GiB apart";
    WalkRace race;
    pthread_t first{};
    pthread_t second{};
    ASSERT_TRUE(twins.start(0, first, firstWalker, &race));
    ASSERT_TRUE(twins.start(1, second, secondWalker, &race));
    pthread_join(first, nullptr);
    pthread_join(second, nullptr);
    if (race.ids[0] != race.ids[1]) GTEST_SKIP() << "thread handles do not follow their stacks";
    EXPECT_FALSE(race.secondGotInDuringWalk);
    // The lock is free again.
    EXPECT_EQ(VexalFreeAll(), 550);
}
#endif

}  // namespace
