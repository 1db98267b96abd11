// SPDX-License-Identifier: MIT
// The summary side of the window's rules: single summary, continuous summary
// with its ticker thread and its rate (guarded by the rate lock), and the
// answer to the application's VexalShowStatus calls on a call-site thread of
// its own. Each summary request first lets the list go (beforeRequest).
#pragma once

#include "CallSiteThread.h"
#include "MonitorState.h"

#include <functional>
#include <memory>
#include <mutex>

namespace vexal::monitor {

class SummaryController {
public:
    SummaryController(MonitorState &state, std::function<void()> beforeRequest);
    SummaryController(const SummaryController &) = delete;
    SummaryController &operator=(const SummaryController &) = delete;

    void single();
    void startContinuous();
    void stopContinuous();
    void changeRate(int periodMs);
    int period();

    // Asks the library for a summary and displays it.
    void request();
    // Displays summary values that came with another reply (the list end).
    void display(const StatusValues &values);
    std::size_t samples();

    // Cuts the ticker's sleep short: the connection is ending.
    void wakeTicker();
    // Ends the ticker, if any; false when it did not finish its round in time.
    bool retireTicker();

    // The call-site thread runs from the window's set-up until Quit.
    void startCallSite();
    void stopCallSite() { statusCallSite_.stop(); }

private:
    struct Ticker;

    void displayReceived();
    void tick(const std::shared_ptr<Ticker> &ticker);
    void answerStatusCall();

    MonitorState &state_;
    std::function<void()> beforeRequest_;

    std::mutex rateMutex_;  // the rate lock
    int period_ = 1000;

    std::mutex tickerMutex_;
    std::shared_ptr<Ticker> ticker_;

    CallSiteThread statusCallSite_;
};

} // namespace vexal::monitor
