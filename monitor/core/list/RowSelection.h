// SPDX-License-Identifier: MIT
// Which rows of a view an operation uses: the selected ones if any row is
// selected, otherwise all, in the view's order.
#pragma once

#include <QList>

#include <algorithm>

namespace vexal::monitor {

// `selected` may come in any order and hold repeats (as a selection model
// gives them); rows outside 0..rowCount-1 are not rows and are dropped.
inline QList<qsizetype> rowsToUse(qsizetype rowCount, QList<qsizetype> selected)
{
    selected.removeIf([rowCount](qsizetype row) { return row < 0 || row >= rowCount; });
    if (selected.isEmpty()) {
        QList<qsizetype> all(rowCount);
        for (qsizetype row = 0; row < rowCount; ++row)
            all[row] = row;
        return all;
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    return selected;
}

} // namespace vexal::monitor
