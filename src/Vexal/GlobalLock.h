// SPDX-License-Identifier: MIT
// The library's global lock. Unlike a pthread mutex it has no owner: the
// thread that gives it back need not be the one that took it, which the
// monitor connection relies on (taken by the receiver, possibly released on
// its behalf when the connection ends). Not recursive.
//
// Free, it is taken with one atomic operation and given back with one (with
// none while the process has a single thread), and a thread may take it
// again as soon as it gave it back: that keeps a few threads calling
// tracked functions fast, and one of them running through many calls in a
// row is what a shared processor is best at. A waiter that
// has waited longer than kPatience asks for the next hand-over: the lock
// then passes straight to it when it is given back, without becoming free,
// so a thread that releases and re-takes it in a loop cannot starve it. Only
// one waiter asks at a time; the others ask after it, so every waiter gets
// the lock after at most one hand-over per thread ahead of it once its
// patience has run out.
#pragma once

#include "AtomicWait.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
#include <sys/single_threaded.h>
#define VEXAL_HAVE_SINGLE_THREADED 1
#endif

namespace vexal {

class GlobalLock {
public:
    void lock() noexcept
    {
        if (aloneInProcess() && state_.load(std::memory_order_relaxed) == 0) {
            state_.store(kLocked, std::memory_order_relaxed);
            return;
        }
        std::uint32_t state = 0;
        if (!state_.compare_exchange_strong(state, kLocked, std::memory_order_acquire, std::memory_order_relaxed))
            lockSlowly();
    }

    bool tryLock() noexcept
    {
        std::uint32_t state = 0;
        return state_.compare_exchange_strong(state, kLocked, std::memory_order_acquire, std::memory_order_relaxed);
    }

    void unlock() noexcept
    {
        std::uint32_t state = state_.load(std::memory_order_relaxed);
        if (state == kLocked && aloneInProcess()) {
            state_.store(0, std::memory_order_relaxed);
            return;
        }
        for (;;) {
            if ((state & kAsked) != 0) {
                // Handed over: it stays locked, now for the waiter that asked.
                if (state_.compare_exchange_weak(state, (state & ~kAsked) | kGranted, std::memory_order_release,
                                                 std::memory_order_relaxed)) {
                    wakeAll(state_);  // the asker sleeps among the others
                    return;
                }
            } else if (state_.compare_exchange_weak(state, 0, std::memory_order_release, std::memory_order_relaxed)) {
                if ((state & kSleepers) != 0)
                    wakeOne(state_);
                return;
            }
        }
    }

    // The counterparts of ReentrantLock's: this lock has one level at most.
    std::uint32_t unlockAll() noexcept
    {
        unlock();
        return 1;
    }
    void relock(std::uint32_t levels) noexcept
    {
        if (levels != 0)
            lock();
    }

    // In the child of a fork() only the forking thread exists: the lock is
    // set up afresh, held (by that thread) or free, with no waiter recorded.
    void renewInChild(bool held) noexcept { state_.store(held ? kLocked : 0, std::memory_order_relaxed); }

    // Whether a waiter out of patience waits for the next hand-over; lets
    // tests start a race at the moment that counts.
    bool handOverAsked() const noexcept { return (state_.load(std::memory_order_relaxed) & kAsked) != 0; }

private:
    // Whether this is the process's only thread: then nothing can take the
    // lock meanwhile, and plain loads and stores do instead of atomic
    // read-modify-writes, which are half of what a tracked call costs
    // beyond the C library's own work. glibc keeps the answer: true until
    // the process makes its second thread, which also publishes what this
    // thread wrote before. Threads made with clone() alone go unnoticed, as
    // by glibc's own allocator. Elsewhere: never.
    static bool aloneInProcess() noexcept
    {
#if defined(VEXAL_HAVE_SINGLE_THREADED)
        return __libc_single_threaded != 0;
#else
        return false;
#endif
    }

    static constexpr std::uint32_t kLocked = 1;
    static constexpr std::uint32_t kSleepers = 2;  // a waiter may sleep: giving back wakes one
    static constexpr std::uint32_t kAsked = 4;     // a waiter asked for the next hand-over (locked)
    static constexpr std::uint32_t kGranted = 8;   // handed over, not yet taken up (locked)
    static constexpr int kSpins = 128;
    // Far longer than the lock is held for a tracked call, and than the
    // waits of a few threads calling tracked functions at once.
    static constexpr auto kPatience = std::chrono::microseconds(200);

    // Takes the lock if it is free. A waiter that slept leaves kSleepers set:
    // others may still sleep, and the next release must wake one.
    bool grab(bool slept) noexcept
    {
        std::uint32_t state = state_.load(std::memory_order_relaxed);
        return (state & kLocked) == 0 &&
               state_.compare_exchange_strong(state, kLocked | (slept ? kSleepers : 0), std::memory_order_acquire,
                                              std::memory_order_relaxed);
    }

    void lockSlowly() noexcept
    {
        // A short spin first: the lock is usually held for a few hundred
        // nanoseconds, far less than a sleep and wake-up costs.
        for (int i = 0; i < kSpins; ++i) {
            if (grab(false))
                return;
        }
        // Then leave the processor to others, the holder perhaps among them.
        const auto until = std::chrono::steady_clock::now() + kPatience;
        do {
            std::this_thread::yield();
            if (grab(false))
                return;
        } while (std::chrono::steady_clock::now() < until);
        // Out of patience: ask for the next hand-over, or sleep until it can
        // be asked for.
        bool slept = false;
        for (;;) {
            std::uint32_t state = state_.load(std::memory_order_relaxed);
            if ((state & kLocked) == 0) {
                if (grab(slept))
                    return;
                continue;
            }
            if ((state & (kAsked | kGranted)) == 0) {
                if (state_.compare_exchange_weak(state, state | kAsked, std::memory_order_relaxed))
                    return awaitHandOver();
                continue;
            }
            if ((state & kSleepers) == 0 &&
                !state_.compare_exchange_weak(state, state | kSleepers, std::memory_order_relaxed))
                continue;
            waitWhile(state_, state | kSleepers);
            slept = true;
        }
    }

    void awaitHandOver() noexcept
    {
        for (;;) {
            std::uint32_t state = state_.load(std::memory_order_acquire);
            if ((state & kGranted) != 0) {
                if (state_.compare_exchange_weak(state, state & ~kGranted, std::memory_order_acquire,
                                                 std::memory_order_relaxed))
                    return;
                continue;
            }
            waitWhile(state_, state);
        }
    }

    std::atomic<std::uint32_t> state_{0};
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
