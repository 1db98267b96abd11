// SPDX-License-Identifier: MIT
#include "SavedFiles.h"

#include "list/RowSelection.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

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
void appendLeft(QByteArray &out, QByteArrayView text, qsizetype width)
{
    out += text;
    out.append(std::max<qsizetype>(width - text.size(), 0), ' ');
}

void appendRight(QByteArray &out, QByteArrayView text, qsizetype width)
{
    out.append(std::max<qsizetype>(width - text.size(), 0), ' ');
    out += text;
}

// A line and a line of "-" as long, each ending CR LF.
void appendUnderlined(QByteArray &out, QByteArrayView text)
{
    out += text;
    out += ReportLineEnding;
    out.append(text.size(), '-');
    out += ReportLineEnding;
}

void appendHeader(QByteArray &out, const std::optional<CallSite> &origin, QByteArrayView caption)
{
    if (origin) {
        appendUnderlined(out, "From file: " + origin->file + ", line: "
                                  + QByteArray::number(origin->line));
        out += ReportLineEnding;
    }
    appendUnderlined(out, caption);
}

void appendListLine(QByteArray &out, qsizetype fileWidth,
                    const std::function<QByteArray(ListColumn)> &text)
{
    appendLeft(out, text(ListColumn::File), fileWidth);
    for (const ListColumnLayout &layout : ListLayout) {
        out.append(layout.gap, ' ');
        if (layout.left)
            appendLeft(out, text(layout.column), layout.width);
        else
            appendRight(out, text(layout.column), layout.width);
    }
    out += ReportLineEnding;
}

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
    QByteArray out;
    appendHeader(out, origin, "Summary of Allocations");
    appendLeft(out, "Function", SummaryNameWidth);
    appendLeft(out, "No of calls", SummaryHeadCallsWidth);
    out += "Allocated (B)";
    out += ReportLineEnding;
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        appendLeft(out, rows[i].caption.toUtf8(), SummaryNameWidth);
        appendRight(out, rows[i].calls.toUtf8(), SummaryCallsWidth);
        appendRight(out, rows[i].bytes.toUtf8(), SummaryAllocatedWidth);
        out += ReportLineEnding;
    }
    return out;
}

QByteArray listFileBytes(const std::optional<CallSite> &origin, qsizetype rowCount,
                         const ListCellText &cell)
{
    qsizetype widest = 0;
    for (qsizetype row = 0; row < rowCount; ++row)
        widest = std::max(widest, cell(row, ListColumn::File).size());
    const qsizetype fileWidth = widest + ListFileGap;

    QByteArray out;
    appendHeader(out, origin, "Detailed List of Outstanding Memory Allocations");
    appendListLine(out, fileWidth,
                   [](ListColumn column) { return RecordTable::columnCaption(column).toUtf8(); });
    for (qsizetype row = 0; row < rowCount; ++row)
        appendListLine(out, fileWidth, [&](ListColumn column) { return cell(row, column); });
    return out;
}

QByteArray listFileBytes(const std::optional<CallSite> &origin, const RecordTable &table,
                         bool fullPath, const QList<qsizetype> &selectedRows)
{
    const QList<qsizetype> rows = rowsToUse(table.size(), selectedRows);
    return listFileBytes(origin, rows.size(), [&](qsizetype row, ListColumn column) {
        return table.cell(rows[row], column, fullPath);
    });
}

QByteArray codeFileBytes(const GeneratedCode &code, const QList<qsizetype> &selectedRows,
                         int indentation, bool tabs, QByteArrayView lineEnding)
{
    // Any count is written in full: the spinner allows up to 999.
    const QByteArray indent(std::max(indentation, 0), tabs ? '\t' : ' ');
    QByteArray out;
    for (qsizetype row : rowsToUse(code.size(), selectedRows)) {
        out += indent;
        out += code.line(row);
        out += lineEnding;
    }
    return out;
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

bool writeFileBytes(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // Unlike the open, a failed write (a full disk) would otherwise go unseen.
    return file.write(bytes) == bytes.size() && file.flush();
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
