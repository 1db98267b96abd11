// SPDX-License-Identifier: MIT
// Ctrl+C (SIGINT), SIGTERM and SIGHUP end a command the way its own end
// does: the connection is ended cleanly, so the application always runs on.
// The signals are blocked in every thread and taken by one thread of their
// own, so that no system call of the others is ever interrupted.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace vexal::cli {

class SignalWatcher {
public:
    // Blocks the signals for the calling thread and every thread it starts
    // afterwards: construct it first thing in main. A broken standard
    // output then shows as a failed write instead of ending the process.
    SignalWatcher();
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher &) = delete;
    SignalWatcher &operator=(const SignalWatcher &) = delete;

    // Runs on the watcher's thread at the first signal.
    void setHandler(std::function<void(int signal)> handler);
    // While set, a signal ends the process at once: nothing would be left
    // behind (nothing is connected yet), and a connect may block for long.
    void setExitAtOnce(bool atOnce) { exitAtOnce_ = atOnce; }
    // The first signal caught, 0 for none.
    int caught() const { return caught_; }

private:
    void watch();

    std::atomic<bool> exitAtOnce_{false};
    std::atomic<int> caught_{0};
    std::atomic<bool> stopping_{false};
    std::mutex handlerMutex_;
    std::function<void(int)> handler_;
    std::thread thread_;
};

} // namespace vexal::cli
