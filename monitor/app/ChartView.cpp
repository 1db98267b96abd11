// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartView.h"

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QTimer>
#include <QValueAxis>

#include <cmath>

namespace vexal::monitor {

namespace {

// Total first, then the memory functions in their order.
const std::array<QColor, kSeriesCount> kSeriesColours = {
    QColor(Qt::black),      QColor(Qt::blue),       QColor(Qt::yellow),    QColor(Qt::red),
    QColor(128, 128, 128),  QColor(0, 128, 0),      QColor(128, 0, 0),     QColor(0, 0, 128),
    QColor(0, 128, 128),    QColor(Qt::white),      QColor(128, 128, 0),   QColor(128, 0, 0),
    QColor(0, 0, 128)};
const QColor kGradientTop(146, 242, 140);
const QColor kLeftWall(255, 255, 128);
constexpr int kWallWidth = 4;
constexpr int kZoomAnimationMs = 400;
// A series never holds more points than this: past it, every second point
// goes. The chart rebuilds a series' whole line for each point added, so a
// bounded series keeps the cost of one summary the same however long the
// connection runs; the history itself keeps every summary. The plot is
// about 150 pixels wide: more points would not show, but would still cost.
constexpr qsizetype kPlottedPointsLimit = 128;

// The axes grow in steps of 1, 2 or 5 times a power of ten, so that they
// change, and every line is laid out again, only now and then.
qreal roundUp(qreal value)
{
    if (value <= 0)
        return 1;
    const qreal power = std::pow(10.0, std::floor(std::log10(value)));
    for (qreal step : {1.0, 2.0, 5.0, 10.0}) {
        if (value <= step * power)
            return step * power;
    }
    return 10 * power;
}

QList<QPointF> thinned(const QList<QPointF> &points)
{
    if (points.size() <= kPlottedPointsLimit)
        return points;
    QList<QPointF> kept;
    const qsizetype stride = (points.size() + kPlottedPointsLimit / 2 - 1) / (kPlottedPointsLimit / 2);
    for (qsizetype i = 0; i < points.size(); i += stride)
        kept.append(points[i]);
    if (kept.last() != points.last())
        kept.append(points.last());
    return kept;
}

QString seriesTitle(int index) { return index == 0 ? QStringLiteral("Total") : functionName(index - 1); }

} // namespace

ChartView::ChartView(QWidget *parent) : QChartView(parent)
{
    auto *chart = new QChart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    QLinearGradient background(0, 0, 0, 1);
    background.setCoordinateMode(QGradient::ObjectBoundingMode);
    background.setColorAt(0, kGradientTop);
    background.setColorAt(1, Qt::white);
    chart->setBackgroundBrush(background);
    chart->setBackgroundRoundness(0);
    chart->setAnimationOptions(QChart::NoAnimation);

    timeAxis_ = new QValueAxis;
    timeAxis_->setTitleText(QStringLiteral("Time (s)"));
    valueAxis_ = new QValueAxis;
    timeAxis_->setLinePen(QPen(Qt::white, kWallWidth));    // the bottom wall
    valueAxis_->setLinePen(QPen(kLeftWall, kWallWidth));   // the left wall
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.75);
    for (QValueAxis *axis : {timeAxis_, valueAxis_}) {
        axis->setLabelsFont(small);
        axis->setTitleFont(small);
        axis->setLabelFormat(QStringLiteral("%.3g"));
    }
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    chart->addAxis(valueAxis_, Qt::AlignLeft);

    for (int i = 0; i < kSeriesCount; ++i) {
        auto *line = new QLineSeries;
        chart->addSeries(line);  // adding applies the theme's colours: ours come after
        line->setColor(kSeriesColours[static_cast<std::size_t>(i)]);
        line->setPointsVisible(false);
        line->setPointLabelsVisible(false);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxis_);
        series_[static_cast<std::size_t>(i)] = line;
    }
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setFont(small);
    QFont titleFont = font();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);

    // The view made a chart of its own, which it lets go of, not deletes.
    QChart *made = this->chart();
    setChart(chart);
    delete made;
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setToolTip(QStringLiteral("Mark area to zoom in, hold down right mouse button to move data"));
    reset(QString::fromLatin1(kSummaryCaption));
}

void ChartView::reset(const QString &title)
{
    for (QLineSeries *line : series_) {
        line->clear();
        line->setName(QString());
        line->setVisible(false);
    }
    chart()->setTitle(title);
    lastTime_ = 0;
    largestValue_ = 0;
    userMoved_ = false;
    chart()->zoomReset();
    fitAxes();
}

void ChartView::apply(const SummaryUpdate &update)
{
    if (chart()->title() != update.chartTitle)
        chart()->setTitle(update.chartTitle);
    if (update.redraw) {
        setUpdatesEnabled(false);
        largestValue_ = 0;
        for (int i = 0; i < kSeriesCount; ++i) {
            const QList<QPointF> &points = update.redrawn[static_cast<std::size_t>(i)];
            series_[static_cast<std::size_t>(i)]->replace(thinned(points));
            for (const QPointF &p : points)
                largestValue_ = std::max(largestValue_, p.y());
        }
        setUpdatesEnabled(true);
    }
    for (int i = 0; i < kSeriesCount; ++i) {
        const std::optional<QPointF> &point = update.added[static_cast<std::size_t>(i)];
        if (!point)
            continue;
        QLineSeries *line = series_[static_cast<std::size_t>(i)];
        if (!line->isVisible()) {
            line->setName(seriesTitle(i));
            line->setVisible(true);
        }
        if (line->count() >= kPlottedPointsLimit)
            line->replace(thinned(line->points()));
        line->append(*point);
        lastTime_ = std::max(lastTime_, point->x());
        largestValue_ = std::max(largestValue_, point->y());
    }
    if (!userMoved_)
        fitAxes();
}

void ChartView::fitAxes()
{
    const qreal timeEnd = roundUp(lastTime_);
    const qreal valueEnd = roundUp(largestValue_);
    if (timeAxis_->min() != 0 || timeAxis_->max() != timeEnd)
        timeAxis_->setRange(0, timeEnd);
    if (valueAxis_->min() != 0 || valueAxis_->max() != valueEnd)
        valueAxis_->setRange(0, valueEnd);
}

void ChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        panning_ = true;
        panFrom_ = event->position().toPoint();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (panning_) {
        const QPoint to = event->position().toPoint();
        chart()->scroll(panFrom_.x() - to.x(), to.y() - panFrom_.y());
        panFrom_ = to;
        userMoved_ = true;
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        // Not the rubber band's zoom-out: the right button only moves data.
        panning_ = false;
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        // An animated zoom, then plain updates again.
        chart()->setAnimationOptions(QChart::GridAxisAnimations);
        chart()->setAnimationDuration(kZoomAnimationMs);
        QChartView::mouseReleaseEvent(event);
        userMoved_ = userMoved_ || chart()->isZoomed();
        QTimer::singleShot(kZoomAnimationMs, this, [this] { chart()->setAnimationOptions(QChart::NoAnimation); });
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent *event)
{
    chart()->zoomReset();
    userMoved_ = false;
    fitAxes();
    event->accept();
}

} // namespace vexal::monitor
