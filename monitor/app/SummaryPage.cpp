// SPDX-License-Identifier: GPL-3.0-or-later
#include "SummaryPage.h"

#include "ChartView.h"
#include "Controls.h"
#include "WindowActions.h"
#include "ui_SummaryPage.h"

#include <settings/MonitorSettings.h>

#include <QActionGroup>
#include <QHeaderView>

namespace vexal::monitor {

namespace {

constexpr std::array<int, 4> kRates = {kPeriodSlow, kPeriodNormal, kPeriodFast, kPeriodUltra};

} // namespace

SummaryPage::SummaryPage(QWidget *parent) : QGroupBox(parent), ui_(std::make_unique<Ui::SummaryPage>())
{
    ui_->setupUi(this);
    setUpTable();
}

SummaryPage::~SummaryPage() = default;

void SummaryPage::setUpTable()
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

void SummaryPage::setUp(const WindowActions &actions, ChartView &chart)
{
    Ui::SummaryPage &u = *ui_;
    chart_ = &chart;
    runsAction(u.btnGetSingleStatusCopy, actions.singleSummary);
    runsAction(u.btnGetContinousStatusCopy, actions.startContinuous);
    runsAction(u.btnStopContinousStatusCopy, actions.stopContinuous);
    runsAction(u.btnSaveStatus, actions.saveSummary);

    rateItems_ = actions.rates;
    auto *rates = new QActionGroup(this);
    rates->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const std::array<QRadioButton *, 4> radios = {u.rbnSlow, u.rbnNormal, u.rbnFast, u.rbnUltra};
    for (std::size_t i = 0; i < kRates.size(); ++i) {
        rates->addAction(rateItems_[i]);
        // Triggered and clicked come from the user only.
        const int period = kRates[i];
        connect(rateItems_[i], &QAction::triggered, this, [this, period] { emit rateChosen(period); });
        connect(radios[i], &QRadioButton::clicked, this, [this, period] { emit rateChosen(period); });
    }
}

void SummaryPage::resetSummary(const QString &chartTitle)
{
    ui_->lvwStatus->setRowCount(0);
    chart_->reset(chartTitle);
}

void SummaryPage::showSummary(const SummaryUpdate &update)
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
    chart_->apply(update);
}

void SummaryPage::markRate(int periodMs)
{
    Ui::SummaryPage &u = *ui_;
    const std::array<QRadioButton *, 4> radios = {u.rbnSlow, u.rbnNormal, u.rbnFast, u.rbnUltra};
    std::vector<std::pair<QRadioButton *, int>> buttons;
    for (std::size_t i = 0; i < kRates.size(); ++i)
        buttons.emplace_back(radios[i], kRates[i]);
    markExactly<QRadioButton>(buttons, periodMs);
    for (std::size_t i = 0; i < kRates.size(); ++i)
        rateItems_[i]->setChecked(radios[i]->isChecked());
}

} // namespace vexal::monitor
