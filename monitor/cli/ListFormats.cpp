// SPDX-License-Identifier: MIT
#include "ListFormats.h"

#include "Csv.h"
#include "JsonLine.h"

#include <list/RowTexts.h>

#include <string>
#include <vector>

namespace vexal::cli {

using monitor::ByteWriter;
using monitor::CallSite;
using monitor::GeneratedCode;
using monitor::ListColumn;
using monitor::ListRecord;
using monitor::RecordTable;
using monitor::RowTexts;
using monitor::SynthesisOptions;

namespace {

constexpr ListColumn kColumns[] = {ListColumn::File,     ListColumn::Line,  ListColumn::MemType, ListColumn::Memory,
                                   ListColumn::ThreadId, ListColumn::Index, ListColumn::Pointer};

void writeCsvList(ByteWriter &out, const RecordTable &table, const QList<qsizetype> &rows, bool fullPath)
{
    auto writeLine = [&out](const auto &cell) {
        for (ListColumn column : kColumns) {
            if (column != ListColumn::File)
                out.append(',');
            appendCsvField(out, cell(column));
        }
        out.append(kCsvLineEnding);
    };
    writeLine([](ListColumn column) { return RecordTable::columnCaption(column).toUtf8(); });
    RowTexts cells;
    for (qsizetype row : rows) {
        cells.fill(table, row, fullPath);
        writeLine([&cells](ListColumn column) { return cells[column]; });
    }
}

// The keys in the order a JSON document of Qt's writes them, sorted; the
// file whole, the address as the list shows it (a 64-bit address does not
// survive a JSON number).
void writeJsonList(ByteWriter &out, const std::optional<CallSite> &origin, const RecordTable &table,
                   const QList<qsizetype> &rows)
{
    out.append('{');
    if (origin) {
        out.append("\"origin\":");
        out.append(QJsonDocument(originJson(*origin)).toJson(QJsonDocument::Compact));
        out.append(',');
    }
    out.append(table.posixApplication() ? QByteArrayView("\"posix\":true") : QByteArrayView("\"posix\":false"));
    out.append(",\"records\":[");
    // The names are few and the rows many: each name is escaped once.
    std::vector<QByteArray> names(size_t(table.fileNameCount()));
    char pointer[RecordTable::PointerTextMax];
    bool first = true;
    for (qsizetype row : rows) {
        const ListRecord &record = table.record(row);
        QByteArray &name = names[record.fileId];
        if (name.isNull())
            name = jsonString(table.fileName(record.fileId));
        out.append(first ? QByteArrayView("{\"address\":\"") : QByteArrayView(",{\"address\":\""));
        first = false;
        out.append(RecordTable::pointerText(record.address, pointer));
        out.append("\",\"file\":");
        out.append(name);
        out.append(",\"index\":");
        out.appendNumber(record.index);
        out.append(",\"line\":");
        out.appendNumber(record.line);
        out.append(",\"size\":");
        out.appendNumber(record.size);
        out.append(",\"thread\":");
        out.appendNumber(int32_t(record.threadId));
        out.append(",\"type\":");
        appendJsonString(out, RecordTable::typeName(record.type));
        out.append('}');
    }
    out.append("]}\n");
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

void writeList(ByteWriter &out, Format format, const std::optional<CallSite> &origin, const RecordTable &table,
               const QList<qsizetype> &rows, bool fullPath)
{
    switch (format) {
    case Format::Text:
        monitor::writeListFile(out, origin, table, fullPath, rows);
        return;
    case Format::Csv:
        writeCsvList(out, table, rows, fullPath);
        return;
    case Format::Json:
        writeJsonList(out, origin, table, rows);
        return;
    }
}

void writeCode(ByteWriter &out, Format format, const GeneratedCode &code, const SynthesisOptions &synthesis,
               const RecordTable &table)
{
    if (format == Format::Text) {
        monitor::writeCodeFile(out, code, {}, synthesis.indentation, synthesis.tabs, table.codeLineEnding());
        return;
    }
    std::string room;
    if (format == Format::Csv) {
        out.append(csvRecord({"Index", "Code Lines"}));
        for (qsizetype j = 0; j < code.size(); ++j) {
            out.appendNumber(j + 1);
            out.append(',');
            appendCsvField(out, code.line(j, room));
            out.append(kCsvLineEnding);
        }
        return;
    }
    out.append("{\"lines\":[");
    for (qsizetype j = 0; j < code.size(); ++j) {
        if (j > 0)
            out.append(',');
        appendJsonString(out, code.line(j, room));
    }
    out.append(table.posixApplication() ? QByteArrayView("],\"posix\":true}\n")
                                        : QByteArrayView("],\"posix\":false}\n"));
}

} // namespace vexal::cli
