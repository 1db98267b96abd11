// SPDX-License-Identifier: MIT
#include "SitesFormats.h"

#include "Csv.h"
#include "JsonLine.h"

#include <list/RecordTable.h>
#include <sites/SiteColumns.h>

#include <QJsonArray>

#include <algorithm>

namespace vexal::cli {

using monitor::RecordTable;
using monitor::SiteColumn;
using monitor::SiteRow;
using monitor::SitesFrame;

namespace {

// Names are written in the order the documentation gives them, which
// QJsonObject would not keep: this writer puts the fields in as they come.
class JsonFields {
public:
    JsonFields &add(const char *name, const QByteArray &value)
    {
        text_ += (text_.isEmpty() ? "{\"" : ",\"") + QByteArray(name) + "\":" + value;
        return *this;
    }
    JsonFields &add(const char *name, long long value) { return add(name, QByteArray::number(value)); }
    QByteArray object() const { return text_.isEmpty() ? QByteArray("{}") : text_ + '}'; }

private:
    QByteArray text_;
};

QByteArray jsonNumber(double value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray typeName(const SiteRow &row) { return RecordTable::typeName(row.site.key.type).toByteArray(); }

QByteArray fileShown(const SiteRow &row, bool fullPath)
{
    return fullPath ? row.site.key.file : RecordTable::shortFileName(row.site.key.file).toByteArray();
}

// Columns as wide as their widest cell: text left, numbers right.
QByteArray alignedTable(const std::vector<std::vector<QString>> &cells, const std::vector<bool> &rightAligned)
{
    std::vector<qsizetype> widths(rightAligned.size(), 0);
    for (const auto &line : cells)
        for (std::size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], line[c].size());
    QByteArray out;
    for (const auto &line : cells) {
        QString text;
        for (std::size_t c = 0; c < line.size(); ++c) {
            if (c > 0)
                text += QStringLiteral("  ");
            const bool last = c + 1 == line.size();
            text += rightAligned[c] ? line[c].rightJustified(widths[c]) : last ? line[c] : line[c].leftJustified(widths[c]);
        }
        while (text.endsWith(u' '))
            text.chop(1);
        out += text.toLocal8Bit() + '\n';
    }
    return out;
}

} // namespace

std::vector<int> shownSites(const SitesFrame &frame, SiteColumn order, long long top)
{
    // Sites by name from A; by any amount, the largest first.
    std::vector<int> rows = monitor::sortedRows(frame, order, order != SiteColumn::Site);
    if (top > 0 && std::size_t(top) < rows.size())
        rows.resize(std::size_t(top));
    return rows;
}

QByteArray SitesOutput::sample(const SitesFrame &frame, const std::vector<int> &rows)
{
    switch (format_) {
    case Format::Text:
        return text(frame, rows);
    case Format::Csv:
        return csv(frame, rows);
    case Format::Json:
        break;
    }
    return json(frame, rows);
}

QByteArray SitesOutput::text(const SitesFrame &frame, const std::vector<int> &rows) const
{
    std::vector<SiteColumn> columns = {SiteColumn::Site, SiteColumn::Function, SiteColumn::Blocks, SiteColumn::Bytes};
    if (watched_)
        columns.insert(columns.end(), {SiteColumn::Change, SiteColumn::Growth, SiteColumn::Verdict});
    std::vector<std::vector<QString>> cells;
    std::vector<QString> head;
    std::vector<bool> right;
    for (SiteColumn column : columns) {
        // vxl has no mark: the change counts from the first sample.
        head.push_back(column == SiteColumn::Change ? QStringLiteral("Change") : monitor::siteColumnCaption(column));
        right.push_back(column == SiteColumn::Blocks || column == SiteColumn::Bytes || column == SiteColumn::Change
                        || column == SiteColumn::Growth);
    }
    if (!watched_) {
        head.insert(head.end(), {QStringLiteral("First index"), QStringLiteral("Last index")});
        right.insert(right.end(), {true, true});
    }
    cells.push_back(head);
    for (int position : rows) {
        const SiteRow &row = frame.rows[std::size_t(position)];
        std::vector<QString> line;
        for (SiteColumn column : columns)
            line.push_back(monitor::cellText(row, column, fullPath_));
        if (!watched_)
            line.insert(line.end(), {QString::number(row.site.firstIndex), QString::number(row.site.lastIndex)});
        cells.push_back(line);
    }
    std::vector<QString> total(head.size());
    total[0] = frame.rows.size() == 1 ? QStringLiteral("Total (1 site)")
                                      : QStringLiteral("Total (%1 sites)").arg(frame.rows.size());
    total[2] = QString::number(frame.totalBlocks);
    total[3] = QString::number(frame.totalBytes);
    cells.push_back(total);
    QByteArray out;
    if (watched_)
        out += QStringLiteral("After %1 s (%2 samples):\n").arg(frame.elapsed, 0, 'f', 1).arg(frame.samples).toLatin1();
    out += alignedTable(cells, right);
    if (watched_)
        out += '\n';
    return out;
}

QByteArray SitesOutput::csv(const SitesFrame &frame, const std::vector<int> &rows)
{
    QByteArray out;
    if (!headWritten_) {
        headWritten_ = true;
        CsvRecord head;
        if (watched_)
            head << "Elapsed";
        head << "File" << "Line" << "Function" << "Blocks" << "Bytes" << "First index" << "Last index";
        if (watched_)
            head << "Change blocks" << "Change bytes" << "Growth bytes per second" << "Verdict";
        out += head.line();
    }
    for (int position : rows) {
        const SiteRow &row = frame.rows[std::size_t(position)];
        CsvRecord record;
        if (watched_)
            record << QByteArray::number(frame.elapsed, 'f', 3);
        record << fileShown(row, fullPath_) << QByteArray::number(row.site.key.line) << typeName(row)
               << QByteArray::number(row.site.blocks) << QByteArray::number(row.site.bytes)
               << QByteArray::number(row.site.firstIndex) << QByteArray::number(row.site.lastIndex);
        if (watched_)
            record << QByteArray::number(row.changeBlocks) << QByteArray::number(row.changeBytes)
                   << QByteArray::number(row.growthBytesPerSecond, 'f', 1)
                   << monitor::verdictText(row.verdict).toLatin1();
        out += record.line();
    }
    return out;
}

QByteArray SitesOutput::json(const SitesFrame &frame, const std::vector<int> &rows) const
{
    QByteArray sites = "[";
    for (int position : rows) {
        const SiteRow &row = frame.rows[std::size_t(position)];
        JsonFields site;
        site.add("file", jsonString(row.site.key.file))
            .add("line", row.site.key.line)
            .add("type", jsonString(typeName(row)))
            .add("blocks", row.site.blocks)
            .add("bytes", row.site.bytes)
            .add("firstIndex", row.site.firstIndex)
            .add("lastIndex", row.site.lastIndex);
        if (watched_) {
            site.add("change", JsonFields().add("blocks", row.changeBlocks).add("bytes", row.changeBytes).object())
                .add("growthBytesPerSecond", jsonNumber(row.growthBytesPerSecond))
                .add("verdict", jsonString(monitor::verdictText(row.verdict).toLatin1()));
        }
        sites += (sites.size() > 1 ? "," : "") + site.object();
    }
    sites += ']';
    JsonFields document;
    if (watched_)
        document.add("elapsed", jsonNumber(frame.elapsed));
    document.add("sites", sites).add("total", JsonFields().add("blocks", frame.totalBlocks).add("bytes", frame.totalBytes).object());
    return document.object() + '\n';
}

} // namespace vexal::cli
