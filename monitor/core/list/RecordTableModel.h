// SPDX-License-Identifier: MIT
// The list view's model: row i shows record i of the table, each cell
// computed when the view asks for it, so that a million rows cost no more
// than the table itself.
#pragma once

#include "RecordTable.h"

#include <QAbstractTableModel>

#include <memory>

namespace vexal::monitor {

class RecordTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shows `table` (nothing for none), or the same table again after it
    // was reordered.
    void setTable(std::shared_ptr<RecordTable> table);
    const std::shared_ptr<RecordTable> &table() const { return table_; }

    // Full file names, or the part after the last slash or backslash; the
    // rows and their selection stay.
    void setFullPath(bool fullPath);
    bool fullPath() const { return fullPath_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<RecordTable> table_;
    bool fullPath_ = false;
};

} // namespace vexal::monitor
