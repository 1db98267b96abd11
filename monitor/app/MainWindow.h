// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's main window: the form, its actions and command groups, and
// the widget side of each request the monitor core makes. The rules live in
// MonitorController; this class only shows what it is told.
#pragma once

#include "CommandGroups.h"

#include <MonitorController.h>
#include <MonitorSettings.h>
#include <NumericEdit.h>

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class MainWindow;
}

class QLabel;
class QLineEdit;
class QRadioButton;

namespace vexal::monitor {

class About;
class GuiView;
class MessageBoxes;

// What the command line asks for this run.
struct StartOptions {
    std::optional<std::array<QString, 4>> address;
    std::optional<QString> port;
    bool connect = false;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(MessageBoxes &boxes, const StartOptions &options = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    Ui::MainWindow &ui() { return *ui_; }
    MonitorController &controller() { return *controller_; }
    QString statusText() const;

    // The widget side of the core's requests; GUI thread only (GuiView).
    void showStatus(const QString &text);
    void enableGroup(CommandGroup group, bool enabled);
    void showCursor(Cursor cursor);
    void showPausedMark(const QString &text);
    void showOrigin(const Origin &origin);
    void resetSummaryViews(const QString &chartTitle);
    void showSummary(const SummaryUpdate &update);
    void showListCounters(const QString &text);
    void markRate(int periodMs);
    void showMessage(const MessageBox &box);
    bool ask(const MessageBox &box);

public slots:
    void mnuMainFileConnectClick();
    void mnuMainFileDisconnectClick();
    void mnuMainControlPauseClick();
    void mnuMainControlReleaseClick();
    void mnuMainViewSingleStatusClick();
    void mnuMainViewContinousStatusClick();
    void mnuMainViewStopContinousStatusClick();
    void mnuMainFileQuitClick();
    void mnuResetAllClick();
    void mnuMainHelpTopicsClick();
    void mnuMainHelpAboutClick();

protected:
    void closeEvent(QCloseEvent *event) override;  // FormClose

private:
    struct CheckedEdit {
        QLineEdit *edit;
        NumericEdit check;
    };

    void setUpControls();
    void setUpGroups();
    void setUpEdits();
    void setUpSummaryTable();
    void setUpListViews();
    void connectOperations();
    void applySettings(const MonitorSettings &settings);
    MonitorSettings currentSettings();
    void applyStartOptions(const StartOptions &options);
    CheckedEdit &checked(QLineEdit *edit);
    void setFilterChoice(const std::array<QRadioButton *, 3> &choices, int choice);
    void followFilterChoice(const std::array<QRadioButton *, 3> &choices, QLineEdit *min, QLineEdit *max);

    std::unique_ptr<Ui::MainWindow> ui_;
    MessageBoxes &boxes_;
    QLabel *statusLine_ = nullptr;
    About *about_ = nullptr;
    CommandGroups groups_;
    std::vector<CheckedEdit> edits_;
    std::array<int, 3> storedFilterChoices_{};  // kept when none of a group's choices is marked
    SettingsStore store_;
    bool writeSettingsAtQuit_ = true;
    bool closing_ = false;
    std::unique_ptr<GuiView> view_;
    std::unique_ptr<MonitorController> controller_;  // last: its threads use everything above
};

} // namespace vexal::monitor
