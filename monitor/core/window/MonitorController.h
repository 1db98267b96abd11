// SPDX-License-Identifier: MIT
// The monitor window's rules, without widgets: connect, disconnect, pause and
// release, loss of the connection, Quit and Reset and Quit here; single and
// continuous summary with the rate (SummaryController), the list with its
// fetch and sorting (ListController), the code synthesis, the contents
// of the saved files (SavedFileContents), with the application's own
// VexalShowStatus and VexalShowList calls, and the leak sites' window
// (SitesController). Every change it makes to the main window goes through
// MonitorView, to the sites' window through SitesView.
#pragma once

#include "ListController.h"
#include "MonitorState.h"
#include "MonitorView.h"
#include "SavedFileContents.h"
#include "SitesController.h"
#include "SitesView.h"
#include "SummaryController.h"
#include "connection/Connection.h"
#include "list/RecordTable.h"
#include "synthesis/CodeSynthesis.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace vexal::monitor {

class SettingsStore;

class MonitorController : private ConnectionListener {
public:
    explicit MonitorController(MonitorView &view, Connection::ThreadStarter starter = {},
                               SitesView *sitesView = nullptr);
    ~MonitorController() override;
    MonitorController(const MonitorController &) = delete;
    MonitorController &operator=(const MonitorController &) = delete;

    // The window set-up's own steps, after the window applied the settings:
    // the stored period, the data origin, the call-site threads, the groups
    // and the greeting on the status line.
    void setUp(int storedPeriodMs);

    // `address` as composed from the four address edits.
    void connect(const QString &address, int port, bool autoStartContinuous);
    void disconnect();
    void pause();
    void release();

    void singleSummary() { summary_.single(); }
    void startContinuous() { summary_.startContinuous(); }
    void stopContinuous() { summary_.stopContinuous(); }
    void changeRate(int periodMs) { summary_.changeRate(periodMs); }
    int period() { return summary_.period(); }
    std::size_t summarySamples() { return summary_.samples(); }

    // Quit up to the writing of the settings: ends the connection (releasing
    // a paused application first) and stops the worker threads.
    void shutDown();
    // Asks; on Yes removes every setting and says so. True when the program
    // is then to end without writing its settings.
    bool resetAndQuit(SettingsStore &store);

    // Get list of allocations, asked for by the user (GUI thread). Does
    // nothing while a fetch for the application's VexalShowList call runs.
    void getList() { list_.getList(); }
    // The operations on what the views show (GUI thread): the list view's
    // table, the code view's code and their selected rows.
    // Takes its own share of the table: reloading the view lets go of the view's.
    void sortList(std::shared_ptr<RecordTable> table, ListColumn column) { list_.sort(std::move(table), column); }
    void generateCode(const RecordTable *table, const SynthesisOptions &options, const QList<qsizetype> &selectedRows);
    SitesController &sites() { return sites_; }

    // The bytes of the three saved files, read and written under the
    // communication lock.
    void summaryFileContents(ByteWriter &out) { saved_.summary(out); }
    void listFileContents(ByteWriter &out, const RecordTable *table, bool fullPath,
                          const QList<qsizetype> &selectedRows)
    {
        saved_.list(out, table, fullPath, selectedRows);
    }
    void codeFileContents(ByteWriter &out, const GeneratedCode *code, const QList<qsizetype> &selectedRows,
                          int indentation, bool tabs)
    {
        saved_.code(out, code, selectedRows, indentation, tabs);
    }

private:
    void connectionLost() override;
    void reportCall(Wake which, bool continuousWasRunning) override;

    void fail(const MessageBox &box);
    void disconnectCore(bool lost);
    bool control(Connection::Request request);

    MonitorView &view_;
    MonitorState state_;
    SummaryController summary_;
    ListController list_;
    SavedFileContents saved_;
    NoSitesView noSitesView_;
    SitesController sites_;
    Connection connection_;  // last: its threads call back into the members above
};

} // namespace vexal::monitor
