// SPDX-License-Identifier: MIT
#include "RecordTableModel.h"

namespace vexal::monitor {

void RecordTableModel::setTable(std::shared_ptr<RecordTable> table)
{
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

void RecordTableModel::setFullPath(bool fullPath)
{
    if (fullPath == fullPath_)
        return;
    fullPath_ = fullPath;
    if (rowCount() > 0)
        emit dataChanged(index(0, int(ListColumn::File)), index(rowCount() - 1, int(ListColumn::File)),
                         {Qt::DisplayRole});
}

int RecordTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !table_ ? 0 : int(table_->size());
}

int RecordTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ListColumnCount;
}

QVariant RecordTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto column = ListColumn(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return table_->text(index.row(), column, fullPath_);
    case Qt::TextAlignmentRole:
        // Numbers line up on their last digit.
        if (column == ListColumn::File || column == ListColumn::MemType)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ListColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return RecordTable::columnCaption(ListColumn(section));
}

} // namespace vexal::monitor
