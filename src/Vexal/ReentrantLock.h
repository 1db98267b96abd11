// SPDX-License-Identifier: MIT
// The Windows build's global lock: GlobalLock with re-entry for its owner on
// top. The thread that holds it may take it again (a thread walking the
// records with VexalGetListEntry may call a wrapper); each taking needs its
// own release, and other threads wait until the last one.
//
// Any thread may still give the lock back, as GlobalLock allows on POSIX:
// the lock has no owner there, and nothing in the library may rely on one
// here. That stays sound because the owner and its depth live in one atomic
// word. The owner re-enters only by raising the depth of a word that still
// names it, and a release only lowers the depth, or clears the word at depth
// 1 before the inner lock is given back. So when the owner's re-entry races
// with another thread's release of its last level, either the re-entry comes
// first (the owner keeps the lock one level deeper, the release takes that
// level away again) or the release does (the word no longer names the owner,
// which then waits for the inner lock like any thread). The count of takings
// minus releases is exact either way.
#pragma once

#include "GlobalLock.h"

#include <atomic>
#include <cstdint>

namespace vexal {

class ReentrantLock {
public:
    void lock() noexcept
    {
        if (reenter())
            return;
        inner_.lock();
        word_.store(pack(self(), 1), std::memory_order_relaxed);
    }

    bool tryLock() noexcept
    {
        if (reenter())
            return true;
        if (!inner_.tryLock())
            return false;
        word_.store(pack(self(), 1), std::memory_order_relaxed);
        return true;
    }

    void unlock() noexcept
    {
        std::uint64_t word = word_.load(std::memory_order_relaxed);
        for (;;) {
            const std::uint64_t depth = word & kDepthMask;
            // Release and acquire: whoever gives back the last level, perhaps
            // not the owner, must pass on everything done under every level.
            if (depth > 1) {
                if (word_.compare_exchange_weak(word, word - 1, std::memory_order_acq_rel,
                                                std::memory_order_relaxed))
                    return;
                continue;
            }
            if (word_.compare_exchange_weak(word, 0, std::memory_order_acq_rel, std::memory_order_relaxed)) {
                inner_.unlock();
                return;
            }
        }
    }

    // Gives back every level the calling thread holds, for a wait during
    // which other threads must get in (a report call inside a records walk
    // waiting for the monitor's fetch); returns how many. 0 when the
    // calling thread holds none.
    std::uint32_t unlockAll() noexcept
    {
        std::uint64_t word = word_.load(std::memory_order_relaxed);
        while ((word >> 32) == self()) {
            if (word_.compare_exchange_weak(word, 0, std::memory_order_acq_rel, std::memory_order_relaxed)) {
                inner_.unlock();
                return static_cast<std::uint32_t>(word & kDepthMask);
            }
        }
        return 0;
    }

    // Takes the lock back with `levels` levels after unlockAll().
    void relock(std::uint32_t levels) noexcept
    {
        if (levels == 0)
            return;
        inner_.lock();
        word_.store(pack(self(), levels), std::memory_order_relaxed);
    }

    // As GlobalLock's, for tests.
    bool handOverAsked() const noexcept { return inner_.handOverAsked(); }

private:
    static constexpr std::uint64_t kDepthMask = 0xFFFFFFFFu;

    static std::uint64_t pack(std::uint32_t owner, std::uint64_t depth)
    {
        return (static_cast<std::uint64_t>(owner) << 32) | depth;
    }

    // A number per thread, never reused while the process runs (thread ids
    // are, and a lock left held by a thread that has ended must not let a
    // newcomer with the same id walk in).
    static std::uint32_t self() noexcept
    {
        static std::atomic<std::uint32_t> next{1};
        thread_local const std::uint32_t token = next.fetch_add(1, std::memory_order_relaxed);
        return token;
    }

    bool reenter() noexcept
    {
        const std::uint32_t me = self();
        std::uint64_t word = word_.load(std::memory_order_relaxed);
        while ((word >> 32) == me) {
            if (word_.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel, std::memory_order_relaxed))
                return true;
        }
        return false;
    }

    GlobalLock inner_;
    std::atomic<std::uint64_t> word_{0};  // owner token << 32 | depth; 0 when free
};

} // namespace vexal
