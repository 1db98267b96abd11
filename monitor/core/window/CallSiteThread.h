// SPDX-License-Identifier: MIT
// A thread that answers one kind of the application's report calls
// (VexalShowStatus or VexalShowList) for the whole run: it waits for the
// call's event and answers each call, until Quit sets the stopping flag and
// the event once more.
#pragma once

#include "connection/AutoResetEvent.h"

#include <atomic>
#include <functional>
#include <thread>

namespace vexal::monitor {

class CallSiteThread {
public:
    CallSiteThread(AutoResetEvent &call, const std::atomic<bool> &stopping) : call_(call), stopping_(stopping) {}
    CallSiteThread(const CallSiteThread &) = delete;
    CallSiteThread &operator=(const CallSiteThread &) = delete;

    // Once: a second start leaves the running thread alone.
    void start(std::function<void()> answer)
    {
        if (thread_.joinable())
            return;
        thread_ = std::thread([this, answer = std::move(answer)] {
            for (;;) {
                call_.wait();
                if (stopping_)
                    return;
                answer();
            }
        });
    }

    // After the stopping flag was set.
    void stop()
    {
        if (!thread_.joinable())
            return;
        call_.set();
        thread_.join();
    }

private:
    AutoResetEvent &call_;
    const std::atomic<bool> &stopping_;
    std::thread thread_;
};

} // namespace vexal::monitor
