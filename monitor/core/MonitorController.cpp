// SPDX-License-Identifier: MIT
#include "MonitorController.h"

#include "MonitorSettings.h"

#include <QDateTime>

#include <chrono>

namespace vexal::monitor {

namespace {

// After a release, the library gets this long before the disconnect command.
constexpr std::chrono::milliseconds kReleaseSettle{100};

const QString kGreeting = QStringLiteral(
    "Connect to an application, analyze memory allocations, generate code to copy into this application, and get "
    "rid of memory leaks.");
const QString kPausedMark = QStringLiteral("Application is paused!");
const QString kDisconnected = QStringLiteral("Disconnected");
const QString kLost = QStringLiteral("Connection lost with the application!");

MessageBox warning(const QString &caption, const QString &text) { return {caption, text, MessageIcon::Warning}; }

} // namespace

// One run of continuous summary. The thread holds it, so that a ticker that
// outlives its bounded wait at Stop still has its objects.
struct MonitorController::Ticker {
    std::thread thread;
    AutoResetEvent wake;  // cuts the sleep between rounds short
    DoneEvent ended;
};

MonitorController::MonitorController(MonitorView &view, Connection::ThreadStarter starter)
    : view_(view), connection_(this, std::move(starter))
{
}

MonitorController::~MonitorController() { shutDown(); }

void MonitorController::setUp(int storedPeriodMs)
{
    changeRate(storedPeriodMs);
    view_.setOrigin({});
    connection_.locked([](ReceivedState &state) {
        state.statusCall = {};
        state.listCall = {};
        state.continuous = false;
    });
    view_.letEventsRun();
    if (!statusCallSite_.joinable())
        statusCallSite_ = std::thread([this] { answerStatusCalls(); });
    paused_ = false;
    apply(groups::atStartUp());
    view_.setStatus(kGreeting);
}

void MonitorController::connect(const QString &address, int port, bool autoStartContinuous)
{
    view_.setCursor(Cursor::Wait);
    view_.setStatus(QStringLiteral("Try connecting to application..."));
    Connection::OpenResult result = connection_.connectEndpoint(address.toLatin1(), port);
    if (result == Connection::OpenResult::SocketFailed)
        return fail(warning(QStringLiteral("Socket Problem"), QStringLiteral("Could not establish a socket communication.")));
    if (result == Connection::OpenResult::NotReachable)
        return fail(warning(QStringLiteral("Not reachable"), QStringLiteral("Could not connect to IP Address ") + address +
                                                                 QStringLiteral(" on port ") + QString::number(port)));

    // The views start afresh for the new connection.
    apply({{CommandGroup::SaveSummary, false}, {CommandGroup::SaveList, false}, {CommandGroup::SaveAll, false}});
    connection_.locked([this](ReceivedState &state) {
        summary_.reset();
        state.statusCall = {};
        state.listCall = {};
    });
    view_.resetSummary(QString::fromLatin1(kSummaryCaption));
    view_.setOrigin({});
    view_.setListCounters(QStringLiteral("0"));
    view_.letEventsRun();

    result = connection_.startThreads();
    if (result == Connection::OpenResult::EventsFailed)
        return fail(warning(QStringLiteral("Resource Problem"), QStringLiteral("Could not create necessary events.")));
    if (result == Connection::OpenResult::ThreadsFailed)
        return fail(warning(QStringLiteral("Resource Problem"),
                            QStringLiteral("Could not create necessary threads to establish connection!")));

    view_.setCursor(Cursor::Default);
    view_.setStatus(QStringLiteral("Connected to application."));
    apply(groups::whenConnected(paused_));
    if (autoStartContinuous)
        startContinuous();
}

void MonitorController::fail(const MessageBox &box)
{
    view_.setStatus(box.text);
    view_.showMessage(box);
    view_.setCursor(Cursor::Default);
}

void MonitorController::disconnect()
{
    view_.setStatus(QStringLiteral("Disconnecting from application..."));
    if (connection_.isConnected())
        disconnectCore(false);
    view_.setStatus(kDisconnected);
}

void MonitorController::disconnectCore(bool lost)
{
    view_.setCursor(Cursor::Wait);
    // A broken connection cannot carry a release, and the library gives its
    // hold back by itself when the connection ends.
    if (paused_ && !lost && connection_.isConnected()) {
        release();
        std::this_thread::sleep_for(kReleaseSettle);
    }
    connection_.sendDisconnect();
    {
        std::lock_guard lock(tickerMutex_);
        if (ticker_)
            ticker_->wake.set();
    }
    apply(groups::whenDisconnected());
    connection_.awaitSenderEnd();
    if (paused_.exchange(false))
        view_.setPausedMark(QString());
    view_.setCursor(Cursor::Default);
    view_.letEventsRun();
}

void MonitorController::connectionLost()
{
    view_.setStatus(kLost);
    view_.showMessage(warning(QStringLiteral("Connection Lost"), kLost));
    disconnectCore(true);
    view_.setStatus(kDisconnected);
}

void MonitorController::reportCall(Wake, bool continuousWasRunning)
{
    // Continuous summary ends here; leave its state as Stop does, or the
    // busy cursor and the disabled Disconnect would stay.
    if (continuousWasRunning) {
        apply(groups::atContinuousEnd(viewContents()));
        view_.setCursor(Cursor::Default);
    } else {
        apply(groups::atReportCall());
    }
}

bool MonitorController::control(int command)
{
    if (!connection_.request(command, Connection::Reply::Control))
        return false;
    paused_ = command == MSG_PAUSE;
    view_.setPausedMark(paused_ ? kPausedMark : QString());
    apply(groups::whenPaused(paused_));
    return true;
}

void MonitorController::pause() { control(MSG_PAUSE); }

void MonitorController::release() { control(MSG_RELEASE); }

void MonitorController::markRequestedByThisProgram()
{
    view_.setOrigin({OriginKind::ThisProgram, QString(), 0});
    connection_.locked([](ReceivedState &state) {
        state.statusCall = {};
        state.listCall = {};
    });
    view_.letEventsRun();
}

void MonitorController::requestSummary()
{
    if (connection_.request(MSG_SUMMARY, Connection::Reply::Summary))
        displaySummary();
}

void MonitorController::displaySummary()
{
    connection_.locked([this](ReceivedState &state) {
        view_.showSummary(summary_.display(StatusValues::from(state.data), QDateTime::currentMSecsSinceEpoch()));
    });
    view_.letEventsRun();
}

ViewContents MonitorController::viewContents() { return {!summary_.rows().empty(), listRows_ > 0}; }

std::vector<SummaryRow> MonitorController::summaryRows()
{
    return connection_.locked([this](ReceivedState &) { return summary_.rows(); });
}

std::size_t MonitorController::summarySamples()
{
    return connection_.locked([this](ReceivedState &) { return summary_.samples(); });
}

void MonitorController::singleSummary()
{
    apply(groups::atSingleSummaryStart());
    view_.setCursor(Cursor::Wait);
    markRequestedByThisProgram();
    requestSummary();
    view_.setCursor(Cursor::Default);
    view_.setStatus(QStringLiteral("Got summary status"));
    view_.setListCounters(QStringLiteral("0"));
    apply(groups::atSingleSummaryEnd(connection_.locked([this](ReceivedState &) { return viewContents(); })));
}

int MonitorController::period()
{
    std::lock_guard lock(rateMutex_);
    return period_;
}

void MonitorController::changeRate(int periodMs)
{
    std::lock_guard lock(rateMutex_);
    period_ = periodMs;
    view_.setStatus(QStringLiteral("Continous summary changed to every %1 ms").arg(periodMs));
    view_.markRate(periodMs);
}

void MonitorController::startContinuous()
{
    view_.setCursor(Cursor::AppStarting);
    markRequestedByThisProgram();
    view_.setStatus(QStringLiteral("Gets updated summary from application every %1 ms").arg(period()));
    // One ticker at a time: an earlier one that a report call ended may
    // still be finishing its round.
    retireTicker();
    connection_.locked([](ReceivedState &state) { state.continuous = true; });
    auto ticker = std::make_shared<Ticker>();
    ticker->thread = std::thread([this, ticker] { tick(ticker); });
    {
        std::lock_guard lock(tickerMutex_);
        ticker_ = ticker;
    }
    apply(groups::atContinuousStart());
}

void MonitorController::tick(const std::shared_ptr<Ticker> &ticker)
{
    while (connection_.locked([](ReceivedState &state) { return state.continuous && state.connected; })) {
        requestSummary();
        const int periodMs = period();
        // Not once Stop or a report call of the application ended the run:
        // their own status line comes after this one.
        connection_.locked([&](ReceivedState &state) {
            if (state.continuous)
                view_.setStatus(QStringLiteral("Get summary every %1ms").arg(periodMs));
        });
        ticker->wake.wait(std::chrono::milliseconds(period()));
    }
    ticker->ended.set();
}

// Ends the ticker, if any: it is woken from its sleep and given a summary
// wait's time to finish its round. Never waits for the GUI thread, which the
// ticker never waits for either.
bool MonitorController::retireTicker()
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

void MonitorController::stopContinuous()
{
    view_.setStatus(QStringLiteral("Stops getting continous summary from application..."));
    connection_.locked([](ReceivedState &state) { state.continuous = false; });
    retireTicker();
    apply(groups::atContinuousEnd(connection_.locked([this](ReceivedState &) { return viewContents(); })));
    view_.setCursor(Cursor::Default);
    view_.setStatus(QStringLiteral("Stopped getting continous summary from application."));
}

void MonitorController::answerStatusCalls()
{
    for (;;) {
        connection_.statusCallEvent().wait();
        if (stopping_)
            return;
        const CallSite site = connection_.locked([](ReceivedState &state) { return state.statusCall; });
        view_.setOrigin({OriginKind::Application, QString::fromLocal8Bit(site.file), site.line});
        view_.letEventsRun();
        requestSummary();
        view_.setStatus(QStringLiteral("The application sent summary status using a VexalShowStatus call."));
    }
}

void MonitorController::shutDown()
{
    if (stopping_.exchange(true))
        return;
    view_.setStatus(QStringLiteral("Closing down..."));
    if (connection_.isConnected())
        disconnectCore(false);
    retireTicker();
    if (statusCallSite_.joinable()) {
        connection_.statusCallEvent().set();
        statusCallSite_.join();
    }
    connection_.locked([this](ReceivedState &) { summary_.reset(); });
}

bool MonitorController::resetAndQuit(SettingsStore &store)
{
    if (!view_.askYesNo({QStringLiteral("Reset IP Address, Port Number, and all other settings"),
                         QStringLiteral("Are you sure you want to reset all to their default values?"),
                         MessageIcon::Question})) {
        view_.setStatus(QStringLiteral("Nothing changed."));
        return false;
    }
    resetSettings(store);
    view_.showMessage({QStringLiteral("Quitting..."),
                       QStringLiteral("All settings done in the program are reset to default values.\r\n"
                                      "The program will now terminate. Please restart the program to go on."),
                       MessageIcon::None});
    return true;
}

void MonitorController::apply(const GroupChanges &changes)
{
    for (const auto &[group, enabled] : changes)
        view_.setGroupEnabled(group, enabled);
}

} // namespace vexal::monitor
