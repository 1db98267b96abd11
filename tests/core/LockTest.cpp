// SPDX-License-Identifier: MIT
// The library's own lock parts, on every build: the wait for an atomic word
// that its locks sleep in, and the Windows build's re-entrant lock (re-entry
// for the owner, release by another thread, also racing the re-entry).
#include "AtomicWait.h"
#include "ReentrantLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using vexal::ReentrantLock;

// Two threads handing a turn back and forth through one word: each waits
// for its turn and wakes the other, so a single lost wake-up leaves both
// asleep for good. On a loaded machine a round can take milliseconds: the
// rounds stop after a while, and only a round that never ends fails.
TEST(AtomicWait, EveryWakeUpReachesItsWaiter)
{
    using namespace std::chrono_literals;
    constexpr long kRounds = 100000;
    constexpr auto kPlayTime = 20s;
    constexpr auto kStall = 10s;  // no round takes this long but by a lost wake-up
    std::atomic<int> turn{0};
    std::atomic<long> rounds{0};
    std::atomic<bool> over{false};  // set by player 0 on its turn, seen by player 1 on its own
    const auto until = std::chrono::steady_clock::now() + kPlayTime;
    const auto play = [&](int mine) {
        for (;;) {
            while (turn.load() != mine)
                vexal::waitWhile(turn, 1 - mine);
            if (over.load())
                return;
            if (mine == 0 && (rounds.fetch_add(1) + 1 >= kRounds || std::chrono::steady_clock::now() >= until))
                over.store(true);
            turn.store(1 - mine);
            vexal::wakeOne(turn);
            if (over.load())
                return;
        }
    };
    std::promise<void> finished;
    std::thread run([&] {
        std::thread other(play, 1);
        play(0);
        other.join();
        finished.set_value();
    });
    std::future<void> done = finished.get_future();
    long seen = -1;
    while (done.wait_for(kStall) != std::future_status::ready) {
        const long now = rounds.load();
        if (now == seen) {
            run.detach();
            FAIL() << "a waiter was never woken: no round for " << kStall.count() << " s after round " << now;
        }
        seen = now;
    }
    run.join();
    EXPECT_GT(rounds.load(), 0);
}

// Whether a thread other than the caller could take the lock now.
bool freeForOthers(ReentrantLock &lock)
{
    bool got = false;
    std::thread([&] {
        got = lock.tryLock();
        if (got)
            lock.unlock();
    }).join();
    return got;
}

TEST(ReentrantLock, OwnerTakesItAgainAndEachTakingNeedsItsOwnRelease)
{
    ReentrantLock lock;
    lock.lock();
    ASSERT_TRUE(lock.tryLock());
    EXPECT_FALSE(freeForOthers(lock));
    lock.unlock();
    EXPECT_FALSE(freeForOthers(lock));
    lock.unlock();
    EXPECT_TRUE(freeForOthers(lock));
}

TEST(ReentrantLock, AnotherThreadMayGiveBackTheOwnersLastTaking)
{
    ReentrantLock lock;
    lock.lock();
    std::thread([&] { lock.unlock(); }).join();
    EXPECT_TRUE(freeForOthers(lock));
    // The former owner takes it anew, as anybody would.
    lock.lock();
    EXPECT_FALSE(freeForOthers(lock));
    lock.unlock();
}

// The monitor's hold: the owner takes it and may try to take it again while
// another thread gives it back. Whatever the interleaving, the count of
// takings and releases stays exact and the lock stays exclusive.
TEST(ReentrantLock, ReleaseByAnotherThreadRacingTheOwnersReentryKeepsTheCount)
{
    ReentrantLock lock;
    std::atomic<bool> held{false};
    std::atomic<bool> done{false};
    long inside = 0;  // changed only under the lock

    std::thread releaser([&] {
        while (!done.load()) {
            bool expected = true;
            if (held.compare_exchange_strong(expected, false))
                lock.unlock();
        }
    });
    std::thread contender([&] {
        while (!done.load()) {
            lock.lock();
            ++inside;
            EXPECT_EQ(inside, 1) << "two threads inside";
            --inside;
            lock.unlock();
        }
    });
    for (int round = 0; round < 5000; ++round) {
        lock.lock();
        ++inside;
        EXPECT_EQ(inside, 1) << "two threads inside";
        --inside;
        held.store(true);  // from now on the releaser may give it back
        lock.lock();       // re-entry, or a fresh taking if the releaser was first
        lock.unlock();
        bool expected = true;
        if (held.compare_exchange_strong(expected, false))
            lock.unlock();  // the releaser did not get to it
        std::this_thread::yield();  // a chance for the contender
    }
    done.store(true);
    releaser.join();
    contender.join();
    EXPECT_TRUE(freeForOthers(lock));
}

} // namespace
