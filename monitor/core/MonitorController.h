// SPDX-License-Identifier: MIT
// The monitor window's rules, without widgets: connect, disconnect, pause and
// release, loss of the connection, single and continuous summary, the rate,
// the application's own VexalShowStatus call, Quit and Reset and Quit. Every
// change it makes to the window goes through MonitorView.
#pragma once

#include "AutoResetEvent.h"
#include "CommandGroup.h"
#include "Connection.h"
#include "MonitorView.h"
#include "SummaryState.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace vexal::monitor {

class SettingsStore;

class MonitorController : private ConnectionListener {
public:
    explicit MonitorController(MonitorView &view, Connection::ThreadStarter starter = {});
    ~MonitorController() override;
    MonitorController(const MonitorController &) = delete;
    MonitorController &operator=(const MonitorController &) = delete;

    // The window set-up's own steps, after the window applied the settings:
    // the stored period, the data origin, the call-site thread, the groups
    // and the greeting on the status line.
    void setUp(int storedPeriodMs);

    // `address` as composed from the four address edits.
    void connect(const QString &address, int port, bool autoStartContinuous);
    void disconnect();
    void pause();
    void release();

    void singleSummary();
    void startContinuous();
    void stopContinuous();
    void changeRate(int periodMs);

    // Quit up to the writing of the settings: ends the connection (releasing
    // a paused application first) and stops the worker threads.
    void shutDown();
    // Asks; on Yes removes every setting and says so. True when the program
    // is then to end without writing its settings.
    bool resetAndQuit(SettingsStore &store);

    // Displays the counters of the last status reply (also after a list).
    void displaySummary();
    // Marks the data on show as asked for by this monitor.
    void markRequestedByThisProgram();

    bool isPaused() const { return paused_; }
    int period();
    Connection &connection() { return connection_; }
    // Rows of the summary table; read on the GUI thread between displays.
    std::vector<SummaryRow> summaryRows();
    std::size_t summarySamples();
    // The list view keeps this up to date, for the saving groups.
    void setListRows(int rows) { listRows_ = rows; }

private:
    struct Ticker;

    void connectionLost() override;
    void reportCall(Wake which, bool continuousWasRunning) override;

    void apply(const GroupChanges &changes);
    void fail(const MessageBox &box);
    void disconnectCore(bool lost);
    bool control(int command);
    void requestSummary();
    ViewContents viewContents();  // under the communication lock
    void tick(const std::shared_ptr<Ticker> &ticker);
    bool retireTicker();
    void answerStatusCalls();

    MonitorView &view_;
    SummaryState summary_;  // under the communication lock
    std::atomic<bool> paused_{false};
    std::atomic<int> listRows_{0};

    std::mutex rateMutex_;  // the rate lock
    int period_ = 1000;

    std::mutex tickerMutex_;
    std::shared_ptr<Ticker> ticker_;

    std::atomic<bool> stopping_{false};
    std::thread statusCallSite_;

    Connection connection_;  // last: its threads call back into the members above
};

} // namespace vexal::monitor
