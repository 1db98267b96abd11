// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitesWindow.h"

#include "Controls.h"
#include "SitesChart.h"
#include "ui_SitesWindow.h"

#include <list/RecordTable.h>

#include <QAction>
#include <QHeaderView>
#include <QItemSelection>
#include <QThread>

namespace vexal::monitor {

SitesWindow::SitesWindow(QWidget *parent) : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::SitesWindow>())
{
    ui_->setupUi(this);
    model_ = new SitesModel(this);
    QTableView *view = ui_->lvwSites;
    view->setModel(model_);
    showsRowsOfRecords(view);
    view->setSortingEnabled(true);
    view->sortByColumn(int(SiteColumn::Verdict), Qt::DescendingOrder);
    view->horizontalHeader()->setStretchLastSection(true);
    // Fixed widths: measuring ten thousand rows' texts at every refresh
    // would cost more than the refresh.
    const std::pair<SiteColumn, int> widths[] = {{SiteColumn::Site, 220},   {SiteColumn::Function, 80},
                                                 {SiteColumn::Blocks, 80},  {SiteColumn::Bytes, 100},
                                                 {SiteColumn::Change, 150}, {SiteColumn::Growth, 120}};
    for (const auto &[column, width] : widths)
        view->setColumnWidth(int(column), width);
    ui_->chtSites->setMinimumHeight(200);
    ui_->splSites->setSizes({320, 240});
    setUpActions();
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selectionChanged(); });
    setSitesConnected(false);
    selectionChanged();
}

SitesWindow::~SitesWindow() = default;

QAction *SitesWindow::action(const char *name, const QString &text, const QString &hint, bool checkable)
{
    auto *made = new QAction(text, this);
    made->setObjectName(QLatin1String(name));
    made->setToolTip(hint);
    made->setCheckable(checkable);
    addAction(made);
    return made;
}

void SitesWindow::setUpActions()
{
    refresh_ = action("mnuSitesRefresh", QStringLiteral("Refresh now"), QStringLiteral("Get the leak sites now"));
    refresh_->setShortcut(QKeySequence::Refresh);
    autoRefresh_ = action("mnuSitesAutoRefresh", QStringLiteral("Refresh every"),
                          QStringLiteral("Get the leak sites again and again, at the period beside"), true);
    mark_ = action("mnuSitesMark", QStringLiteral("Mark"),
                   QStringLiteral("Count the change from the last refresh, and remember the application's index"));
    sinceMark_ = action("mnuSitesSinceMark", QStringLiteral("Only since the mark"),
                        QStringLiteral("Count only the blocks made since the mark"), true);
    generate_ = action("mnuSitesGenerate", QStringLiteral("Generate"),
                       QStringLiteral("Put VexalFreeThese statements for the selected sites into the main window"));
    const std::pair<QToolButton *, QAction *> buttons[] = {{ui_->btnSitesRefresh, refresh_},
                                                           {ui_->btnSitesAutoRefresh, autoRefresh_},
                                                           {ui_->btnSitesMark, mark_},
                                                           {ui_->btnSitesSinceMark, sinceMark_},
                                                           {ui_->btnSitesGenerate, generate_}};
    for (const auto &[button, operation] : buttons) {
        runsAction(button, operation);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }

    auto periodMs = [this] { return ui_->updSitesPeriod->value() * 1000; };
    connect(refresh_, &QAction::triggered, this, [this] { controller_->refresh(); });
    connect(autoRefresh_, &QAction::toggled, this, [this, periodMs](bool on) { controller_->setAutomatic(on, periodMs()); });
    connect(ui_->updSitesPeriod, &QSpinBox::valueChanged, this, [this, periodMs] { controller_->setPeriod(periodMs()); });
    connect(mark_, &QAction::triggered, this, [this] { controller_->mark(); });
    connect(sinceMark_, &QAction::toggled, this, [this](bool on) { controller_->setSinceMark(on); });
    connect(generate_, &QAction::triggered, this, [this] { controller_->generate(selectedSites()); });
}

void SitesWindow::onGuiThread(std::function<void()> work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    // Dropped with the window.
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void SitesWindow::setFullPath(bool fullPath)
{
    model_->setFullPath(fullPath);
    updateChart();
}

void SitesWindow::showSites(std::shared_ptr<const SitesFrame> frame)
{
    onGuiThread([this, frame = std::move(frame)] { applyFrame(frame); });
}

void SitesWindow::applyFrame(std::shared_ptr<const SitesFrame> frame)
{
    // The rows change; the selection stays with its sites.
    const std::vector<SiteKey> selected = selectedSites();
    // One chart update, below, not one for the reset and one for the selection.
    const QSignalBlocker quiet(ui_->lvwSites->selectionModel());
    model_->setFrame(std::move(frame));
    QItemSelection selection;
    for (const SiteKey &key : selected) {
        const int row = model_->rowOf(key);
        if (row >= 0)
            selection.select(model_->index(row, 0), model_->index(row, SiteColumnCount - 1));
    }
    if (!selection.isEmpty())
        ui_->lvwSites->selectionModel()->select(selection, QItemSelectionModel::Select);
    selectionChanged();
}

void SitesWindow::setSitesStatus(const QString &text)
{
    onGuiThread([this, text] { ui_->lblSitesStatus->setText(text); });
}

void SitesWindow::setSitesNotice(const QString &text)
{
    onGuiThread([this, text] {
        ui_->lblSitesNotice->setText(text);
        ui_->lblSitesNotice->setVisible(!text.isEmpty());
    });
}

void SitesWindow::setSitesConnected(bool connected)
{
    onGuiThread([this, connected] {
        connected_ = connected;
        for (QAction *operation : {refresh_, autoRefresh_, mark_})
            operation->setEnabled(connected);
        ui_->updSitesPeriod->setEnabled(connected);
        if (!connected)
            sinceMark_->setEnabled(false);
    });
}

void SitesWindow::setAutoRefreshChecked(bool on)
{
    onGuiThread([this, on] { autoRefresh_->setChecked(on); });
}

void SitesWindow::setMarked(bool marked, int64_t index)
{
    onGuiThread([this, marked, index] {
        ui_->lblSitesMark->setText(marked ? QStringLiteral("Mark at index %1").arg(index) : QStringLiteral("No mark"));
        sinceMark_->setEnabled(marked && connected_);
        if (!marked) {
            const QSignalBlocker quiet(sinceMark_);  // the rules cleared it already
            sinceMark_->setChecked(false);
        }
    });
}

QTableView *SitesWindow::table() const { return ui_->lvwSites; }

SitesChart *SitesWindow::chart() const { return ui_->chtSites; }

QString SitesWindow::statusText() const { return ui_->lblSitesStatus->text(); }

std::vector<SiteKey> SitesWindow::selectedSites() const
{
    std::vector<SiteKey> keys;
    for (qsizetype row : selectedRows(ui_->lvwSites))
        keys.push_back(model_->siteRow(int(row)).site.key);
    return keys;
}

void SitesWindow::selectionChanged()
{
    generate_->setEnabled(ui_->lvwSites->selectionModel()->hasSelection());
    updateChart();
}

void SitesWindow::updateChart()
{
    std::vector<SiteKey> keys = selectedSites();
    const std::size_t selected = keys.size();
    QString title;
    if (keys.empty() && model_->frame()) {
        for (int row : largestRows(*model_->frame(), kLargestShown))
            keys.push_back(model_->frame()->rows[std::size_t(row)].site.key);
        title = QStringLiteral("Live bytes of the %1 largest sites").arg(keys.size());
    } else if (selected > SitesChart::kLinesMax) {
        keys.resize(SitesChart::kLinesMax);
        title = QStringLiteral("Live bytes of %1 of the %2 selected sites").arg(keys.size()).arg(selected);
    } else if (selected > 0) {
        title = QStringLiteral("Live bytes of the selected sites");
    }
    std::vector<SitesChart::Line> lines;
    for (const SiteKey &key : keys) {
        const QString name = siteName(key, model_->fullPath()) + u' ' + QString::fromLatin1(RecordTable::typeName(key.type));
        lines.push_back({name, controller_ ? controller_->bytesOverTime(key) : QList<QPointF>()});
    }
    ui_->chtSites->show(lines, title);
}

} // namespace vexal::monitor
