// SPDX-License-Identifier: MIT
// The list side of the window's rules: Get list, the answer to the
// application's VexalShowList calls on a call-site thread of its own, the
// fetch both run (one at a time), showing a list and sorting it, and letting
// it go before a summary. A fetched list ends with summary values, which the
// summary displays.
#pragma once

#include "CallSiteThread.h"
#include "MonitorState.h"
#include "list/RecordTable.h"

#include <memory>
#include <mutex>

namespace vexal::monitor {

class SummaryController;

class ListController {
public:
    ListController(MonitorState &state, SummaryController &summary);
    ListController(const ListController &) = delete;
    ListController &operator=(const ListController &) = delete;

    // Asked for by the user (GUI thread). Does nothing while a fetch for the
    // application's VexalShowList call runs.
    void getList();
    // Takes its own share of the table: reloading the view lets go of the view's.
    void sort(std::shared_ptr<RecordTable> table, ListColumn column);
    // Before a summary the list goes, with its code.
    void clearForSummary();

    // The call-site thread runs from the window's set-up until Quit.
    void startCallSite();
    void stopCallSite() { listCallSite_.stop(); }

private:
    bool fetch();
    void load(std::shared_ptr<RecordTable> table);
    void showLoading(const QString &text);
    void answerListCall();

    MonitorState &state_;
    SummaryController &summary_;
    std::mutex fetchMutex_;  // one list fetch at a time
    CallSiteThread listCallSite_;
};

} // namespace vexal::monitor
