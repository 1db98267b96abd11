// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "About.h"
#include "AnalyzePage.h"
#include "ConnectionPage.h"
#include "FileDialogs.h"
#include "Glyphs.h"
#include "GuiView.h"
#include "HelpPage.h"
#include "ListPage.h"
#include "MessageBoxes.h"
#include "SitesWindow.h"
#include "SummaryPage.h"
#include "SynthesisPage.h"
#include "ToolBarPage.h"
#include "WindowActions.h"
#include "ui_MainWindow.h"

#include <settings/MonitorSettings.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QTimer>
#include <QUrl>

namespace vexal::monitor {

namespace {

// The client area at 96 dots per inch: the menu bar comes on top.
constexpr int kClientWidth = 922;
constexpr int kClientHeight = 654;
constexpr int kStatusBarHeight = 19;

} // namespace

MainWindow::MainWindow(MessageBoxes &boxes, const StartOptions &options, FileDialogs *dialogs, QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindow>()), boxes_(boxes),
      dialogs_(dialogs != nullptr ? *dialogs : desktopFileDialogs())
{
    ui_->setupUi(this);
    setUpFrame();
    AnalyzePage &analyze = *ui_->grbAnalyze;
    view_ = std::make_unique<GuiView>(WindowParts{*this, *statusLine_, groups_, boxes_, dialogs_, *ui_->grbConnect,
                                                  analyze, analyze.summary(), analyze.list(),
                                                  *ui_->grbGenGarbCollCode});
    saving_ = std::make_unique<SaveCommands>(*view_, store_);
    sites_ = new SitesWindow(this);
    controller_ = std::make_unique<MonitorController>(*view_, Connection::ThreadStarter{}, sites_);
    sites_->setController(&controller_->sites());
    setUpPages();
    setUpGroups();
    connectOperations();

    const MonitorSettings settings = MonitorSettings::load(store_);
    applySettings(settings);
    applyStartOptions(options);
    controller_->setUp(settings.videoSpeed);
    setWindowTitle(QApplication::applicationDisplayName());
    about_ = new About(this);

    if (options.connect)
        QTimer::singleShot(0, this, &MainWindow::mnuMainFileConnectClick);
}

MainWindow::~MainWindow()
{
    // The core's threads post to this window: end them before any widget goes.
    controller_.reset();
}

void MainWindow::setUpFrame()
{
    ui_->centralWidget->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
    ui_->stbStatusBar->setFixedHeight(kStatusBarHeight);
    statusLine_ = new QLabel(ui_->stbStatusBar);
    statusLine_->setObjectName(QStringLiteral("stbStatusText"));
    ui_->stbStatusBar->addWidget(statusLine_, 1);
    setFixedSize(kClientWidth, kClientHeight + ui_->mnuMain->sizeHint().height());
    QApplication::setWindowIcon(glyph(Glyph::Program));  // the About window shows it too

    const std::vector<std::pair<QAction *, Glyph>> glyphs = {
        {ui_->mnuMainFileConnect, Glyph::Connect},
        {ui_->mnuMainFileDisconnect, Glyph::Disconnect},
        {ui_->mnuMainControlPause, Glyph::Pause},
        {ui_->mnuMainControlRelease, Glyph::Release},
        {ui_->mnuMainViewSingleStatus, Glyph::SingleSummary},
        {ui_->mnuMainViewContinousStatus, Glyph::StartContinuous},
        {ui_->mnuMainViewStopContinousStatus, Glyph::StopContinuous},
        {ui_->mnuMainViewGetList, Glyph::GetList},
        {ui_->mnuMainCodeGenerate, Glyph::GenerateCode},
        {ui_->mnuMainFileSave, Glyph::Save},
        {ui_->mnuMainFileQuit, Glyph::Exit},
        {ui_->mnuMainFileSaveStatus, Glyph::Save},
        {ui_->mnuMainFileSaveList, Glyph::Save},
        {ui_->mnuMainFileSaveCode, Glyph::Save},
    };
    for (const auto &[action, picture] : glyphs)
        action->setIcon(glyph(picture));
}

WindowActions MainWindow::actions() const
{
    const Ui::MainWindow &u = *ui_;
    WindowActions a;
    a.connect = u.mnuMainFileConnect;
    a.disconnect = u.mnuMainFileDisconnect;
    a.pause = u.mnuMainControlPause;
    a.release = u.mnuMainControlRelease;
    a.singleSummary = u.mnuMainViewSingleStatus;
    a.startContinuous = u.mnuMainViewContinousStatus;
    a.stopContinuous = u.mnuMainViewStopContinousStatus;
    a.getList = u.mnuMainViewGetList;
    a.generateCode = u.mnuMainCodeGenerate;
    a.saveAll = u.mnuMainFileSave;
    a.quit = u.mnuMainFileQuit;
    a.saveSummary = u.mnuMainFileSaveStatus;
    a.saveList = u.mnuMainFileSaveList;
    a.saveCode = u.mnuMainFileSaveCode;
    a.rates = {u.mnuMainViewContinousStatusSlow, u.mnuMainViewContinousStatusNormal,
               u.mnuMainViewContinousStatusFast, u.mnuMainViewContinousStatusUltra};
    return a;
}

void MainWindow::setUpPages()
{
    const WindowActions all = actions();
    AnalyzePage &analyze = *ui_->grbAnalyze;
    ui_->Panel1->setUp(all);
    ui_->grbConnect->setUp(all, groups_);
    analyze.summary().setUp(all, *ui_->Chart1);
    analyze.list().setUp(all, groups_);
    ui_->grbGenGarbCollCode->setUp(all);
}

void MainWindow::setUpGroups()
{
    using G = CommandGroup;
    Ui::MainWindow &u = *ui_;
    groups_.add(G::Connect, u.mnuMainFileConnect);
    groups_.add(G::Disconnect, u.mnuMainFileDisconnect);
    groups_.add(G::SingleSummary, u.mnuMainViewSingleStatus);
    groups_.add(G::StartContinuous, u.mnuMainViewContinousStatus);
    groups_.add(G::StopContinuous, u.mnuMainViewStopContinousStatus);
    groups_.add(G::GetList, u.mnuMainViewGetList);
    groups_.add(G::SaveSummary, u.mnuMainFileSaveStatus);
    groups_.add(G::SaveSummary, u.mnuMainFileSaveAs);
    groups_.add(G::SaveList, u.mnuMainFileSaveList);
    groups_.add(G::SaveList, u.mnuMainFileSaveListAs);
    groups_.add(G::SaveAll, u.mnuMainFileSave);
    groups_.add(G::Quit, u.mnuMainFileQuit);
    groups_.add(G::Pause, u.mnuMainControlPause);
    groups_.add(G::Release, u.mnuMainControlRelease);
    groups_.add(G::GenerateCode, u.mnuMainCodeGenerate);
    groups_.add(G::SaveCode, u.mnuMainFileSaveCode);
    groups_.add(G::SaveCode, u.mnuMainFileSaveCodeAs);
}

void MainWindow::connectOperations()
{
    Ui::MainWindow &u = *ui_;
    connect(u.mnuMainFileConnect, &QAction::triggered, this, &MainWindow::mnuMainFileConnectClick);
    connect(u.mnuMainFileDisconnect, &QAction::triggered, this, &MainWindow::mnuMainFileDisconnectClick);
    connect(u.mnuMainControlPause, &QAction::triggered, this, &MainWindow::mnuMainControlPauseClick);
    connect(u.mnuMainControlRelease, &QAction::triggered, this, &MainWindow::mnuMainControlReleaseClick);
    connect(u.mnuMainViewSingleStatus, &QAction::triggered, this, &MainWindow::mnuMainViewSingleStatusClick);
    connect(u.mnuMainViewContinousStatus, &QAction::triggered, this, &MainWindow::mnuMainViewContinousStatusClick);
    connect(u.mnuMainViewStopContinousStatus, &QAction::triggered, this,
            &MainWindow::mnuMainViewStopContinousStatusClick);
    connect(u.mnuMainViewGetList, &QAction::triggered, this, &MainWindow::mnuMainViewGetListClick);
    connect(u.mnuMainViewSites, &QAction::triggered, this, &MainWindow::mnuMainViewSitesClick);
    connect(&u.grbAnalyze->list(), &ListPage::fullPathChosen, sites_, &SitesWindow::setFullPath);
    connect(&u.grbAnalyze->list(), &ListPage::columnClicked, this, &MainWindow::OnListColClick);
    connect(u.mnuMainCodeGenerate, &QAction::triggered, this, &MainWindow::mnuMainCodeGenerateClick);
    connect(u.mnuMainFileSaveStatus, &QAction::triggered, this, &MainWindow::mnuMainFileSaveStatusClick);
    connect(u.mnuMainFileSaveAs, &QAction::triggered, this, &MainWindow::mnuMainFileSaveAsClick);
    connect(u.mnuMainFileSaveList, &QAction::triggered, this, &MainWindow::mnuMainFileSaveListClick);
    connect(u.mnuMainFileSaveListAs, &QAction::triggered, this, &MainWindow::mnuMainFileSaveListAsClick);
    connect(u.mnuMainFileSaveCode, &QAction::triggered, this, &MainWindow::mnuMainFileSaveCodeClick);
    connect(u.mnuMainFileSaveCodeAs, &QAction::triggered, this, &MainWindow::mnuMainFileSaveCodeAsClick);
    connect(u.mnuMainFileSave, &QAction::triggered, this, &MainWindow::mnuMainFileSaveClick);
    connect(u.mnuMainFileQuit, &QAction::triggered, this, &MainWindow::mnuMainFileQuitClick);
    connect(u.mnuResetAll, &QAction::triggered, this, &MainWindow::mnuResetAllClick);
    connect(u.mnuMainHelpTopics, &QAction::triggered, this, &MainWindow::mnuMainHelpTopicsClick);
    connect(u.mnuMainHelpAbout, &QAction::triggered, this, &MainWindow::mnuMainHelpAboutClick);
    connect(&u.grbAnalyze->summary(), &SummaryPage::rateChosen, this,
            [this](int periodMs) { controller_->changeRate(periodMs); });
}

void MainWindow::applySettings(const MonitorSettings &settings)
{
    move(settings.mainLeft, settings.mainTop);
    ui_->grbConnect->applySettings(settings);
    ui_->grbAnalyze->list().applySettings(settings);
    ui_->grbGenGarbCollCode->applySettings(settings);
    sites_->setFullPath(ui_->grbAnalyze->list().fullPath());
}

void MainWindow::applyStartOptions(const StartOptions &options)
{
    if (options.address)
        ui_->grbConnect->setAddressTexts(*options.address);
    if (options.port)
        ui_->grbConnect->setPortText(*options.port);
}

MonitorSettings MainWindow::currentSettings()
{
    MonitorSettings settings;
    settings.mainTop = pos().y();
    settings.mainLeft = pos().x();
    settings.videoSpeed = controller_->period();
    ui_->grbConnect->storeSettings(settings);
    ui_->grbAnalyze->list().storeSettings(settings);
    ui_->grbGenGarbCollCode->storeSettings(settings);
    return settings;
}

QString MainWindow::statusText() const { return statusLine_->text(); }

void MainWindow::mnuMainFileConnectClick()
{
    const ConnectionPage &page = *ui_->grbConnect;
    controller_->connect(page.address(), page.port(), page.autoStartContinuous());
}

void MainWindow::mnuMainFileDisconnectClick() { controller_->disconnect(); }

void MainWindow::mnuMainControlPauseClick() { controller_->pause(); }

void MainWindow::mnuMainControlReleaseClick() { controller_->release(); }

void MainWindow::mnuMainViewSingleStatusClick() { controller_->singleSummary(); }

void MainWindow::mnuMainViewContinousStatusClick() { controller_->startContinuous(); }

void MainWindow::mnuMainViewStopContinousStatusClick() { controller_->stopContinuous(); }

void MainWindow::mnuMainViewGetListClick() { controller_->getList(); }

void MainWindow::mnuMainViewSitesClick()
{
    sites_->show();
    sites_->raise();
    sites_->activateWindow();
}

void MainWindow::OnListColClick(int column)
{
    controller_->sortList(ui_->grbAnalyze->list().table(), ListColumn(column));
}

void MainWindow::mnuMainCodeGenerateClick()
{
    const ListPage &list = ui_->grbAnalyze->list();
    controller_->generateCode(list.table().get(), ui_->grbGenGarbCollCode->options(), list.selectedRows());
}

SaveCommands::Contents MainWindow::summaryContents()
{
    return [this](ByteWriter &out) { controller_->summaryFileContents(out); };
}

SaveCommands::Contents MainWindow::listContents()
{
    return [this](ByteWriter &out) {
        const ListPage &list = ui_->grbAnalyze->list();
        controller_->listFileContents(out, list.table().get(), list.fullPath(), list.selectedRows());
    };
}

SaveCommands::Contents MainWindow::codeContents()
{
    return [this](ByteWriter &out) {
        const SynthesisPage &code = *ui_->grbGenGarbCollCode;
        controller_->codeFileContents(out, code.code(), code.selectedRows(), code.indentation(), code.tabs());
    };
}

void MainWindow::mnuMainFileSaveStatusClick() { saving_->save(SavedFileKind::Summary, summaryContents()); }

void MainWindow::mnuMainFileSaveAsClick() { saving_->saveAs(SavedFileKind::Summary, summaryContents()); }

void MainWindow::mnuMainFileSaveListClick() { saving_->save(SavedFileKind::List, listContents()); }

void MainWindow::mnuMainFileSaveListAsClick() { saving_->saveAs(SavedFileKind::List, listContents()); }

void MainWindow::mnuMainFileSaveCodeClick() { saving_->save(SavedFileKind::Code, codeContents()); }

void MainWindow::mnuMainFileSaveCodeAsClick() { saving_->saveAs(SavedFileKind::Code, codeContents()); }

void MainWindow::mnuMainFileSaveClick()
{
    // Each kind whose Save is enabled, in this order; each may ask for its file.
    if (ui_->mnuMainFileSaveStatus->isEnabled())
        mnuMainFileSaveStatusClick();
    if (ui_->mnuMainFileSaveList->isEnabled())
        mnuMainFileSaveListClick();
    if (ui_->mnuMainFileSaveCode->isEnabled())
        mnuMainFileSaveCodeClick();
}

void MainWindow::mnuMainFileQuitClick() { close(); }

void MainWindow::mnuResetAllClick()
{
    if (!controller_->resetAndQuit(store_))
        return;
    // The next start is to find no settings: Quit must not write them again.
    writeSettingsAtQuit_ = false;
    close();
}

void MainWindow::mnuMainHelpTopicsClick()
{
    // Nothing is reported when the desktop cannot open the page.
    QDesktopServices::openUrl(QUrl::fromLocalFile(helpPagePath()));
}

void MainWindow::mnuMainHelpAboutClick() { about_->exec(); }

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!closing_) {
        closing_ = true;
        sites_->close();
        controller_->shutDown();
        if (writeSettingsAtQuit_)
            currentSettings().save(store_);
    }
    event->accept();
}

} // namespace vexal::monitor
