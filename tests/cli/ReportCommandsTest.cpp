// SPDX-License-Identifier: MIT
// vxl summary and watch against an application linked with libVexal.
#include "PeerProcess.h"
#include "VxlProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

using namespace vexal::cli::test;
using vexal::monitor::test::PeerProcess;
using vexal::monitor::test::peerPort;
using namespace std::chrono_literals;

class ReportCommandsTest : public QObject {
    Q_OBJECT

private:
    int peers_ = 0;

private slots:
    void summaryPrintsTheSavedSummaryFileThenFindsTheNextPort()
    {
        PeerProcess peer(peerPort(peers_++));
        peer.send("malloc 100");
        QCOMPARE(peer.readLine(), QByteArray("ok"));

        const Ran text = vxl(QStringList{"summary"} + at(peer.port()));
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out, QByteArray("Summary of Allocations\r\n"
                                      "----------------------\r\n"
                                      "Function      No of calls   Allocated (B)\r\n"
                                      "malloc                  1             100\r\n"
                                      "                                         \r\n"
                                      "Total                   1             100\r\n"));

        // The library listens on the next port once a monitor has gone.
        const Ran json = vxl(QStringList{"summary", "--format", "json"} + at(peer.port()));
        QCOMPARE(json.status, 0);
        QCOMPARE(json.err, "vxl: nothing answered on port " + QByteArray::number(peer.port())
                               + " of 127.0.0.1; connected on port " + QByteArray::number(peer.port() + 1) + '\n');
        const QJsonObject summary = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(summary["functions"]["malloc"]["calls"].toInteger(), 1);
        QCOMPARE(summary["functions"]["malloc"]["bytes"].toInteger(), 100);
        QCOMPARE(summary["total"]["bytes"].toInteger(), 100);
        QVERIFY(summary["internalUse"].toInteger() > 0);
    }

    void watchPrintsOneLinePerSampleInTextAndJson()
    {
        PeerProcess peer(peerPort(peers_++));
        peer.send("malloc 100");
        QCOMPARE(peer.readLine(), QByteArray("ok"));

        const Ran text = vxl(QStringList{"watch", "--count", "2", "--period", "50"} + at(peer.port()));
        QCOMPARE(text.status, 0);
        const QList<QByteArray> lines = text.out.split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QByteArray("t=0.000 calls=1 bytes=100 malloc=1/100"));
        QVERIFY2(QRegularExpression(QStringLiteral("^t=\\d+\\.\\d{3} calls=1 bytes=100 malloc=1/100$"))
                     .match(QString::fromLatin1(lines[1])).hasMatch(), lines[1]);

        const Ran json = vxl(QStringList{"watch", "--count", "2", "--period", "50", "--format", "json"} + at(peer.port()));
        QCOMPARE(json.status, 0);
        const QList<QByteArray> samples = json.out.trimmed().split('\n');
        QCOMPARE(samples.size(), 2);
        const QJsonObject second = QJsonDocument::fromJson(samples[1]).object();
        QCOMPARE(second["total"]["bytes"].toInteger(), 100);
        // Elapsed from the first sample, which came a period or more before.
        QVERIFY(second["elapsed"].toDouble() >= 0.05);
    }

    void anInterruptedWatchEndsCleanlyAndTheApplicationRunsOn()
    {
        PeerProcess peer(peerPort(peers_++));
        Vxl watch(QStringList{"watch", "--period", "100"} + at(peer.port()));
        QVERIFY(watch.outLine().startsWith("t=0.000 "));
        watch.signal(SIGINT);
        const Ran ran = watch.finish(5s);
        QCOMPARE(ran.status, 0);
        QVERIFY(ran.err.isEmpty());

        peer.send("tick");
        QCOMPARE(peer.readLine(), QByteArray("ticked"));
    }
};

QTEST_GUILESS_MAIN(ReportCommandsTest)
#include "ReportCommandsTest.moc"
