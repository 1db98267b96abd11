// SPDX-License-Identifier: MIT
// Wakes vxl's main thread from any other thread: the signal watcher, the
// connection's receiving thread. A pipe, so that one wait can also watch
// standard input for the Enter that ends a pause.
#pragma once

#include <chrono>
#include <optional>

namespace vexal::cli {

using Clock = std::chrono::steady_clock;

class Doorbell {
public:
    Doorbell();
    ~Doorbell();
    Doorbell(const Doorbell &) = delete;
    Doorbell &operator=(const Doorbell &) = delete;

    // Never blocks; rings once however often it is called before a wait.
    void ring();

    enum class Woke { Rung, Input, Deadline };
    // Until rung, until `input` (a file descriptor; -1: none) is readable or
    // at its end, or until the deadline (none: no limit).
    Woke wait(std::optional<Clock::time_point> deadline, int input = -1);

private:
    int read_ = -1;
    int write_ = -1;
};

} // namespace vexal::cli
