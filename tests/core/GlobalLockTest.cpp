// SPDX-License-Identifier: MIT
// The global lock: a waiter is served in turn, however eagerly the holder
// takes it again, a thread other than the taker may give it back, and a
// taking while the process had one thread holds against the next.
#include "GlobalLock.h"
#include "ReentrantLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vexal {
namespace {

// How often a thread that releases and re-takes the lock in a loop got it
// while a waiter had asked for its turn. The loop gives up after ten
// seconds, so a waiter that is never served fails rather than hangs.
template <typename Lock>
long holdsWhileAWaiterAsked(Lock &lock)
{
    std::atomic<long> holds{0};
    std::atomic<bool> looping{false};
    std::atomic<bool> waiterServed{false};
    std::thread looper([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        lock.lock();
        looping.store(true);
        while (!waiterServed.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < giveUp) {
            if (lock.handOverAsked())
                holds.fetch_add(1, std::memory_order_relaxed);
            lock.unlock();
            lock.lock();
        }
        lock.unlock();
    });
    while (!looping.load())
        std::this_thread::yield();
    lock.lock();
    waiterServed.store(true);
    lock.unlock();
    looper.join();
    return holds.load();
}

// Once asked, the waiter gets the lock when the hold under way ends.
template <typename Lock>
void expectAWaiterServedInTurn()
{
    Lock lock;
    for (int i = 0; i < 5; ++i)
        EXPECT_LE(holdsWhileAWaiterAsked(lock), 1) << "round " << i;
    EXPECT_TRUE(lock.tryLock()) << "left held";
}

TEST(GlobalLock, AWaiterIsServedBeforeAThreadThatKeepsRetakingIt)
{
    expectAWaiterServedInTurn<GlobalLock>();
    // The Windows build's lock layers re-entry over it and must stay fair.
    expectAWaiterServedInTurn<ReentrantLock>();
}

TEST(GlobalLock, AnotherThreadMayGiveItBack)
{
    GlobalLock lock;
    lock.lock();
    std::thread([&] { lock.unlock(); }).join();
    EXPECT_TRUE(lock.tryLock());
    EXPECT_FALSE(lock.tryLock());
    lock.unlock();
}

TEST(GlobalLock, TakenBeforeASecondThreadExistsItStillKeepsThatThreadOut)
{
    // Run alone (ctest runs each test in a process of its own), the lock is
    // taken while this is the only thread, the way that needs no atomic
    // instruction; the thread started then must still wait for it.
    GlobalLock lock;
    lock.lock();
    std::atomic<bool> taken{false};
    std::thread other([&] {
        lock.lock();
        taken.store(true);
        lock.unlock();
    });
    // Out of patience, the waiter asks for its turn: by then it has waited.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!lock.handOverAsked() && !taken.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_FALSE(taken.load()) << "the other thread took a held lock";
    EXPECT_TRUE(lock.handOverAsked()) << "the other thread never asked in 10 s";
    lock.unlock();
    other.join();
    EXPECT_TRUE(taken.load());
    EXPECT_TRUE(lock.tryLock()) << "left held";
    lock.unlock();
}

} // namespace
} // namespace vexal
