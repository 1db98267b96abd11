// SPDX-License-Identifier: MIT
// vxl's list and code writers against what a whole document or record
// would have made of the same rows: file names hold quotes, backslashes,
// control characters and bytes that are not UTF-8.
#include "MonitorTestSupport.h"
#include <ListFormats.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace vexal::cli;
using namespace vexal::monitor;

namespace {

const RecordTable &oddNames()
{
    static const RecordTable table = tableOf({
        {.file = "/src/plain.c", .line = -7, .size = INT64_MAX, .index = INT64_MIN, .address = -1, .type = 3,
         .threadId = 0xFFFFFFFF},
        {.file = "C:\\dir\\\"q\".c", .address = 0x7FFF12345678, .type = 99},
        {.file = "tab\there\x7f.c"},
        {.file = "caf\xc3\xa9.c"},
        {.file = "bad\xff\xfe.c", .line = 2},
        {.file = "a,b.c"},
    });
    return table;
}

QByteArray written(const std::function<void(ByteWriter &)> &write) { return collectBytes(write); }

} // namespace

class ListFormatsTest : public QObject {
    Q_OBJECT

private slots:
    void jsonIsByteForByteWhatAQtDocumentOfTheSameValuesHolds()
    {
        const RecordTable &table = oddNames();
        const QList<qsizetype> rows = rowsSince(table, INT64_MIN);
        QJsonArray records;
        for (qsizetype row : rows) {
            const ListRecord &r = table.record(row);
            records.append(QJsonObject{{"file", QString::fromUtf8(table.file(row))}, {"line", r.line},
                                       {"type", QString::fromLatin1(RecordTable::typeName(r.type))},
                                       {"size", qint64(r.size)}, {"thread", int32_t(r.threadId)},
                                       {"index", qint64(r.index)},
                                       {"address", QString::fromLatin1(RecordTable::pointerText(r.address))}});
        }
        const QJsonObject origin{{"file", "m\"ain.c"}, {"line", 9}};
        QCOMPARE(written([&](ByteWriter &out) { writeList(out, Format::Json, CallSite{"m\"ain.c", 9}, table, rows, false); }),
                 QJsonDocument(QJsonObject{{"origin", origin}, {"posix", true}, {"records", records}})
                         .toJson(QJsonDocument::Compact) + '\n');

        SynthesisOptions options;
        options.index.choice = int(FilterChoice::Exact);
        const GeneratedCode code = generateCode(table, options, {});
        QJsonArray lines;
        for (qsizetype j = 0; j < code.size(); ++j)
            lines.append(QString::fromUtf8(code.line(j)));
        QCOMPARE(written([&](ByteWriter &out) { writeCode(out, Format::Json, code, options, table); }),
                 QJsonDocument(QJsonObject{{"posix", true}, {"lines", lines}}).toJson(QJsonDocument::Compact) + '\n');
    }

    void csvQuotesTheFileNamesThatNeedItAndNothingElse()
    {
        const RecordTable &table = oddNames();
        const QByteArray csv =
            written([&](ByteWriter &out) { writeList(out, Format::Csv, std::nullopt, table, {1, 5}, true); });
        QCOMPARE(csv, "File,Line,Mem Type,Memory (B),Thread Id,Index,Pointer\r\n"
                      "\"C:\\dir\\\"\"q\"\".c\",1,Unknown type,16,1,0,00007FFF12345678\r\n"
                      "\"a,b.c\",1,malloc,16,1,0,00001000\r\n");
    }
};

QTEST_GUILESS_MAIN(ListFormatsTest)
#include "ListFormatsTest.moc"
