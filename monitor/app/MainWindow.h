// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's main window: the frame (menu bar, status line, fixed size),
// one action per operation with its handler, and the pages that show what
// the monitor core asks for. The rules live in MonitorController.
#pragma once

#include "CommandGroups.h"

#include <settings/SettingsStore.h>
#include <window/MonitorController.h>
#include <window/SaveCommands.h>

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>

namespace Ui {
class MainWindow;
}

class QLabel;

namespace vexal::monitor {

class About;
class FileDialogs;
class SitesWindow;
class GuiView;
class MessageBoxes;
struct MonitorSettings;
struct WindowActions;

// What the command line asks for this run.
struct StartOptions {
    std::optional<std::array<QString, 4>> address;
    std::optional<QString> port;
    bool connect = false;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(MessageBoxes &boxes, const StartOptions &options = {}, FileDialogs *dialogs = nullptr,
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    MonitorController &controller() { return *controller_; }
    SitesWindow &sitesWindow() { return *sites_; }
    QString statusText() const;

public slots:
    void mnuMainFileConnectClick();
    void mnuMainFileDisconnectClick();
    void mnuMainControlPauseClick();
    void mnuMainControlReleaseClick();
    void mnuMainViewSingleStatusClick();
    void mnuMainViewContinousStatusClick();
    void mnuMainViewStopContinousStatusClick();
    void mnuMainViewGetListClick();
    void mnuMainViewSitesClick();
    void OnListColClick(int column);
    void mnuMainCodeGenerateClick();
    void mnuMainFileSaveStatusClick();
    void mnuMainFileSaveAsClick();
    void mnuMainFileSaveListClick();
    void mnuMainFileSaveListAsClick();
    void mnuMainFileSaveCodeClick();
    void mnuMainFileSaveCodeAsClick();
    void mnuMainFileSaveClick();
    void mnuMainFileQuitClick();
    void mnuResetAllClick();
    void mnuMainHelpTopicsClick();
    void mnuMainHelpAboutClick();

protected:
    void closeEvent(QCloseEvent *event) override;  // FormClose

private:
    void setUpFrame();
    WindowActions actions() const;
    void setUpPages();
    void setUpGroups();
    void connectOperations();
    void applySettings(const MonitorSettings &settings);
    void applyStartOptions(const StartOptions &options);
    MonitorSettings currentSettings();
    SaveCommands::Contents summaryContents();
    SaveCommands::Contents listContents();
    SaveCommands::Contents codeContents();

    std::unique_ptr<Ui::MainWindow> ui_;
    MessageBoxes &boxes_;
    FileDialogs &dialogs_;
    QLabel *statusLine_ = nullptr;
    About *about_ = nullptr;
    SitesWindow *sites_ = nullptr;
    CommandGroups groups_;
    SettingsStore store_;
    bool writeSettingsAtQuit_ = true;
    bool closing_ = false;
    std::unique_ptr<GuiView> view_;
    std::unique_ptr<SaveCommands> saving_;
    std::unique_ptr<MonitorController> controller_;  // last: its threads use everything above
};

} // namespace vexal::monitor
