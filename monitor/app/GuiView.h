// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor core's window: every request is carried out on the GUI thread,
// directly when made there, otherwise posted in the order it was made, on
// the page of the window it is about. A worker thread never waits for the
// GUI thread.
#pragma once

#include <window/MonitorView.h>

#include <functional>

class QLabel;
class QWidget;

namespace vexal::monitor {

class AnalyzePage;
class CommandGroups;
class ConnectionPage;
class FileDialogs;
class ListPage;
class MessageBoxes;
class SummaryPage;
class SynthesisPage;

// What the requests land on.
struct WindowParts {
    QWidget &window;  // lives on the GUI thread; parent of boxes and dialogs
    QLabel &statusLine;
    CommandGroups &groups;
    MessageBoxes &boxes;
    FileDialogs &dialogs;
    ConnectionPage &connection;
    AnalyzePage &analyze;
    SummaryPage &summary;
    ListPage &list;
    SynthesisPage &synthesis;
};

class GuiView : public MonitorView {
public:
    explicit GuiView(const WindowParts &parts) : parts_(parts) {}

    void setStatus(const QString &text) override;
    void setGroupEnabled(CommandGroup group, bool enabled) override;
    void setCursor(Cursor cursor) override;
    void setPausedMark(const QString &text) override;
    void setOrigin(const Origin &origin) override;
    void resetSummary(const QString &chartTitle) override;
    void showSummary(const SummaryUpdate &update) override;
    void setListCounters(const QString &text) override;
    void setRecordCount(qsizetype records) override;
    void setListCounts(const RecordCounts &counts) override;
    void setListLoadingText(const QString &text) override;
    void showList(std::shared_ptr<RecordTable> table) override;
    void showCode(std::shared_ptr<const GeneratedCode> code) override;
    void markRate(int periodMs) override;
    void showMessage(const MessageBox &box) override;
    bool askYesNo(const MessageBox &box) override;
    std::optional<QString> chooseSaveFile(const SaveFileDialog &dialog) override;
    void letEventsRun() override;

private:
    void onGuiThread(std::function<void(const WindowParts &)> work);

    WindowParts parts_;
};

} // namespace vexal::monitor
