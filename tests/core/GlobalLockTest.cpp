// SPDX-License-Identifier: MIT
// The global lock: a waiter is served in turn, however eagerly the holder
// takes it again, and a thread other than the taker may give it back.
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

} // namespace
} // namespace vexal
