// SPDX-License-Identifier: MIT
// The columns of the leak sites as the window's table and vxl show them:
// captions, cell texts and the order of the rows by any column.
#pragma once

#include "SiteHistory.h"

#include <QString>

#include <vector>

namespace vexal::monitor {

enum class SiteColumn : int { Site, Function, Blocks, Bytes, Change, Growth, Verdict };
inline constexpr int SiteColumnCount = 7;

QString siteColumnCaption(SiteColumn column);

// "parser.c:42", or with the full file name.
QString siteName(const SiteKey &key, bool fullPath);
// "+12 (+384 B)": blocks and bytes since the mark.
QString changeText(int64_t blocks, int64_t bytes);
// A signed amount of bytes in B, KB, MB or GB (of 1024), one decimal above B.
QString bytesText(double bytes, bool sign);
QString cellText(const SiteRow &row, SiteColumn column, bool fullPath);

// The rows of `frame` (their positions) in the order of `column`: ascending
// or descending by its value, ties by bytes (largest first), then by site.
// The verdict orders growing, shrinking, steady, new when descending.
std::vector<int> sortedRows(const SitesFrame &frame, SiteColumn column, bool descending);
// The `count` sites with the most bytes, the largest first.
std::vector<int> largestRows(const SitesFrame &frame, std::size_t count);

} // namespace vexal::monitor
