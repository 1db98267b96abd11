// SPDX-License-Identifier: MIT
// What the monitor's rules ask of its window. Any thread may call these
// (except askYesNo); an implementation carries every call out on the GUI
// thread, in the order each thread asked, and never blocks a worker thread on
// the GUI thread.
#pragma once

#include "CommandGroup.h"
#include "SummaryState.h"

#include <QString>

namespace vexal::monitor {

enum class Cursor { Default, Wait, AppStarting };

enum class MessageIcon { None, Warning, Question };

struct MessageBox {
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::Warning;

    bool operator==(const MessageBox &) const = default;
};

// Where the data on show came from, for the two data-origin edits.
enum class OriginKind {
    None,         // "N/A" twice, button-face colour
    ThisProgram,  // "A call from this program" in the window colour, line "N/A"
    Application,  // the application's report call: its file and line, yellow
};

struct Origin {
    OriginKind kind = OriginKind::None;
    QString file;  // for Application
    int line = 0;

    bool operator==(const Origin &) const = default;
};

class MonitorView {
public:
    virtual ~MonitorView() = default;

    virtual void setStatus(const QString &text) = 0;
    virtual void setGroupEnabled(CommandGroup group, bool enabled) = 0;
    virtual void setCursor(Cursor cursor) = 0;
    virtual void setPausedMark(const QString &text) = 0;
    virtual void setOrigin(const Origin &origin) = 0;
    // Empties the summary table and the chart (series emptied and hidden,
    // the given title).
    virtual void resetSummary(const QString &chartTitle) = 0;
    virtual void showSummary(const SummaryUpdate &update) = 0;
    // The record, file, unique-line and thread counters of the list group.
    virtual void setListCounters(const QString &text) = 0;
    // Marks the rate buttons and menu items of `periodMs`; none for another value.
    virtual void markRate(int periodMs) = 0;
    // A modal box with an OK button.
    virtual void showMessage(const MessageBox &box) = 0;
    // A modal Yes/No question; GUI thread only.
    virtual bool askYesNo(const MessageBox &box) = 0;
    // Lets pending window events run (on the GUI thread; elsewhere nothing).
    virtual void letEventsRun() = 0;
};

} // namespace vexal::monitor
