// SPDX-License-Identifier: MIT
// vxl sites and check --growth against applications linked with libVexal,
// and against a stand-in for an older library.
#include "FakeLibrary.h"
#include "PeerProcess.h"
#include "VxlProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

using namespace vexal::cli::test;
using vexal::monitor::test::FakeLibrary;
using vexal::monitor::test::PeerProcess;
using vexal::monitor::test::peerPort;

namespace {

// monitor_peer after "malloc 100" and "leak 3": two sites of its file, one
// block of 100 bytes (index 0) and three of 1, 2 and 3 (indexes 1 to 3).
struct PeerSites {
    QByteArray file;
    int mallocLine = 0;
    int leakLine = 0;
};

PeerSites peerSites(const QByteArray &json)
{
    const QJsonArray sites = QJsonDocument::fromJson(json).object()["sites"].toArray();
    PeerSites found;
    found.file = sites.at(0)["file"].toString().toUtf8();
    found.mallocLine = sites.at(0)["line"].toInt();
    found.leakLine = sites.at(1)["line"].toInt();
    return found;
}

} // namespace

class SitesCommandsTest : public QObject {
    Q_OBJECT

private:
    int peers_ = 0;

private slots:
    void sitesPrintTheLargestFirstInJsonTextAndCsv()
    {
        PeerProcess peer(peerPort(peers_++));
        for (const char *command : {"malloc 100", "leak 3"}) {
            peer.send(command);
            QCOMPARE(peer.readLine(), QByteArray("ok"));
        }
        const Ran json = vxl(QStringList{"sites", "--format", "json"} + at(peer.port()));
        QCOMPARE(json.status, 0);
        const PeerSites p = peerSites(json.out);
        QVERIFY2(p.file.endsWith("/monitor_peer.c"), json.out);
        const QByteArray malloc100 = QByteArray("{\"file\":\"") + p.file + "\",\"line\":" + QByteArray::number(p.mallocLine)
                                     + ",\"type\":\"malloc\",\"blocks\":1,\"bytes\":100,\"firstIndex\":0,\"lastIndex\":0}";
        const QByteArray leak3 = QByteArray("{\"file\":\"") + p.file + "\",\"line\":" + QByteArray::number(p.leakLine)
                                 + ",\"type\":\"malloc\",\"blocks\":3,\"bytes\":6,\"firstIndex\":1,\"lastIndex\":3}";
        QCOMPARE(json.out, "{\"sites\":[" + malloc100 + ',' + leak3 + "],\"total\":{\"blocks\":4,\"bytes\":106}}\n");

        const Ran since = vxl(QStringList{"sites", "--format", "json", "--since-index", "2"} + at(peer.port() + 1));
        QCOMPARE(QJsonDocument::fromJson(since.out).object()["total"].toObject()["blocks"].toInteger(), 2);

        const QByteArray mallocLine = QByteArray::number(p.mallocLine);
        const QByteArray leakLine = QByteArray::number(p.leakLine);
        const Ran text = vxl(QStringList{"sites", "--sort", "blocks", "--top", "1"} + at(peer.port() + 2));
        QCOMPARE(text.status, 0);
        // The first column as wide as its widest cell.
        const QByteArray site = "monitor_peer.c:" + leakLine;
        const qsizetype width = std::max<qsizetype>(site.size(), 15);
        QCOMPARE(text.out, QByteArray("Site").leftJustified(width) + "  Function  Blocks  Bytes  First index  Last index\n"
                               + site.leftJustified(width) + "  malloc         3      6            1           3\n"
                               + QByteArray("Total (2 sites)").leftJustified(width) + "                 4    106\n");

        const Ran csv = vxl(QStringList{"sites", "--format", "csv", "--full-path"} + at(peer.port() + 3));
        QCOMPARE(csv.out, "File,Line,Function,Blocks,Bytes,First index,Last index\r\n"
                              + p.file + ',' + mallocLine + ",malloc,1,100,0,0\r\n"
                              + p.file + ',' + leakLine + ",malloc,3,6,1,3\r\n");
    }

    void watchingGivesEachSiteItsChangeGrowthAndVerdict()
    {
        PeerProcess peer(peerPort(peers_++));
        peer.send("malloc 100");
        QCOMPARE(peer.readLine(), QByteArray("ok"));
        const Ran json = vxl(QStringList{"sites", "--watch", "--count", "2", "--period", "10", "--format", "json"}
                             + at(peer.port()));
        QCOMPARE(json.status, 0);
        const QList<QByteArray> samples = json.out.trimmed().split('\n');
        QCOMPARE(samples.size(), 2);
        const QRegularExpression second(QStringLiteral(
            "^\\{\"elapsed\":[0-9.e-]+,\"sites\":\\[\\{\"file\":\"[^\"]+\",\"line\":\\d+,\"type\":\"malloc\","
            "\"blocks\":1,\"bytes\":100,\"firstIndex\":0,\"lastIndex\":0,\"change\":\\{\"blocks\":0,\"bytes\":0\\},"
            "\"growthBytesPerSecond\":0,\"verdict\":\"new\"\\}\\],\"total\":\\{\"blocks\":1,\"bytes\":100\\}\\}$"));
        QVERIFY2(second.match(QString::fromUtf8(samples[1])).hasMatch(), samples[1]);
    }

    void anOlderLibraryIsSaidOnceAndItsListGrouped()
    {
        FakeLibrary library(3);  // /src/even.c:100, /src/odd.c:101, /src/even.c:102
        const Ran csv = vxl({"sites", "--watch", "--count", "2", "--period", "10", "--format", "csv", "--port",
                             QString::number(library.port()), "--scan", "0"});
        QCOMPARE(csv.status, 0);
        QCOMPARE(csv.err, QByteArray("vxl: This application's library does not group leak sites; computing them "
                                     "from the list\n"));
        QCOMPARE(csv.out.count("even.c,100,malloc,1,16,"), 1);  // the second list goes on from record 3
        QCOMPARE(csv.out.count("even.c,102,realloc,1,18,2,2"), 1);
        QCOMPARE(csv.out.count("\r\n"), 1 + 3 + 3);
    }

    void checkGrowthNamesTheLeakAndNotTheCacheSawtoothOrChurn()
    {
        PeerProcess leaking(peerPort(peers_++), QStringLiteral(VEXAL_SITES_PROGRAM));
        QMap<QByteArray, QByteArray> lines;  // pattern -> line
        for (int i = 0; i < 4; ++i) {
            const QList<QByteArray> site = leaking.readLine().split(' ');
            QCOMPARE(site.size(), 4);
            lines.insert(site[1], site[3]);
        }
        const Ran failed = vxl(QStringList{"check", "--growth", "3", "--period", "100"} + at(leaking.port()));
        QCOMPARE(failed.status, 1);
        QVERIFY2(failed.err.endsWith(": sites_program.c:" + lines["leak"] + '\n'), failed.err);
        QVERIFY2(failed.err.startsWith("vxl: check failed: 1 site growing over "), failed.err);
        QVERIFY2(failed.out.contains("sites_program.c:" + lines["leak"] + "  malloc"), failed.out);

        PeerProcess steady(peerPort(peers_++), QStringLiteral(VEXAL_SITES_PROGRAM), {QStringLiteral("cache,saw,churn")});
        const Ran passed = vxl(QStringList{"check", "--growth", "3", "--period", "100"} + at(steady.port()));
        QCOMPARE(passed.status, 0);
        QVERIFY2(passed.err.startsWith("vxl: check passed: no site growing over "), passed.err);
        QVERIFY(passed.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SitesCommandsTest)
#include "SitesCommandsTest.moc"
