// SPDX-License-Identifier: MIT
#include "MonitorTestSupport.h"
#include <files/SavedFiles.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vexal::monitor;

namespace {

QByteArray listFile(const std::optional<CallSite> &origin, const RecordTable &table, bool fullPath,
                    const QList<qsizetype> &rows)
{
    return collectBytes([&](ByteWriter &out) { writeListFile(out, origin, table, fullPath, rows); });
}

QByteArray codeFile(const GeneratedCode &code, const QList<qsizetype> &selectedRows, int indentation, bool tabs,
                    QByteArrayView lineEnding)
{
    return collectBytes(
        [&](ByteWriter &out) { writeCodeFile(out, code, selectedRows, indentation, tabs, lineEnding); });
}

bool writeFileBytes(const QString &name, const QByteArray &bytes)
{
    return writeFile(name, [&bytes](ByteWriter &out) { out.append(bytes); });
}

} // namespace

class SavedFilesTest : public QObject {
    Q_OBJECT
private slots:
    void summaryFileLeavesOutTheLastRowAndPadsTheRest()
    {
        const std::vector<SummaryRow> rows = {
            {"malloc", "1", "100"},
            {"", "", ""},
            {"Total", "1", "100"},
            {"Not Stored", "123456789012", ""},
            {"Internal Use", "", "2048"},
        };
        const QByteArray body =
            "Summary of Allocations\r\n"
            "----------------------\r\n"
            "Function      No of calls   Allocated (B)\r\n"
            "malloc                  1             100\r\n"
            "                                         \r\n"
            "Total                   1             100\r\n"
            "Not Stored    123456789012                \r\n";
        QCOMPARE(summaryFileBytes(std::nullopt, rows), body);
        QCOMPARE(summaryFileBytes(CallSite{"main.c", 120}, rows),
                 "From file: main.c, line: 120\r\n"
                 "----------------------------\r\n"
                 "\r\n" + body);
    }

    void originIsNamedOnlyForTheApplicationsOwnReport()
    {
        const CallSite status{"s.c", 3};
        const CallSite list{"l.c", 7};
        QVERIFY(!summaryOrigin(u"N/A", status, list));
        QCOMPARE(summaryOrigin(u"3", status, list)->file, "s.c");
        QCOMPARE(summaryOrigin(u"7", {}, list)->line, 7);
        QVERIFY(!listOrigin(u"N/A", list));
        QCOMPARE(listOrigin(u"7", list)->file, "l.c");
    }

    void listFileSizesTheFileColumnByTheWrittenRows()
    {
        const RecordTable table = tableOf({
            {.file = "/src/averyveryverylongname.c", .line = 5},
            {.file = "C:\\w\\ab.c", .line = 123, .size = 2048, .index = 7, .address = -1,
             .type = 12, .threadId = 0xFFFFFFFF},
            {.file = "/src/x.c", .line = 7, .size = 3, .index = 12345678901,
             .address = 0x7FFF12345678, .type = 1, .threadId = 2},
        });
        QCOMPARE(listFile(CallSite{"main.c", 77}, table, false, {1, 2}),
                 "From file: main.c, line: 77\r\n"
                 "---------------------------\r\n"
                 "\r\n"
                 "Detailed List of Outstanding Memory Allocations\r\n"
                 "-----------------------------------------------\r\n"
                 "File       Line      Mem Type      Memory (B)   Thread Id        Index    Pointer\r\n"
                 "ab.c        123      Unknown type         2048          -1            7   FFFFFFFF\r\n"
                 "x.c           7      calloc                 3           2   12345678901   00007FFF12345678\r\n");
        QCOMPARE(listFile(std::nullopt, table, true, {1}),
                 "Detailed List of Outstanding Memory Allocations\r\n"
                 "-----------------------------------------------\r\n"
                 "File            Line      Mem Type      Memory (B)   Thread Id        Index    Pointer\r\n"
                 "C:\\w\\ab.c        123      Unknown type         2048          -1            7   FFFFFFFF\r\n");
    }

    void codeFileIndentsAndEndsLinesAsChosen()
    {
        SynthesisOptions options;
        options.regardlessOfFile = true;
        options.line.choice = options.size.choice = int(FilterChoice::All);
        options.index.choice = int(FilterChoice::Exact);
        const GeneratedCode code = generateCode(tableOf({{.index = 1}, {.index = 2}, {.index = 3}}), options, {});
        auto L = [](int index) { return "VexalFreeThese(\"\", 0, 0, 0, 0, 0, " + QByteArray::number(index) + ", "
                                        + QByteArray::number(index) + ");"; };
        QCOMPARE(codeFile(code, {2, 0}, 2, true, "\n"), "\t\t" + L(1) + "\n\t\t" + L(3) + "\n");
        QCOMPARE(codeFile(code, {}, 0, false, "\r\n"), L(1) + "\r\n" + L(2) + "\r\n" + L(3) + "\r\n");
        QCOMPARE(codeFile(code, {1}, 120, false, "\n"), QByteArray(120, ' ') + L(2) + "\n");
    }

    void extensionIsAddedOnlyToANameWithoutADot()
    {
        QCOMPARE(withDefaultExtension("report", SavedFileKind::Summary), "report.txt");
        QCOMPARE(withDefaultExtension("report", SavedFileKind::List), "report.txt");
        QCOMPARE(withDefaultExtension("/tmp/free", SavedFileKind::Code), "/tmp/free.c");
        QCOMPARE(withDefaultExtension("report.log", SavedFileKind::Summary), "report.log");
        QCOMPARE(withDefaultExtension("C:\\my.dir\\report", SavedFileKind::Summary), "C:\\my.dir\\report");
        QCOMPARE(withDefaultExtension("/home/u/my.dir/free", SavedFileKind::Code), "/home/u/my.dir/free");
    }

    void writingReplacesTheFileUnlessItIsReadOnly()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString name = dir.filePath("out.txt");
        QVERIFY(!isLockedForWriting(name));
        QVERIFY(writeFileBytes(name, "a longer first content"));
        QVERIFY(writeFileBytes(name, "ab\r\n"));
        QFile written(name);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), "ab\r\n");
        QVERIFY(!isLockedForWriting(name));

        QVERIFY(QFile::setPermissions(name, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup
                                                | QFile::ReadOther));
        QVERIFY(isLockedForWriting(name));
        QVERIFY(!writeFileBytes(dir.filePath("missing/out.txt"), "x"));
    }
};

QTEST_GUILESS_MAIN(SavedFilesTest)
#include "SavedFilesTest.moc"
