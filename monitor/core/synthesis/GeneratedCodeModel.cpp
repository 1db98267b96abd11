// SPDX-License-Identifier: MIT
#include "GeneratedCodeModel.h"

namespace vexal::monitor {

namespace {

enum Column { Number, Statement, ColumnCount };

} // namespace

void GeneratedCodeModel::setCode(std::shared_ptr<const GeneratedCode> code)
{
    beginResetModel();
    code_ = std::move(code);
    endResetModel();
}

int GeneratedCodeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !code_ ? 0 : int(code_->size());
}

int GeneratedCodeModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant GeneratedCodeModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (index.column() == Number)
        return QString::number(index.row() + 1);
    return QString::fromUtf8(code_->line(index.row()));
}

QVariant GeneratedCodeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == Number)
        return QStringLiteral("Index");
    if (section == Statement)
        return QStringLiteral("Code Lines");
    return {};
}

} // namespace vexal::monitor
