// SPDX-License-Identifier: MIT
#include "SitesModel.h"

namespace vexal::monitor {

void SitesModel::setFrame(std::shared_ptr<const SitesFrame> frame)
{
    beginResetModel();
    frame_ = std::move(frame);
    order_ = frame_ ? sortedRows(*frame_, sortColumn_, descending_) : std::vector<int>{};
    rows_.clear();
    endResetModel();
}

void SitesModel::setFullPath(bool fullPath)
{
    if (fullPath == fullPath_)
        return;
    fullPath_ = fullPath;
    if (rowCount() > 0)
        emit dataChanged(index(0, int(SiteColumn::Site)), index(rowCount() - 1, int(SiteColumn::Site)),
                         {Qt::DisplayRole});
}

int SitesModel::rowOf(const SiteKey &key) const
{
    if (rows_.empty() && !order_.empty()) {
        for (int row = 0; row < int(order_.size()); ++row)
            rows_.emplace(siteRow(row).site.key, row);
    }
    const auto at = rows_.find(key);
    return at == rows_.end() ? -1 : at->second;
}

int SitesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(order_.size());
}

int SitesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : SiteColumnCount;
}

QVariant SitesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto column = SiteColumn(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(siteRow(index.row()), column, fullPath_);
    case Qt::ToolTipRole:
        // The whole name, whatever the column shows.
        return column == SiteColumn::Site ? QVariant(siteName(siteRow(index.row()).site.key, true)) : QVariant();
    case Qt::TextAlignmentRole:
        if (column == SiteColumn::Site || column == SiteColumn::Function || column == SiteColumn::Verdict)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant SitesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= SiteColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return siteColumnCaption(SiteColumn(section));
}

void SitesModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= SiteColumnCount)
        return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<SiteKey> keys;
    keys.reserve(std::size_t(before.size()));
    for (const QModelIndex &index : before)
        keys.push_back(siteRow(index.row()).site.key);
    sortColumn_ = SiteColumn(column);
    descending_ = order == Qt::DescendingOrder;
    order_ = frame_ ? sortedRows(*frame_, sortColumn_, descending_) : std::vector<int>{};
    rows_.clear();
    // The selection and current row follow their sites.
    for (qsizetype i = 0; i < before.size(); ++i)
        changePersistentIndex(before[i], index(rowOf(keys[std::size_t(i)]), before[i].column()));
    emit layoutChanged();
}

} // namespace vexal::monitor
