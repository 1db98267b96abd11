// SPDX-License-Identifier: MIT
// What the parts of the window's rules share: the window they drive, the
// connection, and the state that more than one of them reads. What is
// marked "under the communication lock" is entered through
// connection.locked(), as the received data is.
#pragma once

#include "CommandGroup.h"
#include "MonitorView.h"
#include "connection/Connection.h"
#include "summary/SummaryState.h"

#include <atomic>

namespace vexal::monitor {

struct MonitorState {
    MonitorState(MonitorView &view, Connection &connection) : view(view), connection(connection) {}

    MonitorView &view;
    Connection &connection;
    SummaryState summary;                // under the communication lock
    Origin origin;                       // under the communication lock
    bool posixApplication = false;       // of the last list; under the communication lock
    std::atomic<bool> paused{false};     // by this monitor, acknowledged
    std::atomic<qsizetype> listRows{0};  // of the list view, as last shown
    std::atomic<bool> stopping{false};   // Quit has begun: the call-site threads end

    void apply(const GroupChanges &changes);
    // Shows the data origin and keeps it for the saved files.
    void setOrigin(const Origin &origin);
    // Marks the data on show as asked for by this monitor.
    void markRequestedByThisProgram();
    // What the views hold; under the communication lock.
    ViewContents viewContents() const { return {!summary.rows().empty(), listRows > 0}; }
    ViewContents lockedViewContents();
};

} // namespace vexal::monitor
