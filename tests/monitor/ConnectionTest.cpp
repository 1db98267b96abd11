// SPDX-License-Identifier: MIT
// The monitor's connection threads against a real application linked with
// libVexal, over loopback.
#include "FakeLibrary.h"
#include "PeerProcess.h"

#include <connection/Connection.h>

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <future>
#include <stdexcept>
#include <system_error>

using namespace vexal::monitor;
using namespace std::chrono_literals;
using vexal::monitor::test::openPatiently;
using vexal::monitor::test::PeerProcess;
using vexal::monitor::test::peerPort;

namespace {

class CountingListener : public ConnectionListener {
public:
    void connectionLost() override { ++lost; }
    void reportCall(Wake, bool) override { ++calls; }
    std::atomic<int> lost{0};
    std::atomic<int> calls{0};
};

} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT

private:
    int peers_ = 0;

private slots:
    void aSummaryReplyCarriesTheApplicationsCounters()
    {
        PeerProcess peer(peerPort(peers_++));
        peer.send("malloc 100");
        QCOMPARE(peer.readLine(), QByteArray("ok"));
        Connection connection;
        QVERIFY(openPatiently(connection, peer.port()));
        QVERIFY(connection.request(Connection::Request::Summary));
        connection.locked([](ReceivedState &state) {
            QCOMPARE(state.data.calls[0], 1);
            QCOMPARE(state.data.stillAllocated[0], 100);
            QVERIFY(state.data.internalUse > 0);
        });
    }

    void theListsClosingReplyWakesTheListWaitOnly()
    {
        PeerProcess peer(peerPort(peers_++));
        peer.send("malloc 10");
        QCOMPARE(peer.readLine(), QByteArray("ok"));
        Connection connection;
        QVERIFY(openPatiently(connection, peer.port()));
        QVERIFY(connection.request(Connection::Request::ListStart));
        QCOMPARE(connection.locked([](ReceivedState &state) { return state.recordsToLoad; }), 1);
        QVERIFY(connection.request(Connection::Request::ListNext));
        QCOMPARE(connection.locked([](ReceivedState &state) { return state.data.recordSize; }), 10);
        QVERIFY(connection.request(Connection::Request::ListEnd));
        QVERIFY(!connection.awaitReply(Connection::Reply::Summary, 300ms));
    }

    void theApplicationsStatusCallWakesItsThreadWithFileAndLine()
    {
        PeerProcess peer(peerPort(peers_++));
        CountingListener listener;
        Connection connection(&listener);
        QVERIFY(openPatiently(connection, peer.port()));
        // A reply shows the library serving: only then does it send notices.
        QVERIFY(connection.request(Connection::Request::Summary));
        peer.send("status");
        const QList<QByteArray> site = peer.readLine().split(' ');
        QCOMPARE(site.size(), qsizetype(3));
        QVERIFY(connection.statusCallEvent().wait(10s));
        const CallSite stored = connection.locked([](ReceivedState &state) { return state.statusCall; });
        QCOMPARE(stored.file, site[1]);
        QCOMPARE(stored.line, site[2].toInt());
        QCOMPARE(listener.calls.load(), 1);
    }

    void theEchoOfDisconnectEndsTheReceiverWithoutALoss()
    {
        PeerProcess peer(peerPort(peers_++));
        CountingListener listener;
        Connection connection(&listener);
        QVERIFY(openPatiently(connection, peer.port()));
        QElapsedTimer clock;
        clock.start();
        connection.sendDisconnect();
        connection.awaitSenderEnd();
        QVERIFY(connection.awaitReceiverEnd(10s));
        QVERIFY2(clock.elapsed() < 1000, "the receiver waited for something other than the echo");
        QCOMPARE(listener.lost.load(), 0);
        QVERIFY(!connection.isConnected());
    }

    void commandsQueuedBeforeTheSenderRunsAllLeaveInTheirOrder()
    {
        vexal::monitor::test::FakeLibrary library(0);
        std::promise<void> gate;
        std::shared_future<void> opened = gate.get_future().share();
        int starts = 0;
        // The sending thread, started second, waits until every command is queued.
        Connection connection(nullptr, [&](std::function<void()> work) {
            if (++starts % 2 == 1)
                return std::thread(std::move(work));
            return std::thread([work = std::move(work), opened] {
                opened.wait();
                work();
            });
        });
        QVERIFY(openPatiently(connection, library.port()));
        long long ticket = 0;
        connection.send(MSG_SUMMARY);
        QVERIFY(connection.sendSites(5, ticket));
        connection.sendMore(MSG_LIST_NEXT, 2);
        connection.send(MSG_PAUSE);
        gate.set_value();
        const QByteArray expected("1\x01\0" "9\x01" "5\x01\0" "3\x01\0" "3\x01\0" "5\x01\0", 17);
        QElapsedTimer clock;
        clock.start();
        while (library.received().size() < expected.size() && clock.elapsed() < 10000)
            QTest::qWait(10);
        QCOMPARE(library.received(), expected);
        QCOMPARE(ticket, 1);
    }

    void aThreadThatCannotStartLeavesNothingOpen()
    {
        PeerProcess peer(peerPort(peers_++));
        int starts = 0;
        {
            Connection failing(nullptr, [&starts](std::function<void()> work) {
                if (++starts == 2)
                    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
                return std::thread(std::move(work));
            });
            QElapsedTimer clock;
            clock.start();
            Connection::OpenResult result = Connection::OpenResult::NotReachable;
            while (result == Connection::OpenResult::NotReachable && clock.elapsed() < 10000)
                result = failing.open("127.0.0.1", peer.port());
            QCOMPARE(result, Connection::OpenResult::ThreadsFailed);
            // The receiving thread that did start ended on the library's answer.
            QVERIFY(failing.awaitReceiverEnd(1s));
            QVERIFY(!failing.isConnected());
        }
        // The library took that as a finished connection and listens on the next port.
        Connection connection;
        QVERIFY(openPatiently(connection, peer.port() + 1));
        QVERIFY(connection.request(Connection::Request::Summary));
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "ConnectionTest.moc"
