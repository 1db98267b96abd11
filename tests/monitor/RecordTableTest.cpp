// SPDX-License-Identifier: MIT
#include "MonitorTestSupport.h"
#include <list/RecordTable.h>

#include <QTest>

using namespace vexal::monitor;

namespace {

QList<int64_t> indexes(const RecordTable &table)
{
    QList<int64_t> out;
    for (qsizetype i = 0; i < table.size(); ++i)
        out.append(table.record(i).index);
    return out;
}

QByteArray cell(const RecordTable &table, qsizetype row, ListColumn column)
{
    return table.cell(row, column, true);
}

} // namespace

class RecordTableTest : public QObject {
    Q_OBJECT
private slots:
    void progressIsReportedEveryHundredRecords()
    {
        QStringList texts;
        for (qsizetype n = 0; n < 250; ++n) {
            if (const QString got = RecordTable::receivingProgressText(n); !got.isEmpty())
                texts.append(got);
        }
        for (qsizetype n = 0; n < 250; ++n) {
            if (const QString loaded = RecordTable::loadingProgressText(n); !loaded.isEmpty())
                texts.append(loaded);
        }
        QCOMPARE(texts, QStringList({"Got 0 records...", "Got 100 records...", "Got 200 records...",
                                     "Loaded 0 records...", "Loaded 100 records...",
                                     "Loaded 200 records..."}));
    }

    void cellsShowTheRecordAsTheListDoes()
    {
        char longName[TRANSFER_FILENAME_SIZE];
        std::memset(longName, 'n', sizeof longName); // filled to the end, no terminator
        TransferRecord unterminated = toTransfer({});
        std::memcpy(unterminated.fileName, longName, sizeof longName);

        RecordTable table = tableOf({
            {.file = "C:\\src\\main.c", .line = -3, .size = 5'000'000'000, .index = 1'099'511'627'776,
             .address = 0x1234, .type = 9, .threadId = 0xFFFFFFFF},
            {.file = "/usr/src/x.c", .address = -2147483648LL, .type = 12},
            {.file = "main.c", .address = -1, .type = -1},
            {.file = "dir/", .address = 0x7FFF12345678},
            {},
        });
        table.setRecord(4, unterminated);

        QCOMPARE(cell(table, 0, ListColumn::File), "C:\\src\\main.c");
        QCOMPARE(table.cell(0, ListColumn::File, false), "main.c");
        QCOMPARE(table.cell(1, ListColumn::File, false), "x.c");
        QCOMPARE(table.cell(2, ListColumn::File, false), "main.c");
        QCOMPARE(table.cell(3, ListColumn::File, false), "");
        QCOMPARE(table.file(4), QByteArray(longName, sizeof longName));

        QCOMPARE(cell(table, 0, ListColumn::Line), "-3");
        QCOMPARE(cell(table, 0, ListColumn::MemType), "HeapRealloc");
        QCOMPARE(cell(table, 1, ListColumn::MemType), "Unknown type");
        QCOMPARE(cell(table, 2, ListColumn::MemType), "Unknown type");
        QCOMPARE(cell(table, 0, ListColumn::Memory), "5000000000");
        QCOMPARE(cell(table, 0, ListColumn::ThreadId), "-1");
        QCOMPARE(cell(table, 0, ListColumn::Index), "1099511627776");

        QCOMPARE(cell(table, 0, ListColumn::Pointer), "00001234");
        QCOMPARE(cell(table, 1, ListColumn::Pointer), "80000000");
        QCOMPARE(cell(table, 2, ListColumn::Pointer), "FFFFFFFF");
        QCOMPARE(cell(table, 3, ListColumn::Pointer), "00007FFF12345678");
        QCOMPARE(RecordTable::pointerText(0x100000000), "0000000100000000");
        // The upper half of the 32-bit range, as a 32-bit host's pointers are sent.
        QCOMPARE(RecordTable::pointerText(0x80000000), "80000000");
        QCOMPARE(RecordTable::pointerText(0xFFFFFFFF), "FFFFFFFF");
    }

    void countsFoldLetterCaseAndKeyLinesByFileThenLine()
    {
        const RecordTable table = tableOf({
            {.file = "C:\\src\\a.c", .line = 1, .threadId = 7},
            {.file = "c:\\SRC\\A.C", .line = 1, .threadId = 7},
            {.file = "a.c", .line = 12, .threadId = 0xFFFFFFFF},
            {.file = "a.c1", .line = 2, .threadId = 5},
            {.file = "\xC4.c", .line = 2, .threadId = 5},
            {.file = "\xE4.c", .line = 2, .threadId = 5}, // not ASCII: not folded
        });
        const RecordCounts counts = table.counts();
        QCOMPARE(counts.files, 5);
        QCOMPARE(counts.uniqueLines, 4);
        QCOMPARE(counts.threads, 3);

        RecordTable empty;
        empty.reset(0);
        QCOMPARE(empty.counts().files + empty.counts().uniqueLines + empty.counts().threads, 0);
    }

    void sortsAreStableAndEachColumnAlternatesOnItsOwn()
    {
        RecordTable table = tableOf({
            {.line = 2, .size = 5, .index = 0},
            {.line = 1, .size = 3, .index = 1},
            {.line = 3, .size = 5, .index = 2},
            {.line = 2, .size = 1, .index = 3},
        });
        table.sortBy(ListColumn::Memory);
        QCOMPARE(indexes(table), QList<int64_t>({3, 1, 0, 2}));
        QVERIFY(table.sortsDescending(ListColumn::Memory));
        table.sortBy(ListColumn::Memory);
        QCOMPARE(indexes(table), QList<int64_t>({0, 2, 1, 3})); // equal sizes keep 0 before 2
        table.sortBy(ListColumn::Line);
        QCOMPARE(indexes(table), QList<int64_t>({1, 0, 3, 2}));
        table.sortBy(ListColumn::Line);
        QCOMPARE(indexes(table), QList<int64_t>({2, 0, 3, 1}));
        QVERIFY(!table.sortsDescending(ListColumn::Memory));

        table.sortBy(ListColumn::Index);
        table.reset(0); // a new list starts ascending everywhere
        QVERIFY(!table.sortsDescending(ListColumn::Index));
    }

    void sortKeysCompareAsEachColumnRequires()
    {
        RecordTable table = tableOf({
            {.file = "a.c", .index = 0, .address = 0x10, .type = 0, .threadId = 0xFFFFFFFF},
            {.file = "B.c", .index = 1, .address = -0x7FFFFFFF, .type = 9, .threadId = 5},
            {.file = "a", .index = 2, .address = 0x7FFF00000000, .type = 99, .threadId = 0},
            {.file = "\xE4.c", .index = 3, .address = -0x80000000LL, .type = 1, .threadId = 0x80000000},
        });
        table.sortBy(ListColumn::File); // bytes, unsigned, a prefix first
        QCOMPARE(indexes(table), QList<int64_t>({1, 2, 0, 3}));
        table.sortBy(ListColumn::MemType); // "HeapRealloc" "Unknown type" "calloc" "malloc"
        QCOMPARE(indexes(table), QList<int64_t>({1, 2, 3, 0}));
        table.sortBy(ListColumn::ThreadId); // unsigned
        QCOMPARE(indexes(table), QList<int64_t>({2, 1, 3, 0}));
        table.sortBy(ListColumn::Pointer); // signed: addresses from 2^31 up on a 32-bit host first
        QCOMPARE(indexes(table), QList<int64_t>({3, 1, 0, 2}));
    }

    void firstRecordTellsThePlatform()
    {
        RecordTable table = tableOf({{.file = "C:\\x.c", .size = 2}, {.file = "/home/u/x.c", .size = 1}});
        QVERIFY(!table.posixApplication());
        QCOMPARE(table.codeLineEnding(), "\r\n");
        table.sortBy(ListColumn::Memory); // the flag belongs to the fetch, not to row 0
        QVERIFY(!table.posixApplication());

        table = tableOf({{.file = "x.c"}, {.file = "C:\\y.c"}});
        QVERIFY(table.posixApplication());
        QCOMPARE(table.codeLineEnding(), "\n");

        table = tableOf({{.file = "C:\\x.c"}});
        table.reset(0);
        QVERIFY(table.posixApplication());
    }
};

QTEST_GUILESS_MAIN(RecordTableTest)
#include "RecordTableTest.moc"
