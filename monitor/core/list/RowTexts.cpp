// SPDX-License-Identifier: MIT
#include "RowTexts.h"

#include <charconv>

namespace vexal::monitor {

void RowTexts::fill(const RecordTable &table, qsizetype row, bool fullPath)
{
    const ListRecord &rec = table.record(row);
    const QByteArray &file = table.file(row);
    cells_[size_t(ListColumn::File)] = fullPath ? QByteArrayView(file) : RecordTable::shortFileName(file);
    cells_[size_t(ListColumn::Line)] = number(Line, rec.line);
    cells_[size_t(ListColumn::MemType)] = RecordTable::typeName(rec.type);
    cells_[size_t(ListColumn::Memory)] = number(Size, rec.size);
    cells_[size_t(ListColumn::ThreadId)] = number(Thread, int32_t(rec.threadId)); // shown signed
    cells_[size_t(ListColumn::Index)] = number(Index, rec.index);
    cells_[size_t(ListColumn::Pointer)] = RecordTable::pointerText(rec.address, pointer_.data());
}

QByteArrayView RowTexts::number(Number which, int64_t value)
{
    auto &room = numbers_[size_t(which)];
    const char *end = std::to_chars(room.data(), room.data() + room.size(), value).ptr;
    return QByteArrayView(room.data(), end - room.data());
}

} // namespace vexal::monitor
