// SPDX-License-Identifier: MIT
#include "SummaryController.h"

#include "connection/AutoResetEvent.h"

#include <QDateTime>

#include <chrono>
#include <thread>

namespace vexal::monitor {

// One run of continuous summary. The thread holds it, so that a ticker that
// outlives its bounded wait at Stop still has its objects.
struct SummaryController::Ticker {
    std::thread thread;
    AutoResetEvent wake;  // cuts the sleep between rounds short
    DoneEvent ended;
};

SummaryController::SummaryController(MonitorState &state, std::function<void()> beforeRequest)
    : state_(state), beforeRequest_(std::move(beforeRequest)),
      statusCallSite_(state.connection.statusCallEvent(), state.stopping)
{
}

void SummaryController::request()
{
    beforeRequest_();
    if (state_.connection.request(Connection::Request::Summary))
        displayReceived();
}

// The counters of the last status reply.
void SummaryController::displayReceived()
{
    display(state_.connection.locked([](ReceivedState &state) { return StatusValues::from(state.data); }));
}

void SummaryController::display(const StatusValues &values)
{
    state_.connection.locked([&](ReceivedState &) {
        state_.view.showSummary(state_.summary.display(values, QDateTime::currentMSecsSinceEpoch()));
    });
    state_.view.letEventsRun();
}

std::size_t SummaryController::samples()
{
    return state_.connection.locked([this](ReceivedState &) { return state_.summary.samples(); });
}

void SummaryController::single()
{
    MonitorView &view = state_.view;
    state_.apply(groups::atSingleSummaryStart());
    view.setCursor(Cursor::Wait);
    state_.markRequestedByThisProgram();
    request();
    view.setCursor(Cursor::Default);
    view.setStatus(QStringLiteral("Got summary status"));
    view.setListCounters(QStringLiteral("0"));
    state_.apply(groups::atSingleSummaryEnd(state_.lockedViewContents()));
}

int SummaryController::period()
{
    std::lock_guard lock(rateMutex_);
    return period_;
}

void SummaryController::changeRate(int periodMs)
{
    std::lock_guard lock(rateMutex_);
    period_ = periodMs;
    state_.view.setStatus(QStringLiteral("Continous summary changed to every %1 ms").arg(periodMs));
    state_.view.markRate(periodMs);
}

void SummaryController::startContinuous()
{
    state_.view.setCursor(Cursor::AppStarting);
    state_.markRequestedByThisProgram();
    state_.view.setStatus(QStringLiteral("Gets updated summary from application every %1 ms").arg(period()));
    // One ticker at a time: an earlier one that a report call ended may
    // still be finishing its round.
    retireTicker();
    state_.connection.locked([](ReceivedState &state) { state.continuous = true; });
    auto ticker = std::make_shared<Ticker>();
    ticker->thread = std::thread([this, ticker] { tick(ticker); });
    {
        std::lock_guard lock(tickerMutex_);
        ticker_ = ticker;
    }
    state_.apply(groups::atContinuousStart());
}

void SummaryController::tick(const std::shared_ptr<Ticker> &ticker)
{
    Connection &connection = state_.connection;
    while (connection.locked([](ReceivedState &state) { return state.continuous && state.connected; })) {
        request();
        const int periodMs = period();
        // Not once Stop or a report call of the application ended the run:
        // their own status line comes after this one.
        connection.locked([&](ReceivedState &state) {
            if (state.continuous)
                state_.view.setStatus(QStringLiteral("Get summary every %1ms").arg(periodMs));
        });
        ticker->wake.wait(std::chrono::milliseconds(period()));
    }
    ticker->ended.set();
}

void SummaryController::wakeTicker()
{
    std::lock_guard lock(tickerMutex_);
    if (ticker_)
        ticker_->wake.set();
}

// The ticker is woken from its sleep and given a summary wait's time to
// finish its round. Never waits for the GUI thread, which the ticker never
// waits for either.
bool SummaryController::retireTicker()
{
    std::shared_ptr<Ticker> ticker;
    {
        std::lock_guard lock(tickerMutex_);
        ticker = std::exchange(ticker_, nullptr);
    }
    if (!ticker)
        return true;
    ticker->wake.set();
    if (ticker->ended.wait(kReplyTimeout)) {
        ticker->thread.join();
        return true;
    }
    ticker->thread.detach();
    return false;
}

void SummaryController::stopContinuous()
{
    MonitorView &view = state_.view;
    view.setStatus(QStringLiteral("Stops getting continous summary from application..."));
    state_.connection.locked([](ReceivedState &state) { state.continuous = false; });
    retireTicker();
    state_.apply(groups::atContinuousEnd(state_.lockedViewContents()));
    view.setCursor(Cursor::Default);
    view.setStatus(QStringLiteral("Stopped getting continous summary from application."));
}

void SummaryController::startCallSite()
{
    statusCallSite_.start([this] { answerStatusCall(); });
}

void SummaryController::answerStatusCall()
{
    beforeRequest_();
    const CallSite site = state_.connection.locked([](ReceivedState &state) { return state.statusCall; });
    state_.setOrigin({OriginKind::Application, QString::fromLocal8Bit(site.file), site.line});
    state_.view.letEventsRun();
    request();
    state_.view.setStatus(QStringLiteral("The application sent summary status using a VexalShowStatus call."));
}

} // namespace vexal::monitor
