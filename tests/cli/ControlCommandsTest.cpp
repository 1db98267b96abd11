// SPDX-License-Identifier: MIT
// vxl's connection, pause and follow against an application linked with
// libVexal: what a user sees when nothing answers, a pause that holds, and
// the answers to the application's own report calls.
#include "PeerProcess.h"
#include "VxlProcess.h"

#include <QTest>

using namespace vexal::cli::test;
using vexal::monitor::test::PeerProcess;
using vexal::monitor::test::peerPort;
using namespace std::chrono_literals;

class ControlCommandsTest : public QObject {
    Q_OBJECT

private:
    int peers_ = 0;

private slots:
    void aPortWhereNothingListensEndsWithStatus3NamingAddressAndPorts()
    {
        const int port = peerPort(peers_++);
        const Ran ran = vxl({"summary", "--port", QString::number(port), "--scan", "2"});
        QCOMPARE(ran.status, 3);
        QCOMPARE(ran.err, QStringLiteral("vxl: could not connect to 127.0.0.1 on ports %1 to %2\n")
                              .arg(port).arg(port + 2).toLatin1());
    }

    void badUsageEndsWithStatus2BeforeConnecting()
    {
        const Ran ran = vxl({"list", "--period", "5"});
        QCOMPARE(ran.status, 2);
        QCOMPARE(ran.err, QByteArray("vxl: list: Unknown option 'period'.\n"));
    }

    void pauseHoldsTheApplicationUntilEnter()
    {
        PeerProcess peer(peerPort(peers_++));
        Vxl pause(QStringList{"pause"} + at(peer.port()));
        QVERIFY(pause.errLine().startsWith("vxl: paused the application at "));
        peer.send("tick");
        QVERIFY(peer.readLine(300ms).isEmpty());
        pause.type("\n");
        QCOMPARE(peer.readLine(5s), QByteArray("ticked"));
        QCOMPARE(pause.finish().status, 0);
    }

    // The library lets the calling thread go when the monitor has fetched
    // what the call announced, and after 10 s when it has not.
    void followAnswersTheApplicationsCallsAndItsCheckFailsOnALeak()
    {
        PeerProcess peer(peerPort(peers_++));
        peer.send("malloc 100");
        QCOMPARE(peer.readLine(), QByteArray("ok"));
        Vxl follow(QStringList{"follow", "--check", "--max-blocks", "0"} + at(peer.port()));
        const QByteArray following = follow.errLine();
        QVERIFY2(following.startsWith("vxl: following the application at "), following);

        peer.send("status");
        const QList<QByteArray> status = peer.readLine().split(' ');
        QCOMPARE(peer.readLine(5s), QByteArray("ok"));
        QCOMPARE(follow.outLine(), "From file: " + status.value(1) + ", line: " + status.value(2) + "\r\n");

        peer.send("list");
        const QList<QByteArray> list = peer.readLine().split(' ');
        QCOMPARE(peer.readLine(5s), QByteArray("ok"));
        peer.kill();  // the application ends

        const Ran ran = follow.finish();
        QCOMPARE(ran.status, 1);
        const qsizetype listed = ran.out.indexOf("From file: " + list.value(1) + ", line: " + list.value(2) + "\r\n");
        QVERIFY2(listed > 0, ran.out);
        QVERIFY(ran.out.indexOf("Detailed List of Outstanding Memory Allocations", listed) > listed);
        QVERIFY(ran.out.contains("monitor_peer.c"));
        QVERIFY2(ran.err.contains("vxl: check failed: 1 live blocks (100 bytes)"), ran.err);
    }
};

QTEST_GUILESS_MAIN(ControlCommandsTest)
#include "ControlCommandsTest.moc"
