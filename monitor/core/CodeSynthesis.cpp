// SPDX-License-Identifier: MIT
#include "CodeSynthesis.h"

#include "RecordTable.h"
#include "RowSelection.h"

#include <algorithm>

namespace {

char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Byte order after folding ASCII letters; a proper prefix sorts first.
int compareIgnoringCase(const QByteArray &a, const QByteArray &b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char *pa = a.constData();
    const char *pb = b.constData();
    for (qsizetype i = 0; i < common; ++i) {
        if (pa[i] == pb[i])
            continue;
        const auto ca = uchar(foldAscii(pa[i]));
        const auto cb = uchar(foldAscii(pb[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Appends a group's bounds; returns whether they restrict the line.
bool appendBounds(QByteArray &line, const FilterSetting &setting, qint64 recordValue)
{
    qint64 min = 0;
    qint64 max = 0;
    bool restricts = true;
    switch (FilterChoice(setting.choice)) {
    case FilterChoice::All:
        restricts = false;
        break;
    case FilterChoice::Between:
        min = setting.min;
        max = setting.max;
        break;
    case FilterChoice::Exact:
    default:
        // A group with none of its choices (only a stored setting can cause
        // it) must not widen what the line frees: freeing a block still in
        // use breaks the application, so take the record's own value, the
        // narrowest bound there is.
        min = max = recordValue;
        break;
    }
    line += QByteArray::number(min) + ", " + QByteArray::number(max);
    return restricts;
}

} // namespace

QByteArray composeCodeLine(const SynthesisOptions &options, QByteArrayView file,
                           const ListRecord &record, bool posixApplication)
{
    bool freeAll = true;
    QByteArray line = "VexalFreeThese(\"";
    if (!options.regardlessOfFile) {
        freeAll = false;
        if (posixApplication)
            line += file;
        else
            line += file.toByteArray().replace("\\", "\\\\"); // read right in a C string
    }
    line += "\", ";
    freeAll &= !appendBounds(line, options.line, record.line);
    line += ", ";
    freeAll &= !appendBounds(line, options.size, record.size);
    line += ", ";
    if (options.callingThread) {
        freeAll = false;
        line += posixApplication ? "pthread_self()" : "GetCurrentThreadId()";
    } else {
        line += '0';
    }
    line += ", ";
    freeAll &= !appendBounds(line, options.index, record.index);
    line += ");";
    return freeAll ? QByteArray("VexalFreeAll();") : line;
}

QList<QByteArray> generateCode(const RecordTable &table, const SynthesisOptions &options,
                               const QList<qsizetype> &selectedRows)
{
    QList<QByteArray> lines;
    const QList<qsizetype> rows = rowsToUse(table.size(), selectedRows);
    lines.reserve(rows.size());
    for (qsizetype row : rows)
        lines.append(composeCodeLine(options, table.file(row), table.record(row),
                                     table.posixApplication()));
    // A stable sort keeps the rows' order among equal lines, so the first
    // row's spelling is the one kept.
    std::stable_sort(lines.begin(), lines.end(), [](const QByteArray &a, const QByteArray &b) {
        return compareIgnoringCase(a, b) < 0;
    });
    lines.erase(std::unique(lines.begin(), lines.end(),
                            [](const QByteArray &a, const QByteArray &b) {
                                return compareIgnoringCase(a, b) == 0;
                            }),
                lines.end());
    return lines;
}
