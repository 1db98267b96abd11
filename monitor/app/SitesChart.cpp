// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitesChart.h"

#include <summary/SummaryState.h>

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

namespace vexal::monitor {

SitesChart::SitesChart(QWidget *parent) : QChartView(parent)
{
    auto *chart = new QChart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setAnimationOptions(QChart::NoAnimation);
    timeAxis_ = new QValueAxis;
    timeAxis_->setTitleText(QStringLiteral("Time (s)"));
    // Six digits: a thousand KB or an hour's seconds keep their digits
    // instead of turning into an exponent.
    timeAxis_->setLabelFormat(QStringLiteral("%.6g"));
    bytesAxis_ = new QValueAxis;
    bytesAxis_->setLabelFormat(QStringLiteral("%.6g"));
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    chart->addAxis(bytesAxis_, Qt::AlignLeft);
    chart->legend()->setAlignment(Qt::AlignRight);
    for (std::size_t i = 0; i < kLinesMax; ++i) {
        auto *series = new QLineSeries;
        chart->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(bytesAxis_);
        series->setVisible(false);
        series_.push_back(series);
    }
    QChart *made = this->chart();
    setChart(chart);
    delete made;
    setRenderHint(QPainter::Antialiasing);
    show({}, QString());
}

void SitesChart::show(const std::vector<Line> &lines, const QString &title)
{
    QChart *chart = this->chart();
    chart->setTitle(title);
    double largest = 0;
    double last = 0;
    for (const Line &line : lines) {
        for (const QPointF &point : line.points) {
            largest = std::max(largest, point.y());
            last = std::max(last, point.x());
        }
    }
    // The bytes axis counts in the unit the summary chart would choose.
    const int64_t unit = divisorFor(static_cast<int64_t>(largest));
    bytesAxis_->setTitleText(QStringLiteral("Live bytes") + unitSuffix(unit));
    const auto divisor = static_cast<double>(unit);
    for (std::size_t i = 0; i < kLinesMax; ++i) {
        QLineSeries *series = series_[i];
        if (i >= lines.size()) {
            series->setVisible(false);
            series->clear();
            continue;
        }
        QList<QPointF> points = lines[i].points;
        for (QPointF &point : points)
            point.setY(point.y() / divisor);
        series->replace(points);
        series->setName(lines[i].name);
        series->setVisible(true);
    }
    timeAxis_->setRange(0, std::max(last, 1.0));
    bytesAxis_->setRange(0, std::max(largest / divisor, 1.0));
    timeAxis_->applyNiceNumbers();
    bytesAxis_->applyNiceNumbers();
}

int SitesChart::lineCount() const
{
    return int(std::count_if(series_.begin(), series_.end(), [](const QLineSeries *s) { return s->isVisible(); }));
}

} // namespace vexal::monitor
