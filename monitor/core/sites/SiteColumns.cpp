// SPDX-License-Identifier: MIT
#include "SiteColumns.h"

#include "list/RecordTable.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vexal::monitor {

namespace {

QString signedNumber(int64_t value)
{
    return value > 0 ? QStringLiteral("+%1").arg(value) : QString::number(value);
}

// The value a row is ordered by in a column; Site and Function go by name.
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

// Sites in a stable order: file, line, memory function. The sites of one
// file share its name's bytes, which spares comparing them.
int compareSites(const SiteKey &a, const SiteKey &b)
{
    if (a.file.constData() != b.file.constData()) {
        if (const int order = a.file.compare(b.file); order != 0)
            return order;
    }
    if (a.line != b.line)
        return a.line < b.line ? -1 : 1;
    return a.type < b.type ? -1 : a.type > b.type ? 1 : 0;
}

int compareNumbers(double a, double b) { return a < b ? -1 : b < a ? 1 : 0; }

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
    // The keys once per row, not once per comparison: ten thousand rows
    // are sorted at every refresh.
    struct Keyed {
        double primary;
        double secondary;  // the verdict's: growth
        int64_t bytes;
        int row;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(frame.rows.size());
    for (std::size_t i = 0; i < frame.rows.size(); ++i) {
        const SiteRow &row = frame.rows[i];
        keyed.push_back({numericKey(row, column),
                         column == SiteColumn::Verdict ? row.growthBytesPerSecond : 0.0, row.site.bytes, int(i)});
    }
    const auto &rows = frame.rows;
    const int direction = descending ? -1 : 1;
    auto before = [&](const Keyed &a, const Keyed &b) {
        const SiteKey &x = rows[std::size_t(a.row)].site.key;
        const SiteKey &y = rows[std::size_t(b.row)].site.key;
        int order = 0;
        if (column == SiteColumn::Site)
            order = compareSites(x, y);
        else if (column == SiteColumn::Function)
            order = RecordTable::typeName(x.type).compare(RecordTable::typeName(y.type));
        else if ((order = compareNumbers(a.primary, b.primary)) == 0)
            order = compareNumbers(a.secondary, b.secondary);  // the fastest growing first
        if (order != 0)
            return order * direction < 0;
        // Ties: the largest first, then by site.
        if (a.bytes != b.bytes)
            return a.bytes > b.bytes;
        return compareSites(x, y) < 0;
    };
    std::sort(keyed.begin(), keyed.end(), before);
    std::vector<int> order;
    order.reserve(keyed.size());
    for (const Keyed &k : keyed)
        order.push_back(k.row);
    return order;
}

std::vector<int> largestRows(const SitesFrame &frame, std::size_t count)
{
    std::vector<int> order(frame.rows.size());
    std::iota(order.begin(), order.end(), 0);
    count = std::min(count, order.size());
    auto larger = [&](int a, int b) {
        const Site &x = frame.rows[std::size_t(a)].site;
        const Site &y = frame.rows[std::size_t(b)].site;
        return x.bytes != y.bytes ? x.bytes > y.bytes : compareSites(x.key, y.key) < 0;
    };
    std::partial_sort(order.begin(), order.begin() + std::ptrdiff_t(count), order.end(), larger);
    order.resize(count);
    return order;
}

} // namespace vexal::monitor
