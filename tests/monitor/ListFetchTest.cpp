// SPDX-License-Identifier: MIT
// Fetching the list: what goes over the wire, what lands in the table, and
// how a silent or vanished library ends the fetch, against a stand-in for the
// library (the real one serves the window's rules' tests).
#include "FakeLibrary.h"
#include "PeerProcess.h"

#include <list/ListFetch.h>

#include <QElapsedTimer>
#include <QTest>

using namespace vexal::monitor;
using namespace std::chrono_literals;
using vexal::monitor::test::FakeLibrary;
using vexal::monitor::test::openPatiently;

namespace {

QByteArray requests(int command, int times)
{
    const char one[] = {char('0' + command), '\x01', '\0'};
    return QByteArray(one, 3).repeated(times);
}

struct Fetched {
    ListFetch::Result result;
    QList<qsizetype> progress;
};

Fetched fetch(Connection &connection, RecordTable &table, std::chrono::milliseconds timeout = kReplyTimeout)
{
    Fetched fetched;
    ListFetch::Progress progress;
    progress.received = [&](qsizetype n) { fetched.progress.append(n); };
    fetched.result = ListFetch(connection, timeout).run(table, progress);
    return fetched;
}

} // namespace

class ListFetchTest : public QObject {
    Q_OBJECT

private slots:
    void theWireCarriesListStartOneRequestPerRecordAndListEnd()
    {
        for (int records : {1000, 0}) {
            FakeLibrary library(records);
            Connection connection;
            QVERIFY(openPatiently(connection, library.port()));
            RecordTable table;
            const Fetched fetched = fetch(connection, table);
            QCOMPARE(fetched.result.outcome, ListFetch::Outcome::Done);
            QCOMPARE(library.received(), requests(MSG_LIST_START, 1) + requests(MSG_LIST_NEXT, records)
                                             + requests(MSG_LIST_END, 1));
            QCOMPARE(table.size(), records);
            for (int i = 0; i < records; ++i) {
                QCOMPARE(table.record(i).index, i);
                QCOMPARE(table.record(i).line, 100 + i);
            }
            QCOMPARE(fetched.progress.size(), (records + 99) / 100);
            QCOMPARE(fetched.result.status.calls[0], 1);
            QCOMPARE(fetched.result.status.internalUse, 27);
            QVERIFY(table.posixApplication());
        }
    }

    // A fetch that went on to the list end before the last record came
    // would leave the last row empty.
    void theLastRowHoldsTheLastRecordSentAlsoWhenItComesLate()
    {
        constexpr int kRecords = 250;
        FakeLibrary library(kRecords, FakeLibrary::After::Lag, kRecords - 1);
        Connection connection;
        QVERIFY(openPatiently(connection, library.port()));
        RecordTable table;
        QCOMPARE(fetch(connection, table).result.outcome, ListFetch::Outcome::Done);
        QCOMPARE(table.size(), kRecords);
        const int i = kRecords - 1;
        const ListRecord &last = table.record(i);
        QCOMPARE(last.index, i);
        QCOMPARE(last.line, 100 + i);
        QCOMPARE(last.type, i % 12);
        QCOMPARE(last.size, 16 + i);
        QCOMPARE(last.address, 0x1000 + 16 * i);
        QCOMPARE(last.threadId, 7u);
        QCOMPARE(table.file(i), QByteArray("/src/odd.c"));
    }

    void aSilentLibraryTimesTheFetchOutAndGetsNoListEnd()
    {
        FakeLibrary library(1000, FakeLibrary::After::FallSilent, 150);
        Connection connection;
        QVERIFY(openPatiently(connection, library.port()));
        RecordTable table;
        const Fetched fetched = fetch(connection, table, 300ms);
        QCOMPARE(fetched.result.outcome, ListFetch::Outcome::TimedOut);
        QCOMPARE(fetched.progress, (QList<qsizetype>{0, 100}));
        const QByteArray sent = library.received();
        QVERIFY(!sent.contains(requests(MSG_LIST_END, 1)));
        // Never more requests in flight than the window holds.
        QVERIFY(sent.count(requests(MSG_LIST_NEXT, 1)) <= 150 + ListFetch::kRecordsInFlight);
    }

    void aConnectionLostMidListEndsTheFetchAtOnce()
    {
        FakeLibrary library(1000, FakeLibrary::After::HangUp, 150);
        Connection connection;
        QVERIFY(openPatiently(connection, library.port()));
        RecordTable table;
        QElapsedTimer clock;
        clock.start();
        const Fetched fetched = fetch(connection, table);
        QCOMPARE(fetched.result.outcome, ListFetch::Outcome::ConnectionLost);
        QVERIFY2(clock.elapsed() < 1000, "the fetch waited out its time-out on a closed connection");
    }
};

QTEST_GUILESS_MAIN(ListFetchTest)
#include "ListFetchTest.moc"
