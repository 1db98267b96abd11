// SPDX-License-Identifier: MIT
// The summary table's rows, the chart's unit and its redraw from the history.
#include <summary/SummaryState.h>

#include <QTest>

using namespace vexal::monitor;

namespace {

StatusValues onlyMalloc(int64_t calls, int64_t bytes, int64_t internalUse = 0)
{
    StatusValues values;
    values.calls[0] = calls;
    values.bytes[0] = bytes;
    values.internalUse = internalUse;
    return values;
}

} // namespace

class SummaryStateTest : public QObject {
    Q_OBJECT

private slots:
    void oneMallocShowsItsRowTheTotalAndInternalUse()
    {
        SummaryState summary;
        const SummaryUpdate update = summary.display(onlyMalloc(1, 100, 340), 5000);
        const std::vector<SummaryRow> expected = {
            {"malloc", "1", "100"}, {"", "", ""}, {"Total", "1", "100"}, {"Internal Use", "", "340"}};
        QCOMPARE(update.rows, expected);
        QCOMPARE(summary.rows(), expected);
        QCOMPARE(update.chartTitle, QStringLiteral("Summary of Allocations (B)"));
        QVERIFY(update.added[0] && update.added[1]);
        QCOMPARE(update.added[1]->x(), 0.0);  // the first summary is plotted at 0 s
        QVERIFY(!update.added[2]);
    }

    void counterRowsShowTheirValueInTheirOwnColumn()
    {
        SummaryState summary;
        StatusValues values = onlyMalloc(2, 64, 9);
        values.calls[10] = 1;  // valloc
        values.bytes[10] = 4096;
        values.freeFailed = 3;
        values.notStored = 4;
        const std::vector<SummaryRow> expected = {{"malloc", "2", "64"},    {"valloc", "1", "4096"},
                                                  {"", "", ""},             {"Total", "3", "4160"},
                                                  {"Free Failed", "", "3"}, {"Not Stored", "4", ""},
                                                  {"Internal Use", "", "9"}};
        QCOMPARE(summary.display(values, 0).rows, expected);
    }

    void theTableNeverShrinksWithinAConnection()
    {
        SummaryState summary;
        StatusValues values = onlyMalloc(1, 10);
        values.freeFailed = 1;
        summary.display(values, 0);
        QCOMPARE(summary.display(onlyMalloc(1, 10), 1).rows.size(), std::size_t(4));
        summary.reset();
        QVERIFY(summary.rows().empty());
    }

    void theUnitFollowsTheLargestTotalAndRedrawsEveryEarlierPoint()
    {
        SummaryState summary;
        SummaryUpdate update = summary.display(onlyMalloc(1, 2048), 1000);
        QVERIFY(!update.redraw);
        update = summary.display(onlyMalloc(1, 5120), 1500);
        QVERIFY(!update.redraw);
        QCOMPARE(update.chartTitle, QStringLiteral("Summary of Allocations (B)"));

        update = summary.display(onlyMalloc(2, 5121), 2250);
        QVERIFY(update.redraw);
        QCOMPARE(update.chartTitle, QStringLiteral("Summary of Allocations (KB)"));
        const QList<QPointF> redrawn = {{0.0, 2.0}, {0.5, 5.0}};
        QCOMPARE(update.redrawn[0], redrawn);
        QCOMPARE(update.redrawn[1], redrawn);
        QCOMPARE(*update.added[1], QPointF(1.25, static_cast<float>(5121.0 / 1024)));

        // A fall after the peak keeps the unit, and the same unit does not redraw.
        update = summary.display(onlyMalloc(2, 10), 3000);
        QVERIFY(!update.redraw);
        QCOMPARE(summary.divisor(), kKilobyte);

        update = summary.display(onlyMalloc(2, 5242880), 3500);
        QVERIFY(!update.redraw);
        update = summary.display(onlyMalloc(2, 5242881), 4000);
        QVERIFY(update.redraw);
        QCOMPARE(update.chartTitle, QStringLiteral("Summary of Allocations (MB)"));
        QCOMPARE(update.redrawn[1].size(), qsizetype(5));
        QCOMPARE(update.redrawn[1].last(), QPointF(2.5, 5.0));
    }

    void aFunctionWithoutCallsStillGetsAHistoryEntry()
    {
        SummaryState summary;
        summary.display(onlyMalloc(1, 100), 0);  // no strdup yet
        StatusValues later = onlyMalloc(1, 100);
        later.calls[3] = 1;  // strdup
        later.bytes[3] = 8000;
        const SummaryUpdate update = summary.display(later, 1000);
        QVERIFY(update.redraw);  // total 8100 > 5120
        // strdup's series has a point for the earlier summary too, at 0 bytes.
        QCOMPARE(update.redrawn[4], (QList<QPointF>{{0.0, 0.0}}));
        QCOMPARE(update.redrawn[1], (QList<QPointF>{{0.0, static_cast<float>(100.0 / 1024)}}));
        QVERIFY(update.redrawn[2].isEmpty());  // calloc: no calls, no points
        QCOMPARE(*update.added[4], QPointF(1.0, static_cast<float>(8000.0 / 1024)));
    }
};

QTEST_APPLESS_MAIN(SummaryStateTest)
#include "SummaryStateTest.moc"
