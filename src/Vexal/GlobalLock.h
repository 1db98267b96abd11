// SPDX-License-Identifier: MIT
// The library's global lock. Unlike a pthread mutex it has no owner: the
// thread that gives it back need not be the one that took it, which the
// monitor connection relies on (taken by the receiver, possibly released by
// the sender after a failed write). Not recursive.
#pragma once

#include "AtomicWait.h"

#include <atomic>

namespace vexal {

class GlobalLock {
public:
    void lock() noexcept
    {
        int state = kFree;
        if (state_.compare_exchange_strong(state, kLocked, std::memory_order_acquire))
            return;
        lockContended(state);
    }

    bool tryLock() noexcept
    {
        int state = kFree;
        return state_.compare_exchange_strong(state, kLocked, std::memory_order_acquire);
    }

    void unlock() noexcept
    {
        if (state_.exchange(kFree, std::memory_order_release) == kContended)
            wakeOne(state_);
    }

private:
    static constexpr int kFree = 0;
    static constexpr int kLocked = 1;     // held, nobody waits
    static constexpr int kContended = 2;  // held, waiters may sleep
    static constexpr int kSpins = 64;

    void lockContended(int state) noexcept
    {
        // A short spin first: the lock is usually held for a few hundred
        // nanoseconds, far less than a sleep and wake-up costs.
        for (int i = 0; i < kSpins; ++i) {
            state = kFree;
            if (state_.load(std::memory_order_relaxed) == kFree &&
                state_.compare_exchange_weak(state, kLocked, std::memory_order_acquire))
                return;
        }
        state = state_.exchange(kContended, std::memory_order_acquire);
        while (state != kFree) {
            waitWhile(state_, kContended);
            state = state_.exchange(kContended, std::memory_order_acquire);
        }
    }

    std::atomic<int> state_{kFree};
};

// Scope guard for the common case of taking and giving back in one function.
// A template so that it serves the Windows build's re-entrant lock as well.
template <typename Lock = GlobalLock>
class LockGuard {
public:
    explicit LockGuard(Lock &lock) noexcept : lock_(lock) { lock_.lock(); }
    ~LockGuard() { lock_.unlock(); }
    LockGuard(const LockGuard &) = delete;
    LockGuard &operator=(const LockGuard &) = delete;

private:
    Lock &lock_;
};

} // namespace vexal
