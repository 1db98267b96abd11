// SPDX-License-Identifier: MIT
// The code view's model: row j shows its number j + 1 and the statement.
#pragma once

#include "CodeSynthesis.h"

#include <QAbstractTableModel>

#include <memory>

namespace vexal::monitor {

class GeneratedCodeModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shows `code`; nothing for none.
    void setCode(std::shared_ptr<const GeneratedCode> code);
    const std::shared_ptr<const GeneratedCode> &code() const { return code_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const GeneratedCode> code_;
};

} // namespace vexal::monitor
