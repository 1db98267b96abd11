// SPDX-License-Identifier: GPL-3.0-or-later
// grbStatus, "Summary of Allocations": the summary's buttons, the rate of
// continuous summary, the table of calls and bytes per memory function, and
// the chart of the same over time (Chart1, which sits elsewhere in the window).
#pragma once

#include <summary/SummaryState.h>

#include <QGroupBox>

#include <array>
#include <memory>

namespace Ui {
class SummaryPage;
}

class QAction;

namespace vexal::monitor {

class ChartView;
struct WindowActions;

class SummaryPage : public QGroupBox {
    Q_OBJECT

public:
    explicit SummaryPage(QWidget *parent = nullptr);
    ~SummaryPage() override;

    // The rate menu items and the radio buttons choose and show one period.
    void setUp(const WindowActions &actions, ChartView &chart);

    // Empties the table and the chart; the chart gets `chartTitle`.
    void resetSummary(const QString &chartTitle);
    void showSummary(const SummaryUpdate &update);
    // Marks the radio button and menu item of `periodMs`; none for another value.
    void markRate(int periodMs);

signals:
    // The user chose a rate; marking one is no choice.
    void rateChosen(int periodMs);

private:
    void setUpTable();

    std::unique_ptr<Ui::SummaryPage> ui_;
    ChartView *chart_ = nullptr;
    std::array<QAction *, 4> rateItems_{};
};

} // namespace vexal::monitor
