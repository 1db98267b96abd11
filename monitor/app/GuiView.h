// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor core's window: every request is carried out on the GUI thread,
// directly when made there, otherwise posted in the order it was made. A
// worker thread never waits for the GUI thread.
#pragma once

#include <MonitorView.h>

#include <functional>

namespace vexal::monitor {

class MainWindow;

class GuiView : public MonitorView {
public:
    explicit GuiView(MainWindow &window) : window_(window) {}

    void setStatus(const QString &text) override;
    void setGroupEnabled(CommandGroup group, bool enabled) override;
    void setCursor(Cursor cursor) override;
    void setPausedMark(const QString &text) override;
    void setOrigin(const Origin &origin) override;
    void resetSummary(const QString &chartTitle) override;
    void showSummary(const SummaryUpdate &update) override;
    void setListCounters(const QString &text) override;
    void markRate(int periodMs) override;
    void showMessage(const MessageBox &box) override;
    bool askYesNo(const MessageBox &box) override;
    void letEventsRun() override;

private:
    void onGuiThread(std::function<void(MainWindow &)> work);

    MainWindow &window_;
};

} // namespace vexal::monitor
