// SPDX-License-Identifier: GPL-3.0-or-later
// chtSites: the live bytes over time of some leak sites, a line each.
#pragma once

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QString>

#include <vector>

class QLineSeries;
class QValueAxis;

namespace vexal::monitor {

class SitesChart : public QChartView {
    Q_OBJECT

public:
    // More lines than this would not tell apart.
    static constexpr std::size_t kLinesMax = 10;

    struct Line {
        QString name;
        QList<QPointF> points;  // seconds, bytes
    };

    explicit SitesChart(QWidget *parent = nullptr);

    // Replaces every line; the title says what they are.
    void show(const std::vector<Line> &lines, const QString &title);
    int lineCount() const;

private:
    // Made once and reused: making a series costs more than filling one.
    std::vector<QLineSeries *> series_;
    QValueAxis *timeAxis_ = nullptr;
    QValueAxis *bytesAxis_ = nullptr;
};

} // namespace vexal::monitor
