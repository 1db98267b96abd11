// SPDX-License-Identifier: MIT
#include "SiteColumns.h"

#include "list/RecordTable.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace vexal::monitor {

namespace {

QString signedNumber(int64_t value)
{
    return value > 0 ? QStringLiteral("+%1").arg(value) : QString::number(value);
}

// The key of a row for a column; rows compare by it, then by the tie-break.
double numericKey(const SiteRow &row, SiteColumn column)
{
    switch (column) {
    case SiteColumn::Blocks:
        return double(row.site.blocks);
    case SiteColumn::Bytes:
        return double(row.site.bytes);
    case SiteColumn::Change:
        return double(row.changeBytes);
    case SiteColumn::Growth:
        return row.growthBytesPerSecond;
    case SiteColumn::Verdict:
        return double(row.verdict);
    case SiteColumn::Site:
    case SiteColumn::Function:
        break;
    }
    return 0;
}

// Sites in a stable order: file, line, memory function.
bool siteBefore(const SiteKey &a, const SiteKey &b)
{
    return std::tie(a.file, a.line, a.type) < std::tie(b.file, b.line, b.type);
}

} // namespace

QString siteColumnCaption(SiteColumn column)
{
    switch (column) {
    case SiteColumn::Site:
        return QStringLiteral("Site");
    case SiteColumn::Function:
        return QStringLiteral("Function");
    case SiteColumn::Blocks:
        return QStringLiteral("Blocks");
    case SiteColumn::Bytes:
        return QStringLiteral("Bytes");
    case SiteColumn::Change:
        return QStringLiteral("Change since mark");
    case SiteColumn::Growth:
        return QStringLiteral("Growth per minute");
    case SiteColumn::Verdict:
        break;
    }
    return QStringLiteral("Verdict");
}

QString siteName(const SiteKey &key, bool fullPath)
{
    const QByteArrayView file = fullPath ? QByteArrayView(key.file) : RecordTable::shortFileName(key.file);
    return QString::fromLocal8Bit(file) + u':' + QString::number(key.line);
}

QString changeText(int64_t blocks, int64_t bytes)
{
    return QStringLiteral("%1 (%2 B)").arg(signedNumber(blocks), signedNumber(bytes));
}

QString bytesText(double bytes, bool sign)
{
    static const char *const kUnits[] = {"KB", "MB", "GB"};
    const QString prefix = sign && bytes > 0 ? QStringLiteral("+") : QString();
    double magnitude = std::fabs(bytes);
    if (magnitude < 1024)
        return prefix + QString::number(std::llround(bytes)) + QStringLiteral(" B");
    int unit = 0;
    for (magnitude /= 1024; magnitude >= 1024 && unit < 2; magnitude /= 1024)
        ++unit;
    return prefix + (bytes < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude, 'f', 1) + u' '
           + QLatin1String(kUnits[unit]);
}

QString cellText(const SiteRow &row, SiteColumn column, bool fullPath)
{
    switch (column) {
    case SiteColumn::Site:
        return siteName(row.site.key, fullPath);
    case SiteColumn::Function:
        return QString::fromLatin1(RecordTable::typeName(row.site.key.type));
    case SiteColumn::Blocks:
        return QString::number(row.site.blocks);
    case SiteColumn::Bytes:
        return QString::number(row.site.bytes);
    case SiteColumn::Change:
        return changeText(row.changeBlocks, row.changeBytes);
    case SiteColumn::Growth:
        return bytesText(row.growthBytesPerSecond * 60, true);
    case SiteColumn::Verdict:
        break;
    }
    return verdictText(row.verdict);
}

std::vector<int> sortedRows(const SitesFrame &frame, SiteColumn column, bool descending)
{
    std::vector<int> order(frame.rows.size());
    std::iota(order.begin(), order.end(), 0);
    const auto &rows = frame.rows;
    auto tieBreak = [&](int a, int b) {
        const SiteRow &x = rows[std::size_t(a)];
        const SiteRow &y = rows[std::size_t(b)];
        if (x.site.bytes != y.site.bytes)
            return x.site.bytes > y.site.bytes;
        return siteBefore(x.site.key, y.site.key);
    };
    auto compare = [&](int a, int b) {
        const SiteRow &x = rows[std::size_t(a)];
        const SiteRow &y = rows[std::size_t(b)];
        int order = 0;
        if (column == SiteColumn::Site) {
            order = siteBefore(x.site.key, y.site.key) ? -1 : siteBefore(y.site.key, x.site.key) ? 1 : 0;
        } else if (column == SiteColumn::Function) {
            const QByteArrayView p = RecordTable::typeName(x.site.key.type);
            const QByteArrayView q = RecordTable::typeName(y.site.key.type);
            order = p < q ? -1 : q < p ? 1 : 0;
        } else {
            const double p = numericKey(x, column);
            const double q = numericKey(y, column);
            order = p < q ? -1 : q < p ? 1 : 0;
            // The growing sites that grow fastest come first.
            if (order == 0 && column == SiteColumn::Verdict)
                order = x.growthBytesPerSecond < y.growthBytesPerSecond ? -1
                        : y.growthBytesPerSecond < x.growthBytesPerSecond ? 1 : 0;
        }
        if (order != 0)
            return descending ? order > 0 : order < 0;
        return tieBreak(a, b);
    };
    std::sort(order.begin(), order.end(), compare);
    return order;
}

} // namespace vexal::monitor
