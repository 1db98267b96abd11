// SPDX-License-Identifier: MIT
// The cells of one row of the list as it shows them, formatted into the
// object's own room: a report of a million rows formats them without an
// allocation.
#pragma once

#include "RecordTable.h"

#include <array>

namespace vexal::monitor {

class RowTexts {
public:
    // The views of the last fill stay valid until the next one.
    void fill(const RecordTable &table, qsizetype row, bool fullPath);
    QByteArrayView operator[](ListColumn column) const { return cells_[size_t(column)]; }

private:
    enum Number { Line, Size, Thread, Index, NumberCount };
    static constexpr size_t kNumberRoom = 24; // a 64-bit number with its sign

    QByteArrayView number(Number which, int64_t value);

    std::array<QByteArrayView, ListColumnCount> cells_;
    std::array<std::array<char, kNumberRoom>, NumberCount> numbers_;
    std::array<char, RecordTable::PointerTextMax> pointer_;
};

} // namespace vexal::monitor
