// SPDX-License-Identifier: MIT
// The leak sites without a connection: the verdict on the series a person
// judges at a glance, the growth, the change since the mark, grouping a
// fetched list, and the code that frees a site.
#include "MonitorTestSupport.h"

#include <sites/SiteHistory.h>
#include <sites/Sites.h>

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <functional>

using namespace vexal::monitor;

namespace {

// Sixty samples a second apart, give or take a fifth of a second, as a
// loaded machine takes them.
struct Series {
    std::vector<double> seconds;
    std::vector<int64_t> bytes;
};

Series series(std::size_t samples, const std::function<double(std::size_t)> &bytesAt)
{
    QRandomGenerator jitter(7);
    Series s;
    for (std::size_t i = 0; i < samples; ++i) {
        s.seconds.push_back(double(i) + (jitter.bounded(400) - 200) / 1000.0);
        s.bytes.push_back(int64_t(std::llround(bytesAt(i))));
    }
    return s;
}

SitesSnapshot snapshot(std::initializer_list<Site> sites)
{
    SitesSnapshot s;
    s.sites = sites;
    for (const Site &site : sites) {
        s.totalBlocks += site.blocks;
        s.totalBytes += site.bytes;
        s.nextIndex = std::max(s.nextIndex, site.lastIndex + 1);
    }
    return s;
}

const SiteRow *rowOf(const SitesFrame &frame, const SiteKey &key)
{
    for (const SiteRow &row : frame.rows) {
        if (row.site.key == key)
            return &row;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(Series)
Q_DECLARE_METATYPE(Verdict)

class SitesTest : public QObject {
    Q_OBJECT

private slots:
    void theVerdictIsWhatAPersonSeesInTheSeries_data()
    {
        QTest::addColumn<Series>("series");
        QTest::addColumn<Verdict>("verdict");
        QRandomGenerator noise(11);
        QTest::newRow("a steady leak") << series(60, [](std::size_t i) { return 64.0 * 200 * double(i); })
                                       << Verdict::Growing;
        QTest::newRow("a leak under churn")
            << series(60, [&](std::size_t i) { return 4000.0 * double(i) + noise.bounded(20000); }) << Verdict::Growing;
        QTest::newRow("a cache that filled and stays")
            << series(60, [](std::size_t i) { return 32.0 * 200 * double(std::min<std::size_t>(i, 25)); })
            << Verdict::Steady;
        QTest::newRow("a sawtooth") << series(60, [](std::size_t i) { return 48.0 * 100 * double(i % 8); })
                                    << Verdict::Steady;
        QTest::newRow("noise") << series(60, [&](std::size_t) { return 8000.0 + noise.bounded(3200); })
                               << Verdict::Steady;
        QTest::newRow("a level") << series(60, [](std::size_t) { return 4096.0; }) << Verdict::Steady;
        QTest::newRow("a drain") << series(60, [](std::size_t i) { return 1e6 - 1000.0 * double(i); })
                                 << Verdict::Shrinking;
        QTest::newRow("too few samples") << series(kMinSamples - 1, [](std::size_t i) { return 1000.0 * double(i); })
                                         << Verdict::New;
    }

    void theVerdictIsWhatAPersonSeesInTheSeries()
    {
        QFETCH(Series, series);
        QFETCH(Verdict, verdict);
        QCOMPARE(verdictText(judge(series.seconds, series.bytes).verdict), verdictText(verdict));
    }

    void growthIsTheFitOverEverySampleNotTheLastTwo()
    {
        // 1000 bytes a second, but nothing between the last two samples.
        std::vector<double> seconds;
        std::vector<int64_t> bytes;
        for (int i = 0; i < 20; ++i) {
            seconds.push_back(i);
            bytes.push_back(1000 * std::min(i, 18));
        }
        const double growth = judge(seconds, bytes).bytesPerSecond;
        QVERIFY2(growth > 900 && growth < 1000, qPrintable(QString::number(growth)));
    }

    void changeCountsFromTheFirstSampleThenFromTheMark()
    {
        const SiteKey leak{"/src/leak.c", 10, 0};
        const SiteKey late{"/src/late.c", 20, 3};
        SiteHistory history;
        history.add(snapshot({{leak, 2, 128, 0, 1}}), 0);
        SitesFrame frame = history.add(snapshot({{leak, 5, 320, 0, 6}}), 1);
        QCOMPARE(rowOf(frame, leak)->changeBlocks, 3);
        QCOMPARE(rowOf(frame, leak)->changeBytes, 192);

        history.mark();
        QCOMPARE(history.markIndex(), 7);
        frame = history.add(snapshot({{leak, 6, 384, 0, 7}, {late, 1, 5, 8, 8}}), 2);
        QCOMPARE(rowOf(frame, leak)->changeBlocks, 1);
        QCOMPARE(rowOf(frame, late)->changeBytes, 5);  // not there at the mark: from nothing

        // Only blocks made since the mark are fetched then: there were none at it.
        history.reset(history.markIndex());
        frame = history.add(snapshot({{late, 1, 5, 8, 8}}), 3);
        QCOMPARE(rowOf(frame, late)->changeBlocks, 1);
        QVERIFY(history.marked());
    }

    void aSiteIsForgottenOnceNoKeptSampleHoldsItsBlocks()
    {
        const SiteKey gone{"/src/gone.c", 1, 0};
        SiteHistory history(3);
        history.add(snapshot({{gone, 1, 16, 0, 0}}), 0);
        for (int i = 1; i <= 2; ++i)
            history.add(snapshot({}), i);
        QCOMPARE(history.bytesOverTime(gone).size(), 3);
        history.add(snapshot({}), 3);
        QVERIFY(history.bytesOverTime(gone).isEmpty());
    }

    void aListGroupsByFileLineAndFunctionCountingFromTheIndexBound()
    {
        const RecordTable table = tableOf({
            {.file = "/src/a.c", .line = 7, .size = 10, .index = 3},
            {.file = "/src/a.c", .line = 7, .size = 30, .index = 9},
            {.file = "/src/a.c", .line = 7, .size = 5, .index = 5, .type = 3},
            {.file = "/src/b.c", .line = 7, .size = 100, .index = 1},
            {.file = "/src/a.c", .line = 7, .size = 20, .index = 4},
        });
        const SitesSnapshot sites = groupList(table, 4);
        QCOMPARE(sites.sites.size(), std::size_t(2));
        const Site &malloced = sites.sites[0];
        QCOMPARE(malloced.key, (SiteKey{"/src/a.c", 7, 0}));
        QCOMPARE(malloced.blocks, 2);
        QCOMPARE(malloced.bytes, 50);
        QCOMPARE(malloced.firstIndex, 4);
        QCOMPARE(malloced.lastIndex, 9);
        QCOMPARE(sites.sites[1].key, (SiteKey{"/src/a.c", 7, 3}));
        QCOMPARE(sites.totalBlocks, 3);
        QCOMPARE(sites.totalBytes, 55);
        QCOMPARE(sites.nextIndex, 10);
    }

    void theCodeFreesEachSitesExactFileAndLineOnce()
    {
        const GeneratedCode posix = freeingCode({{"/src/b.c", 9, 0}, {"/src/A.c", 12, 0}, {"/src/b.c", 9, 3}});
        QCOMPARE(posix.size(), 2);
        QCOMPARE(posix.line(0), QByteArrayView(R"(VexalFreeThese("/src/A.c", 12, 12, 0, 0, 0, 0, 0);)"));
        QCOMPARE(posix.line(1), QByteArrayView(R"(VexalFreeThese("/src/b.c", 9, 9, 0, 0, 0, 0, 0);)"));
        const GeneratedCode windows = freeingCode({{"C:\\src\\a.c", 3, 6}});
        QCOMPARE(windows.line(0), QByteArrayView(R"(VexalFreeThese("C:\\src\\a.c", 3, 3, 0, 0, 0, 0, 0);)"));
    }
};

QTEST_APPLESS_MAIN(SitesTest)
#include "SitesTest.moc"
