// SPDX-License-Identifier: MIT
// vxl list, code and check: exact output from a stand-in library whose
// records are known, the check against an application linked with
// libVexal, and the ends of a list that does not arrive.
#include "FakeLibrary.h"
#include "PeerProcess.h"
#include "VxlProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace vexal::cli::test;
using vexal::monitor::test::FakeLibrary;
using vexal::monitor::test::PeerProcess;
using vexal::monitor::test::peerPort;

namespace {

// The stand-in serves records 0 to 2: malloc, calloc and realloc of 16, 17
// and 18 bytes at lines 100 to 102 of /src/even.c, /src/odd.c and
// /src/even.c, indexes 0 to 2, thread 7, addresses 0x1000, 0x1010, 0x1020.
QStringList atFake(const FakeLibrary &library)
{
    return {QStringLiteral("--port"), QString::number(library.port()), QStringLiteral("--scan"), QStringLiteral("0")};
}

} // namespace

class ListCommandsTest : public QObject {
    Q_OBJECT

private:
    int peers_ = 0;

private slots:
    void listPrintsTheSavedListFileOfTheRowsAskedFor()
    {
        FakeLibrary library(3);
        const Ran ran = vxl(QStringList{"list", "--sort", "line", "--descending", "--since-index", "1"} + atFake(library));
        QCOMPARE(ran.status, 0);
        QCOMPARE(ran.out, "Detailed List of Outstanding Memory Allocations\r\n" + QByteArray(47, '-') + "\r\n"
                          "File         Line      Mem Type      Memory (B)   Thread Id        Index    Pointer\r\n"
                          "even.c        102      realloc               18           7            2   00001020\r\n"
                          "odd.c         101      calloc                17           7            1   00001010\r\n");
    }

    void listInJsonCarriesEveryFieldOfEachRecord()
    {
        FakeLibrary library(3);
        const Ran ran = vxl(QStringList{"list", "--format", "json"} + atFake(library));
        QCOMPARE(ran.status, 0);
        const QJsonObject list = QJsonDocument::fromJson(ran.out).object();
        QCOMPARE(list["posix"].toBool(), true);
        QCOMPARE(list["records"].toArray().size(), 3);
        QCOMPARE(list["records"][1].toObject(),
                 QJsonObject({{"file", "/src/odd.c"}, {"line", 101}, {"type", "calloc"}, {"size", 17},
                              {"thread", 7}, {"index", 1}, {"address", "00001010"}}));
    }

    void listInCsvQuotesAFileNameThatHoldsAComma()
    {
        FakeLibrary library(2);
        library.nameFile(1, "/src/a,b.c");
        const Ran ran = vxl(QStringList{"list", "--format", "csv"} + atFake(library));
        QCOMPARE(ran.status, 0);
        QCOMPARE(ran.out, QByteArray("File,Line,Mem Type,Memory (B),Thread Id,Index,Pointer\r\n"
                                     "even.c,100,malloc,16,7,0,00001000\r\n"
                                     "\"a,b.c\",101,calloc,17,7,1,00001010\r\n"));
    }

    void codePrintsTheStatementsTheWindowWouldSave()
    {
        FakeLibrary library(3);
        const Ran ran = vxl(QStringList{"code", "--index", "exact", "--tabs", "--indent", "1", "--since-index", "1"}
                            + atFake(library));
        QCOMPARE(ran.status, 0);
        QCOMPARE(ran.out, QByteArray("\tVexalFreeThese(\"/src/even.c\", 102, 102, 18, 18, 0, 2, 2);\n"
                                     "\tVexalFreeThese(\"/src/odd.c\", 101, 101, 17, 17, 0, 1, 1);\n"));

        FakeLibrary again(3);
        const Ran json = vxl(QStringList{"code", "--index", "exact", "--since-index", "2", "--format", "json"} + atFake(again));
        QCOMPARE(json.status, 0);
        QCOMPARE(QJsonDocument::fromJson(json.out).object(),
                 QJsonObject({{"posix", true},
                              {"lines", QJsonArray{"VexalFreeThese(\"/src/even.c\", 102, 102, 18, 18, 0, 2, 2);"}}}));
    }

    void checkPassesWithinItsLimitsAndFailsBeyondThemPrintingTheBlocks()
    {
        PeerProcess peer(peerPort(peers_++));
        peer.send("malloc 100");
        QCOMPARE(peer.readLine(), QByteArray("ok"));

        const Ran within = vxl(QStringList{"check", "--max-bytes", "100"} + at(peer.port()));
        QCOMPARE(within.status, 0);
        QVERIFY(within.out.isEmpty());
        QVERIFY2(within.err.startsWith("vxl: check passed: 1 live blocks (100 bytes) since index 0 at "), within.err);

        const Ran beyond = vxl(QStringList{"check", "--max-blocks", "0", "--format", "json"} + at(peer.port()));
        QCOMPARE(beyond.status, 1);
        QVERIFY2(beyond.err.endsWith("; at most 0 allowed\n"), beyond.err);
        const QJsonObject leak = QJsonDocument::fromJson(beyond.out)["records"][0].toObject();
        QCOMPARE(leak["size"].toInteger(), 100);

        const QString after = QString::number(leak["index"].toInteger() + 1);
        QCOMPARE(vxl(QStringList{"check", "--since-index", after} + at(peer.port())).status, 0);
    }

    void aConnectionLostInTheMiddleOfTheListEndsWithStatus3AndNoList()
    {
        FakeLibrary library(10, FakeLibrary::After::HangUp, 3);
        const Ran ran = vxl(QStringList{"list"} + atFake(library));
        QCOMPARE(ran.status, 3);
        QVERIFY(ran.out.isEmpty());
        QCOMPARE(ran.err, "vxl: lost the connection to 127.0.0.1 port " + QByteArray::number(library.port())
                              + " while fetching the list\n");
    }

    void aLibraryThatFallsSilentEndsWithStatus4AfterTheTimeout()
    {
        FakeLibrary library(10, FakeLibrary::After::FallSilent, 3);
        const Ran ran = vxl(QStringList{"code", "--timeout", "300"} + atFake(library));
        QCOMPARE(ran.status, 4);
        QVERIFY(ran.out.isEmpty());
        QCOMPARE(ran.err, "vxl: no reply from 127.0.0.1 port " + QByteArray::number(library.port())
                              + " within 300 ms while fetching the list\n");
    }
};

QTEST_GUILESS_MAIN(ListCommandsTest)
#include "ListCommandsTest.moc"
