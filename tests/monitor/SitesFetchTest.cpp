// SPDX-License-Identifier: MIT
// Fetching the leak sites: from a library that groups them, and from an
// older one (a stand-in that knows only commands 0 to 6) through the list.
#include "FakeLibrary.h"
#include "PeerProcess.h"

#include <sites/SitesFetch.h>

#include <QTest>

using namespace vexal::monitor;
using namespace std::chrono_literals;
using vexal::monitor::test::FakeLibrary;
using vexal::monitor::test::openPatiently;

class SitesFetchTest : public QObject {
    Q_OBJECT

private slots:
    void anOlderLibraryIsToldOnceAndItsListIsGrouped()
    {
        // Record i: line 100 + i, 16 + i bytes, index i; the second list
        // goes on from record 4.
        FakeLibrary library(4);
        Connection connection;
        QVERIFY(openPatiently(connection, library.port()));
        QStringList notices;
        SitesFetch fetch(connection, [&](const QString &notice) { notices << notice; }, kReplyTimeout, 500ms);

        SitesFetch::Result result = fetch.run(0);
        QCOMPARE(result.outcome, SitesFetch::Outcome::Done);
        QVERIFY(!result.grouped);
        QCOMPARE(result.snapshot.sites.size(), std::size_t(4));
        QCOMPARE(result.snapshot.totalBytes, 16 + 17 + 18 + 19);

        result = fetch.run(6);
        QCOMPARE(result.outcome, SitesFetch::Outcome::Done);
        QCOMPARE(result.snapshot.sites.size(), std::size_t(2));
        QCOMPARE(result.snapshot.sites[0].key, (SiteKey{"/src/even.c", 106, 6}));
        QCOMPARE(result.snapshot.totalBlocks, 2);
        QCOMPARE(notices, QStringList{SitesFetch::kFallbackNotice});
        // Asked once: the second fetch went straight to the list.
        QCOMPARE(library.received().count(QByteArray("9\x01", 2)), 1);
    }
};

QTEST_GUILESS_MAIN(SitesFetchTest)
#include "SitesFetchTest.moc"
