// SPDX-License-Identifier: MIT
#include "ListFormats.h"

#include "Csv.h"
#include "JsonLine.h"

#include <QJsonArray>

namespace vexal::cli {

using monitor::CallSite;
using monitor::codeFileBytes;
using monitor::GeneratedCode;
using monitor::ListColumn;
using monitor::listFileBytes;
using monitor::ListRecord;
using monitor::RecordTable;
using monitor::SynthesisOptions;

namespace {

constexpr ListColumn kColumns[] = {ListColumn::File,     ListColumn::Line,  ListColumn::MemType, ListColumn::Memory,
                                   ListColumn::ThreadId, ListColumn::Index, ListColumn::Pointer};

// One record with its values typed; the file whole, the address as the
// list shows it (a 64-bit address does not survive a JSON number).
QJsonObject recordJson(const RecordTable &table, qsizetype row)
{
    const ListRecord &record = table.record(row);
    return {{QStringLiteral("file"), jsonFileName(table.file(row))},
            {QStringLiteral("line"), record.line},
            {QStringLiteral("type"), QString::fromLatin1(RecordTable::typeName(record.type))},
            {QStringLiteral("size"), qint64(record.size)},
            {QStringLiteral("thread"), int32_t(record.threadId)},
            {QStringLiteral("index"), qint64(record.index)},
            {QStringLiteral("address"), QString::fromLatin1(RecordTable::pointerText(record.address))}};
}

} // namespace

QList<qsizetype> rowsSince(const RecordTable &table, long long sinceIndex)
{
    QList<qsizetype> rows;
    for (qsizetype row = 0; row < table.size(); ++row) {
        if (table.record(row).index >= sinceIndex)
            rows.append(row);
    }
    return rows;
}

QByteArray listOutput(Format format, const std::optional<CallSite> &origin, const RecordTable &table,
                      const QList<qsizetype> &rows, bool fullPath)
{
    switch (format) {
    case Format::Text:
        return listFileBytes(origin, rows.size(),
                             [&](qsizetype row, ListColumn column) { return table.cell(rows[row], column, fullPath); });
    case Format::Csv: {
        CsvRecord head;
        for (ListColumn column : kColumns)
            head << RecordTable::columnCaption(column).toUtf8();
        QByteArray out = head.line();
        for (qsizetype row : rows) {
            CsvRecord record;
            for (ListColumn column : kColumns)
                record << table.cell(row, column, fullPath);
            out += record.line();
        }
        return out;
    }
    case Format::Json:
        break;
    }
    QJsonArray records;
    for (qsizetype row : rows)
        records.append(recordJson(table, row));
    QJsonObject list{{QStringLiteral("posix"), table.posixApplication()}, {QStringLiteral("records"), records}};
    if (origin)
        list.insert(QStringLiteral("origin"), originJson(*origin));
    return jsonLine(list);
}

QByteArray codeOutput(Format format, const GeneratedCode &code, const SynthesisOptions &synthesis,
                      const RecordTable &table)
{
    switch (format) {
    case Format::Text:
        return codeFileBytes(code, {}, synthesis.indentation, synthesis.tabs, table.codeLineEnding());
    case Format::Csv: {
        QByteArray out = csvRecord({"Index", "Code Lines"});
        for (qsizetype j = 0; j < code.size(); ++j)
            out += csvRecord({QByteArray::number(j + 1), code.line(j)});
        return out;
    }
    case Format::Json:
        break;
    }
    QJsonArray lines;
    for (qsizetype j = 0; j < code.size(); ++j)
        lines.append(QString::fromUtf8(code.line(j)));
    return jsonLine({{QStringLiteral("posix"), table.posixApplication()}, {QStringLiteral("lines"), lines}});
}

} // namespace vexal::cli
