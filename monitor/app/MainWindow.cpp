// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "About.h"
#include "Glyphs.h"
#include "GuiView.h"
#include "HelpPage.h"
#include "MessageBoxes.h"
#include "ui_MainWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTimer>
#include <QUrl>

namespace vexal::monitor {

namespace {

// The client area at 96 dots per inch: the menu bar comes on top.
constexpr int kClientWidth = 922;
constexpr int kClientHeight = 654;
constexpr int kStatusBarHeight = 19;

const QString kNotAvailable = QStringLiteral("N/A");
const QString kThisProgram = QStringLiteral("A call from this program");

void paintBackground(QLineEdit *edit, const QColor &colour)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, colour);
    edit->setPalette(palette);
}

// Marks exactly the buttons whose value is `value`, none when no value matches.
template <class Button>
void markExactly(const std::vector<std::pair<Button *, int>> &buttons, int value)
{
    for (auto [button, buttonValue] : buttons) {
        button->setAutoExclusive(false);
        button->setChecked(buttonValue == value);
        button->setAutoExclusive(true);
    }
}

} // namespace

MainWindow::MainWindow(MessageBoxes &boxes, const StartOptions &options, QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindow>()), boxes_(boxes)
{
    ui_->setupUi(this);
    view_ = std::make_unique<GuiView>(*this);
    controller_ = std::make_unique<MonitorController>(*view_);
    setUpControls();
    setUpGroups();
    setUpEdits();
    setUpSummaryTable();
    setUpListViews();
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

void MainWindow::setUpControls()
{
    ui_->centralWidget->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
    ui_->stbStatusBar->setFixedHeight(kStatusBarHeight);
    statusLine_ = new QLabel(ui_->stbStatusBar);
    statusLine_->setObjectName(QStringLiteral("stbStatusText"));
    ui_->stbStatusBar->addWidget(statusLine_, 1);
    setFixedSize(kClientWidth, kClientHeight + ui_->mnuMain->sizeHint().height());
    QApplication::setWindowIcon(glyph(Glyph::Program));  // the About window shows it too

    // One action per operation; its buttons show its glyph and its hint.
    const std::vector<std::tuple<QAction *, Glyph, std::vector<QToolButton *>>> operations = {
        {ui_->mnuMainFileConnect, Glyph::Connect, {ui_->btnConnect, ui_->btnConnectCopy}},
        {ui_->mnuMainFileDisconnect, Glyph::Disconnect, {ui_->btnDisconnect, ui_->btnDisconnectCopy}},
        {ui_->mnuMainControlPause, Glyph::Pause, {ui_->btnPauseAppl, ui_->btnPauseApplCopy}},
        {ui_->mnuMainControlRelease, Glyph::Release, {ui_->btnContAppl, ui_->btnContApplCopy}},
        {ui_->mnuMainViewSingleStatus, Glyph::SingleSummary, {ui_->btnGetSingleStatus, ui_->btnGetSingleStatusCopy}},
        {ui_->mnuMainViewContinousStatus, Glyph::StartContinuous,
         {ui_->btnGetContinousStatus, ui_->btnGetContinousStatusCopy}},
        {ui_->mnuMainViewStopContinousStatus, Glyph::StopContinuous,
         {ui_->btnStopContinousStatus, ui_->btnStopContinousStatusCopy}},
        {ui_->mnuMainViewGetList, Glyph::GetList, {ui_->btnGetList, ui_->btnGetListCopy}},
        {ui_->mnuMainCodeGenerate, Glyph::GenerateCode, {ui_->btnGenerateCode, ui_->btnGenerateCodeCopy}},
        {ui_->mnuMainFileSave, Glyph::Save, {ui_->btnSaveAll}},
        {ui_->mnuMainFileQuit, Glyph::Exit, {ui_->btnExit}},
        {ui_->mnuMainFileSaveStatus, Glyph::Save, {ui_->btnSaveStatus}},
        {ui_->mnuMainFileSaveList, Glyph::Save, {ui_->btnSaveList}},
        {ui_->mnuMainFileSaveCode, Glyph::Save, {ui_->btnSaveCode}},
    };
    for (const auto &[action, picture, buttons] : operations) {
        action->setIcon(glyph(picture));
        for (QToolButton *button : buttons) {
            button->setDefaultAction(action);
            button->setAccessibleName(action->toolTip());
            button->setIconSize(QSize(18, 18));
        }
    }
    // The rates: menu items and radio buttons mark the same period.
    auto *rates = new QActionGroup(this);
    rates->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *action : {ui_->mnuMainViewContinousStatusSlow, ui_->mnuMainViewContinousStatusNormal,
                            ui_->mnuMainViewContinousStatusFast, ui_->mnuMainViewContinousStatusUltra})
        rates->addAction(action);

    ui_->updIndent->findChild<QLineEdit *>()->setObjectName(QStringLiteral("edtIndentations"));
    ui_->lblLoadingList->lower();
}

void MainWindow::setUpGroups()
{
    using G = CommandGroup;
    Ui::MainWindow &u = *ui_;
    groups_.add(G::Connect, u.mnuMainFileConnect);
    groups_.add(G::Connect, u.cbxAutoSummary);
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
    groups_.add(G::ShowFullPath, u.chbShowFullPath);
    groups_.add(G::Pause, u.mnuMainControlPause);
    groups_.add(G::Release, u.mnuMainControlRelease);
    groups_.add(G::GenerateCode, u.mnuMainCodeGenerate);
    groups_.add(G::SaveCode, u.mnuMainFileSaveCode);
    groups_.add(G::SaveCode, u.mnuMainFileSaveCodeAs);
}

void MainWindow::setUpEdits()
{
    Ui::MainWindow &u = *ui_;
    const std::vector<std::pair<QLineEdit *, qint64>> checkedEdits = {
        {u.edtIP0, kAddressPartMaximum},   {u.edtIP1, kAddressPartMaximum},  {u.edtIP2, kAddressPartMaximum},
        {u.edtIP3, kAddressPartMaximum},   {u.edtPortNumber, kPortMaximum},  {u.edtLineMin, kFilterMaximum},
        {u.edtLineMax, kFilterMaximum},    {u.edtSizeMin, kFilterMaximum},   {u.edtSizeMax, kFilterMaximum},
        {u.edtIndexMin, kFilterMaximum},   {u.edtIndexMax, kFilterMaximum}};
    edits_.reserve(checkedEdits.size());
    for (const auto &[edit, maximum] : checkedEdits)
        edits_.push_back({edit, NumericEdit(edit->text(), maximum)});
    // The numeric check on every change of the text (edtIP0Change, ...).
    for (CheckedEdit &entry : edits_) {
        QLineEdit *edit = entry.edit;
        connect(edit, &QLineEdit::textChanged, this, [this, edit](const QString &text) {
            const QString &shown = checked(edit).check.change(text);
            if (shown != text) {
                edit->setText(shown);
                edit->setCursorPosition(static_cast<int>(shown.size()));
            }
        });
    }

    // The filter groups: only the between choice takes numbers from its edits.
    const std::vector<std::tuple<std::array<QRadioButton *, 3>, QLineEdit *, QLineEdit *>> filters = {
        {{u.rbnAllLines, u.rbnOneLine, u.rbnMinMaxLines}, u.edtLineMin, u.edtLineMax},
        {{u.rbnAllSizes, u.rbnOneSize, u.rbnMinMaxSizes}, u.edtSizeMin, u.edtSizeMax},
        {{u.rbnAllIndexes, u.rbnOneIndex, u.rbnMinMaxIndexes}, u.edtIndexMin, u.edtIndexMax}};
    for (const auto &[choices, min, max] : filters) {
        for (QRadioButton *choice : choices)
            connect(choice, &QRadioButton::toggled, this,
                    [this, choices = choices, min = min, max = max] { followFilterChoice(choices, min, max); });
        followFilterChoice(choices, min, max);
    }
    u.updIndent->setWrapping(false);
}

void MainWindow::followFilterChoice(const std::array<QRadioButton *, 3> &choices, QLineEdit *min, QLineEdit *max)
{
    const bool between = choices[kBetweenChoice]->isChecked();
    for (QLineEdit *edit : {min, max}) {
        edit->setEnabled(between);
        paintBackground(edit, palette().color(between ? QPalette::Base : QPalette::Button));
    }
}

MainWindow::CheckedEdit &MainWindow::checked(QLineEdit *edit)
{
    for (CheckedEdit &entry : edits_) {
        if (entry.edit == edit)
            return entry;
    }
    return edits_.front();
}

void MainWindow::setUpSummaryTable()
{
    QTableWidget *table = ui_->lvwStatus;
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({QStringLiteral("Function"), QStringLiteral("No of calls"),
                                      QStringLiteral("Allocated (B)")});
    table->setColumnWidth(0, 72);
    table->setColumnWidth(1, 90);
    table->setColumnWidth(2, 91);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(true);
    table->setSortingEnabled(false);
}

void MainWindow::setUpListViews()
{
    // The list and code views are filled by the list fetch and the code
    // synthesis; until then they show their columns.
    auto *list = new QStandardItemModel(0, 7, ui_->lvwList);
    list->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Line"), QStringLiteral("Mem Type"),
                                     QStringLiteral("Memory (B)"), QStringLiteral("Thread Id"), QStringLiteral("Index"),
                                     QStringLiteral("Pointer")});
    ui_->lvwList->setModel(list);
    const int listWidths[] = {100, 54, 74, 70, 70, 60, 70};
    for (int column = 0; column < 7; ++column)
        ui_->lvwList->setColumnWidth(column, listWidths[column]);
    auto *code = new QStandardItemModel(0, 2, ui_->lvwCode);
    code->setHorizontalHeaderLabels({QStringLiteral("Index"), QStringLiteral("Code Lines")});
    ui_->lvwCode->setModel(code);
    ui_->lvwCode->setColumnWidth(0, 50);
    ui_->lvwCode->setColumnWidth(1, ui_->lvwCode->width() - 50 - 24);
    for (QTableView *view : {ui_->lvwList, ui_->lvwCode}) {
        view->verticalHeader()->hide();
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
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
    connect(u.mnuMainFileQuit, &QAction::triggered, this, &MainWindow::mnuMainFileQuitClick);
    connect(u.mnuResetAll, &QAction::triggered, this, &MainWindow::mnuResetAllClick);
    connect(u.mnuMainHelpTopics, &QAction::triggered, this, &MainWindow::mnuMainHelpTopicsClick);
    connect(u.mnuMainHelpAbout, &QAction::triggered, this, &MainWindow::mnuMainHelpAboutClick);
    // A rate chosen by the user; marking them is no choice (clicked and
    // triggered come from the user only).
    const std::vector<std::tuple<QAction *, QRadioButton *, int>> rates = {
        {u.mnuMainViewContinousStatusSlow, u.rbnSlow, kPeriodSlow},
        {u.mnuMainViewContinousStatusNormal, u.rbnNormal, kPeriodNormal},
        {u.mnuMainViewContinousStatusFast, u.rbnFast, kPeriodFast},
        {u.mnuMainViewContinousStatusUltra, u.rbnUltra, kPeriodUltra}};
    for (const auto &[action, radio, period] : rates) {
        connect(action, &QAction::triggered, this, [this, period = period] { controller_->changeRate(period); });
        connect(radio, &QRadioButton::clicked, this, [this, period = period] { controller_->changeRate(period); });
    }
}

void MainWindow::applySettings(const MonitorSettings &s)
{
    Ui::MainWindow &u = *ui_;
    move(s.mainLeft, s.mainTop);
    // Stored texts become the last valid texts unchecked.
    const std::vector<std::pair<QLineEdit *, QString>> texts = {
        {u.edtIP0, s.ipAddress[0]}, {u.edtIP1, s.ipAddress[1]},     {u.edtIP2, s.ipAddress[2]},
        {u.edtIP3, s.ipAddress[3]}, {u.edtPortNumber, s.portNumber}, {u.edtLineMin, s.minLine},
        {u.edtLineMax, s.maxLine},  {u.edtSizeMin, s.minSize},       {u.edtSizeMax, s.maxSize},
        {u.edtIndexMin, s.minIndex}, {u.edtIndexMax, s.maxIndex}};
    for (const auto &[edit, text] : texts) {
        checked(edit).check.setLastValid(text);
        edit->setText(text);
    }
    u.cbxAutoSummary->setChecked(s.autoStart);
    u.chbShowFullPath->setChecked(s.fullPath);
    storedFilterChoices_ = {s.lineCheck, s.sizeCheck, s.indexCheck};
    setFilterChoice({u.rbnAllLines, u.rbnOneLine, u.rbnMinMaxLines}, s.lineCheck);
    setFilterChoice({u.rbnAllSizes, u.rbnOneSize, u.rbnMinMaxSizes}, s.sizeCheck);
    setFilterChoice({u.rbnAllIndexes, u.rbnOneIndex, u.rbnMinMaxIndexes}, s.indexCheck);
    u.cbxFileRemove->setChecked(s.skipFileName);
    u.cbxThreadRemove->setChecked(s.callingThread);
    markExactly<QRadioButton>({{u.rbnSpaces, 1}, {u.rbnTabs, 2}}, s.spaces ? 1 : s.tabs ? 2 : 0);
    u.updIndent->setValue(s.indentation);
}

void MainWindow::setFilterChoice(const std::array<QRadioButton *, 3> &choices, int choice)
{
    markExactly<QRadioButton>({{choices[0], kAllChoice}, {choices[1], kExactChoice}, {choices[2], kBetweenChoice}},
                              choice);
}

MonitorSettings MainWindow::currentSettings()
{
    Ui::MainWindow &u = *ui_;
    auto lastValid = [this](QLineEdit *edit) { return checked(edit).check.lastValid(); };
    auto choice = [](const std::array<QRadioButton *, 3> &choices, int stored) {
        for (int i = 0; i < 3; ++i) {
            if (choices[static_cast<std::size_t>(i)]->isChecked())
                return i;
        }
        return stored;  // none marked: what was read is written back
    };
    MonitorSettings s;
    s.mainTop = pos().y();
    s.mainLeft = pos().x();
    s.ipAddress = {lastValid(u.edtIP0), lastValid(u.edtIP1), lastValid(u.edtIP2), lastValid(u.edtIP3)};
    s.portNumber = lastValid(u.edtPortNumber);
    s.autoStart = u.cbxAutoSummary->isChecked();
    s.videoSpeed = controller_->period();
    s.fullPath = u.chbShowFullPath->isChecked();
    s.lineCheck = choice({u.rbnAllLines, u.rbnOneLine, u.rbnMinMaxLines}, storedFilterChoices_[0]);
    s.sizeCheck = choice({u.rbnAllSizes, u.rbnOneSize, u.rbnMinMaxSizes}, storedFilterChoices_[1]);
    s.indexCheck = choice({u.rbnAllIndexes, u.rbnOneIndex, u.rbnMinMaxIndexes}, storedFilterChoices_[2]);
    s.minLine = lastValid(u.edtLineMin);
    s.maxLine = lastValid(u.edtLineMax);
    s.minSize = lastValid(u.edtSizeMin);
    s.maxSize = lastValid(u.edtSizeMax);
    s.minIndex = lastValid(u.edtIndexMin);
    s.maxIndex = lastValid(u.edtIndexMax);
    s.skipFileName = u.cbxFileRemove->isChecked();
    s.callingThread = u.cbxThreadRemove->isChecked();
    s.spaces = u.rbnSpaces->isChecked();
    s.tabs = u.rbnTabs->isChecked();
    s.indentation = u.updIndent->value();
    return s;
}

void MainWindow::applyStartOptions(const StartOptions &options)
{
    std::vector<std::pair<QLineEdit *, QString>> texts;
    if (options.address) {
        const std::array<QLineEdit *, 4> parts = {ui_->edtIP0, ui_->edtIP1, ui_->edtIP2, ui_->edtIP3};
        for (std::size_t i = 0; i < parts.size(); ++i)
            texts.emplace_back(parts[i], (*options.address)[i]);
    }
    if (options.port)
        texts.emplace_back(ui_->edtPortNumber, *options.port);
    for (const auto &[edit, text] : texts) {
        checked(edit).check.setLastValid(text);
        edit->setText(text);
    }
}

QString MainWindow::statusText() const { return statusLine_->text(); }

void MainWindow::showStatus(const QString &text) { statusLine_->setText(text); }

void MainWindow::enableGroup(CommandGroup group, bool enabled) { groups_.setEnabled(group, enabled); }

void MainWindow::showCursor(Cursor cursor)
{
    if (cursor == Cursor::Default) {
        while (QGuiApplication::overrideCursor() != nullptr)
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    const QCursor shape(cursor == Cursor::Wait ? Qt::WaitCursor : Qt::BusyCursor);
    if (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::changeOverrideCursor(shape);
    else
        QGuiApplication::setOverrideCursor(shape);
}

void MainWindow::showPausedMark(const QString &text) { ui_->lblOnOff->setText(text); }

void MainWindow::showOrigin(const Origin &origin)
{
    const QColor buttonFace = palette().color(QPalette::Button);
    switch (origin.kind) {
    case OriginKind::None:
        ui_->edtVXGDataFile->setText(kNotAvailable);
        paintBackground(ui_->edtVXGDataFile, buttonFace);
        break;
    case OriginKind::ThisProgram:
        ui_->edtVXGDataFile->setText(kThisProgram);
        paintBackground(ui_->edtVXGDataFile, palette().color(QPalette::Base));
        break;
    case OriginKind::Application:
        ui_->edtVXGDataFile->setText(origin.file);
        ui_->edtVXGDataLine->setText(QString::number(origin.line));
        paintBackground(ui_->edtVXGDataFile, Qt::yellow);
        paintBackground(ui_->edtVXGDataLine, Qt::yellow);
        return;
    }
    ui_->edtVXGDataLine->setText(kNotAvailable);
    paintBackground(ui_->edtVXGDataLine, buttonFace);
}

void MainWindow::resetSummaryViews(const QString &chartTitle)
{
    ui_->lvwStatus->setRowCount(0);
    ui_->Chart1->reset(chartTitle);
}

void MainWindow::showSummary(const SummaryUpdate &update)
{
    QTableWidget *table = ui_->lvwStatus;
    if (table->rowCount() < static_cast<int>(update.rows.size()))
        table->setRowCount(static_cast<int>(update.rows.size()));
    for (int row = 0; row < static_cast<int>(update.rows.size()); ++row) {
        const SummaryRow &values = update.rows[static_cast<std::size_t>(row)];
        const QString cells[] = {values.caption, values.calls, values.bytes};
        for (int column = 0; column < 3; ++column) {
            QTableWidgetItem *item = table->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                if (column > 0)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table->setItem(row, column, item);
            }
            item->setText(cells[column]);
        }
    }
    ui_->Chart1->apply(update);
}

void MainWindow::showListCounters(const QString &text)
{
    for (QLabel *counter : {ui_->lblNumberValueOfRecords, ui_->lblNoFilesData, ui_->lblNoUniquesData,
                            ui_->lblNoThreadsData})
        counter->setText(text);
}

void MainWindow::markRate(int periodMs)
{
    Ui::MainWindow &u = *ui_;
    markExactly<QRadioButton>(
        {{u.rbnSlow, kPeriodSlow}, {u.rbnNormal, kPeriodNormal}, {u.rbnFast, kPeriodFast}, {u.rbnUltra, kPeriodUltra}},
        periodMs);
    for (QRadioButton *radio : {u.rbnSlow, u.rbnNormal, u.rbnFast, u.rbnUltra}) {
        QAction *item = radio == u.rbnSlow     ? u.mnuMainViewContinousStatusSlow
                        : radio == u.rbnNormal ? u.mnuMainViewContinousStatusNormal
                        : radio == u.rbnFast   ? u.mnuMainViewContinousStatusFast
                                               : u.mnuMainViewContinousStatusUltra;
        item->setChecked(radio->isChecked());
    }
}

void MainWindow::showMessage(const MessageBox &box) { boxes_.inform(this, box); }

bool MainWindow::ask(const MessageBox &box) { return boxes_.ask(this, box); }

void MainWindow::mnuMainFileConnectClick()
{
    const Ui::MainWindow &u = *ui_;
    const QString address = u.edtIP0->text() + u'.' + u.edtIP1->text() + u'.' + u.edtIP2->text() + u'.' + u.edtIP3->text();
    controller_->connect(address, u.edtPortNumber->text().toInt(), u.cbxAutoSummary->isChecked());
}

void MainWindow::mnuMainFileDisconnectClick() { controller_->disconnect(); }

void MainWindow::mnuMainControlPauseClick() { controller_->pause(); }

void MainWindow::mnuMainControlReleaseClick() { controller_->release(); }

void MainWindow::mnuMainViewSingleStatusClick() { controller_->singleSummary(); }

void MainWindow::mnuMainViewContinousStatusClick() { controller_->startContinuous(); }

void MainWindow::mnuMainViewStopContinousStatusClick() { controller_->stopContinuous(); }

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
        controller_->shutDown();
        if (writeSettingsAtQuit_)
            currentSettings().save(store_);
    }
    event->accept();
}

} // namespace vexal::monitor
