// SPDX-License-Identifier: MIT
// An auto-reset event: set() lets exactly one wait() through and the event is
// unset again. A set with nobody waiting stays until the next wait takes it.
// Built on the standard mutex and condition variable, so that the thread
// sanitizer sees every hand-over.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vexal::monitor {

class AutoResetEvent {
public:
    void set()
    {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        wake_.notify_one();
    }

    // True when the event was set within `timeout`; the event is then unset.
    bool wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        if (!wake_.wait_for(lock, timeout, [this] { return signalled_; }))
            return false;
        signalled_ = false;
        return true;
    }

    // Only for waits the behaviour leaves unbounded (work to do).
    void wait()
    {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool signalled_ = false;
};

} // namespace vexal::monitor

namespace vexal::monitor {

// Set once and stays set: tells any number of waiters that something ended.
class DoneEvent {
public:
    void set()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
    }

    bool wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        return wake_.wait_for(lock, timeout, [this] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
};

} // namespace vexal::monitor
