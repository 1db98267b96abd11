// SPDX-License-Identifier: MIT
// The monitor window's rules, without widgets: connect, disconnect, pause and
// release, loss of the connection, single and continuous summary, the rate,
// the list of allocations with its sorting, the code synthesis, the contents
// of the saved files, the application's own VexalShowStatus and VexalShowList
// calls, Quit and Reset and Quit. Every change it makes to the window goes
// through MonitorView.
#pragma once

#include "CommandGroup.h"
#include "MonitorView.h"
#include "connection/AutoResetEvent.h"
#include "connection/Connection.h"
#include "summary/SummaryState.h"

#include "list/RecordTable.h"
#include "synthesis/CodeSynthesis.h"

#include <QByteArray>
#include <QList>
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

    // Displays the counters of the last status reply.
    void displaySummary();
    // Marks the data on show as asked for by this monitor.
    void markRequestedByThisProgram();

    // Get list of allocations, asked for by the user (GUI thread). Does
    // nothing while a fetch for the application's VexalShowList call runs.
    void getList();
    // The operations on what the views show (GUI thread): the list view's
    // table, the code view's code and their selected rows.
    // Takes its own share of the table: reloading the view lets go of the view's.
    void sortList(std::shared_ptr<RecordTable> table, ListColumn column);
    void generateCode(const RecordTable *table, const SynthesisOptions &options, const QList<qsizetype> &selectedRows);
    // The bytes of the three saved files, read under the communication lock.
    QByteArray summaryFileContents();
    QByteArray listFileContents(const RecordTable *table, bool fullPath, const QList<qsizetype> &selectedRows);
    QByteArray codeFileContents(const GeneratedCode *code, const QList<qsizetype> &selectedRows, int indentation,
                                bool tabs);

    bool isPaused() const { return paused_; }
    int period();
    Connection &connection() { return connection_; }
    // Rows of the summary table; read on the GUI thread between displays.
    std::vector<SummaryRow> summaryRows();
    std::size_t summarySamples();

private:
    struct Ticker;

    void connectionLost() override;
    void reportCall(Wake which, bool continuousWasRunning) override;

    void apply(const GroupChanges &changes);
    void fail(const MessageBox &box);
    void disconnectCore(bool lost);
    bool control(Connection::Request request);
    void requestSummary();
    void displaySummary(const StatusValues &values);
    void setOrigin(const Origin &origin);
    ViewContents viewContents();  // under the communication lock
    void tick(const std::shared_ptr<Ticker> &ticker);
    bool retireTicker();
    void answerStatusCalls();
    void answerListCalls();
    bool fetchList();
    void loadList(std::shared_ptr<RecordTable> table);
    void clearListForSummary();
    void showListLoading(const QString &text);

    MonitorView &view_;
    SummaryState summary_;  // under the communication lock
    std::atomic<bool> paused_{false};
    std::atomic<qsizetype> listRows_{0};  // of the list view, as last shown
    Origin origin_;                      // under the communication lock
    bool posixApplication_ = false;      // of the last list; under the communication lock
    std::mutex fetchMutex_;              // one list fetch at a time

    std::mutex rateMutex_;  // the rate lock
    int period_ = 1000;

    std::mutex tickerMutex_;
    std::shared_ptr<Ticker> ticker_;

    std::atomic<bool> stopping_{false};
    std::thread statusCallSite_;
    std::thread listCallSite_;

    Connection connection_;  // last: its threads call back into the members above
};

} // namespace vexal::monitor
