// SPDX-License-Identifier: MIT
#include "MonitorController.h"

#include "settings/MonitorSettings.h"

#include <chrono>
#include <memory>
#include <thread>

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

MonitorController::MonitorController(MonitorView &view, Connection::ThreadStarter starter, SitesView *sitesView)
    : view_(view), state_(view, connection_), summary_(state_, [this] { list_.clearForSummary(); }), list_(state_, summary_),
      saved_(state_), sites_(state_, sitesView != nullptr ? *sitesView : noSitesView_),
      connection_(this, std::move(starter))
{
}

MonitorController::~MonitorController() { shutDown(); }

void MonitorController::setUp(int storedPeriodMs)
{
    summary_.changeRate(storedPeriodMs);
    state_.setOrigin({});
    connection_.locked([](ReceivedState &state) {
        state.statusCall = {};
        state.listCall = {};
        state.continuous = false;
    });
    view_.letEventsRun();
    summary_.startCallSite();
    list_.startCallSite();
    sites_.start();
    state_.paused = false;
    state_.apply(groups::atStartUp());
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
    state_.apply({{CommandGroup::SaveSummary, false}, {CommandGroup::SaveList, false}, {CommandGroup::SaveAll, false}});
    connection_.locked([this](ReceivedState &state) {
        state_.summary.reset();
        state.statusCall = {};
        state.listCall = {};
    });
    view_.resetSummary(QString::fromLatin1(kSummaryCaption));
    state_.setOrigin({});
    view_.showList(nullptr);
    view_.showCode(nullptr);
    state_.listRows = 0;
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
    state_.apply(groups::whenConnected(state_.paused));
    sites_.connected();
    if (autoStartContinuous)
        summary_.startContinuous();
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
    if (state_.paused && !lost && connection_.isConnected()) {
        release();
        std::this_thread::sleep_for(kReleaseSettle);
    }
    connection_.sendDisconnect();
    summary_.wakeTicker();
    sites_.disconnected();
    state_.apply(groups::whenDisconnected());
    connection_.awaitSenderEnd();
    if (state_.paused.exchange(false))
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
        state_.apply(groups::atContinuousEnd(state_.viewContents()));
        view_.setCursor(Cursor::Default);
    } else {
        state_.apply(groups::atReportCall());
    }
}

bool MonitorController::control(Connection::Request request)
{
    if (!connection_.request(request))
        return false;
    state_.paused = request == Connection::Request::Pause;
    view_.setPausedMark(state_.paused ? kPausedMark : QString());
    state_.apply(groups::whenPaused(state_.paused));
    return true;
}

void MonitorController::pause() { control(Connection::Request::Pause); }

void MonitorController::release() { control(Connection::Request::Release); }

void MonitorController::shutDown()
{
    if (state_.stopping.exchange(true))
        return;
    view_.setStatus(QStringLiteral("Closing down..."));
    if (connection_.isConnected())
        disconnectCore(false);
    summary_.retireTicker();
    summary_.stopCallSite();
    list_.stopCallSite();
    sites_.stop();
    connection_.locked([this](ReceivedState &) { state_.summary.reset(); });
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

void MonitorController::generateCode(const RecordTable *table, const SynthesisOptions &options,
                                     const QList<qsizetype> &selectedRows)
{
    view_.setCursor(Cursor::Wait);
    view_.setStatus(QStringLiteral("Creating Vexal Code..."));
    // The code on show goes first: a million lines twice would not fit.
    view_.showCode(nullptr);
    auto code = std::make_shared<GeneratedCode>();
    if (table != nullptr)
        *code = monitor::generateCode(*table, options, selectedRows);
    view_.showCode(code);
    if (!code->isEmpty())
        state_.apply({{CommandGroup::SaveCode, true}});
    view_.setCursor(Cursor::Default);
    view_.setStatus(QStringLiteral("Vexal Code created."));
}

} // namespace vexal::monitor
