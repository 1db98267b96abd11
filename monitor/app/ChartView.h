// SPDX-License-Identifier: GPL-3.0-or-later
// Chart1: the summary over time, one line per memory function and one for
// the total. Drag a rectangle to zoom in, hold the right button to move the
// data, double-click to see everything again.
#pragma once

#include <summary/SummaryState.h>

#include <QChartView>

#include <array>

class QLineSeries;
class QValueAxis;

namespace vexal::monitor {

class ChartView : public QChartView {
    Q_OBJECT

public:
    explicit ChartView(QWidget *parent = nullptr);

    // Empties and hides every series; the chart gets `title`.
    void reset(const QString &title);
    void apply(const SummaryUpdate &update);

    QLineSeries *series(int index) const { return series_[static_cast<std::size_t>(index)]; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void fitAxes();

    std::array<QLineSeries *, kSeriesCount> series_{};
    QValueAxis *timeAxis_ = nullptr;
    QValueAxis *valueAxis_ = nullptr;
    qreal lastTime_ = 0;
    qreal largestValue_ = 0;
    bool userMoved_ = false;  // zoomed or panned: the axes stay where the user put them
    bool panning_ = false;
    QPoint panFrom_;
};

} // namespace vexal::monitor
