// SPDX-License-Identifier: MIT
#include "SavedFiles.h"

#include "list/RowSelection.h"
#include "list/RowTexts.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <string>

namespace vexal::monitor {

namespace {

// Summary and list files end their lines so whatever the application's platform.
constexpr QByteArrayView ReportLineEnding = "\r\n";
constexpr QByteArrayView NoOrigin = "N/A";

// Summary columns.
constexpr qsizetype SummaryNameWidth = 14;
constexpr qsizetype SummaryHeadCallsWidth = 14;
constexpr qsizetype SummaryCallsWidth = 11;
constexpr qsizetype SummaryAllocatedWidth = 16;

// List columns after "File": the blanks ahead of each and its width.
struct ListColumnLayout {
    ListColumn column;
    qsizetype gap;
    qsizetype width;
    bool left;
};
constexpr qsizetype ListFileGap = 3; // after the widest file text
constexpr ListColumnLayout ListLayout[] = {
    {ListColumn::Line, 0, 8, false},     {ListColumn::MemType, 6, 11, true},
    {ListColumn::Memory, 3, 10, false},  {ListColumn::ThreadId, 3, 9, false},
    {ListColumn::Index, 3, 10, false},   {ListColumn::Pointer, 3, 8, false}};

// A text longer than its width is written whole, without padding: a saved
// report never cuts what the view shows.
void writeLeft(ByteWriter &out, QByteArrayView text, qsizetype width)
{
    out.append(text);
    out.fill(width - text.size(), ' ');
}

void writeRight(ByteWriter &out, QByteArrayView text, qsizetype width)
{
    out.fill(width - text.size(), ' ');
    out.append(text);
}

// A line and a line of "-" as long, each ending CR LF.
void writeUnderlined(ByteWriter &out, QByteArrayView text)
{
    out.append(text);
    out.append(ReportLineEnding);
    out.fill(text.size(), '-');
    out.append(ReportLineEnding);
}

void writeHeader(ByteWriter &out, const std::optional<CallSite> &origin, QByteArrayView caption)
{
    if (origin) {
        writeUnderlined(out, "From file: " + origin->file + ", line: " + QByteArray::number(origin->line));
        out.append(ReportLineEnding);
    }
    writeUnderlined(out, caption);
}

template <class Cells>
void writeListLine(ByteWriter &out, qsizetype fileWidth, const Cells &cells)
{
    writeLeft(out, cells[ListColumn::File], fileWidth);
    for (const ListColumnLayout &layout : ListLayout) {
        out.fill(layout.gap, ' ');
        if (layout.left)
            writeLeft(out, cells[layout.column], layout.width);
        else
            writeRight(out, cells[layout.column], layout.width);
    }
    out.append(ReportLineEnding);
}

// The column captions, indexed as a row's cells are.
struct ListCaptions {
    std::array<QByteArray, ListColumnCount> texts;
    ListCaptions()
    {
        for (int c = 0; c < ListColumnCount; ++c)
            texts[size_t(c)] = RecordTable::columnCaption(ListColumn(c)).toUtf8();
    }
    QByteArrayView operator[](ListColumn column) const { return texts[size_t(column)]; }
};

} // namespace

std::optional<CallSite> summaryOrigin(QStringView dataLineField, const CallSite &showStatus,
                                      const CallSite &showList)
{
    if (dataLineField == QLatin1StringView(NoOrigin))
        return std::nullopt;
    return showStatus.file.isEmpty() ? showList : showStatus;
}

std::optional<CallSite> listOrigin(QStringView dataLineField, const CallSite &showList)
{
    if (dataLineField == QLatin1StringView(NoOrigin))
        return std::nullopt;
    return showList;
}

QByteArray summaryFileBytes(const std::optional<CallSite> &origin, const std::vector<SummaryRow> &rows)
{
    return collectBytes([&](ByteWriter &out) {
        writeHeader(out, origin, "Summary of Allocations");
        writeLeft(out, "Function", SummaryNameWidth);
        writeLeft(out, "No of calls", SummaryHeadCallsWidth);
        out.append("Allocated (B)");
        out.append(ReportLineEnding);
        for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
            writeLeft(out, rows[i].caption.toUtf8(), SummaryNameWidth);
            writeRight(out, rows[i].calls.toUtf8(), SummaryCallsWidth);
            writeRight(out, rows[i].bytes.toUtf8(), SummaryAllocatedWidth);
            out.append(ReportLineEnding);
        }
    });
}

void writeListFile(ByteWriter &out, const std::optional<CallSite> &origin, const RecordTable &table,
                   bool fullPath, const QList<qsizetype> &rows)
{
    // The file column is as wide as the widest name written; the names are
    // few, the rows many.
    std::vector<char> used(size_t(table.fileNameCount()), 0);
    for (qsizetype row : rows)
        used[table.record(row).fileId] = 1;
    qsizetype widest = 0;
    for (size_t id = 0; id < used.size(); ++id) {
        if (used[id]) {
            const QByteArray &name = table.fileName(uint32_t(id));
            widest = std::max(widest, fullPath ? name.size() : RecordTable::shortFileName(name).size());
        }
    }
    const qsizetype fileWidth = widest + ListFileGap;

    writeHeader(out, origin, "Detailed List of Outstanding Memory Allocations");
    writeListLine(out, fileWidth, ListCaptions());
    RowTexts cells;
    for (qsizetype row : rows) {
        cells.fill(table, row, fullPath);
        writeListLine(out, fileWidth, cells);
    }
}

void writeCodeFile(ByteWriter &out, const GeneratedCode &code, const QList<qsizetype> &selectedRows,
                   int indentation, bool tabs, QByteArrayView lineEnding)
{
    // Any count is written in full: the spinner allows up to 999.
    const QByteArray indent(std::max(indentation, 0), tabs ? '\t' : ' ');
    std::string room;
    auto writeLine = [&](qsizetype row) {
        out.append(indent);
        out.append(code.line(row, room));
        out.append(lineEnding);
    };
    if (selectedRows.isEmpty()) { // all, without a list of a million row numbers
        for (qsizetype row = 0; row < code.size(); ++row)
            writeLine(row);
    } else {
        for (qsizetype row : rowsToUse(code.size(), selectedRows))
            writeLine(row);
    }
}

QString withDefaultExtension(const QString &chosenName, SavedFileKind kind)
{
    if (chosenName.contains(u'.'))
        return chosenName;
    return chosenName + (kind == SavedFileKind::Code ? QStringLiteral(".c") : QStringLiteral(".txt"));
}

bool isLockedForWriting(const QString &name)
{
    const QFileInfo info(name);
    if (!info.exists())
        return false;
    // The mode bits, not WriteUser: that one asks the system, which lets root write.
    constexpr auto AnyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !info.isWritable() || !(info.permissions() & AnyWrite);
}

bool writeFile(const QString &name, const FileContents &write)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // Unlike the open, a failed write (a full disk) would otherwise go unseen.
    ByteWriter out([&file](QByteArrayView bytes) { return file.write(bytes.data(), bytes.size()) == bytes.size(); });
    write(out);
    return out.flush() && file.flush();
}

QString lockedForWritingMessage(const QString &name)
{
    return QStringLiteral("The file ") + name + QStringLiteral(" is locked for writing!");
}

QString cannotOpenForWritingMessage(const QString &name)
{
    return QStringLiteral("The file ") + name + QStringLiteral(" could not be opened for writing!");
}

QString writingFileText(SavedFileKind kind)
{
    return kind == SavedFileKind::Code ? QStringLiteral("Writing code to file...")
                                       : QStringLiteral("Writing data to file...");
}

QString fileWrittenText(SavedFileKind kind, const QString &name)
{
    return (kind == SavedFileKind::Code ? QStringLiteral("Code written to file ")
                                        : QStringLiteral("Data written to file "))
           + name;
}

} // namespace vexal::monitor
