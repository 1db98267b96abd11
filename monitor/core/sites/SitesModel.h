// SPDX-License-Identifier: MIT
// The leak sites window's table: a row per site of the last frame, in the
// order of the column last sorted by (the growing sites first until the
// user sorts), each cell computed when the view asks for it.
#pragma once

#include "SiteColumns.h"

#include <QAbstractTableModel>

#include <memory>
#include <unordered_map>

namespace vexal::monitor {

class SitesModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shows `frame` (nothing for none) in the current order.
    void setFrame(std::shared_ptr<const SitesFrame> frame);
    const std::shared_ptr<const SitesFrame> &frame() const { return frame_; }

    void setFullPath(bool fullPath);
    bool fullPath() const { return fullPath_; }

    // The site shown in `row`, and the row showing `key` (-1 for none).
    const SiteRow &siteRow(int row) const { return frame_->rows[std::size_t(order_[std::size_t(row)])]; }
    int rowOf(const SiteKey &key) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    SiteColumn sortColumn() const { return sortColumn_; }
    bool sortsDescending() const { return descending_; }

private:
    std::shared_ptr<const SitesFrame> frame_;
    std::vector<int> order_;
    mutable std::unordered_map<SiteKey, int, SiteKeyHash> rows_;  // built when first asked
    bool fullPath_ = false;
    SiteColumn sortColumn_ = SiteColumn::Verdict;
    bool descending_ = true;
};

} // namespace vexal::monitor
