// SPDX-License-Identifier: MIT
// What the monitor's rules ask of its window. Any thread may call these
// (except askYesNo and chooseSaveFile); an implementation carries every call
// out on the GUI thread, in the order each thread asked, and never blocks a
// worker thread on the GUI thread.
#pragma once

#include "CommandGroup.h"
#include "summary/SummaryState.h"

#include "list/RecordTable.h"
#include "synthesis/CodeSynthesis.h"

#include <QString>

#include <memory>
#include <optional>

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

// A dialog that asks for the name of a file to save on: it accepts a file
// that does not exist yet and asks nothing when the file exists.
struct SaveFileDialog {
    QString title;
    QString filter;      // in Qt's syntax: "Text files (*.txt);;All files (*)"
    QString startPlace;  // a directory, or a file whose directory to open

    bool operator==(const SaveFileDialog &) const = default;
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
    // The record counter alone, and the three counts beside it.
    virtual void setRecordCount(qsizetype records) = 0;
    virtual void setListCounts(const RecordCounts &counts) = 0;
    // The progress label of the list group.
    virtual void setListLoadingText(const QString &text) = 0;
    // The list view shows `table`, row i record i; nothing for none. From
    // now on the table is the view's: only the GUI thread touches it.
    virtual void showList(std::shared_ptr<RecordTable> table) = 0;
    // The code view shows `code`, numbered from 1; nothing for none.
    virtual void showCode(std::shared_ptr<const GeneratedCode> code) = 0;
    // Marks the rate buttons and menu items of `periodMs`; none for another value.
    virtual void markRate(int periodMs) = 0;
    // A modal box with an OK button.
    virtual void showMessage(const MessageBox &box) = 0;
    // A modal Yes/No question; GUI thread only.
    virtual bool askYesNo(const MessageBox &box) = 0;
    // The chosen file's name; nothing when the user cancelled. GUI thread only.
    virtual std::optional<QString> chooseSaveFile(const SaveFileDialog &dialog) = 0;
    // Lets pending window events run (on the GUI thread; elsewhere nothing).
    virtual void letEventsRun() = 0;
};

} // namespace vexal::monitor
