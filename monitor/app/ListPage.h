// SPDX-License-Identifier: GPL-3.0-or-later
// grpList, "Detailed List of Outstanding Memory Allocations": the list's
// buttons, its counters and progress text, the choice of full file names,
// and the list view, sorted by a click on a column's header.
#pragma once

#include <list/RecordTable.h>

#include <QGroupBox>
#include <QList>

#include <memory>

namespace Ui {
class ListPage;
}

namespace vexal::monitor {

class CommandGroups;
class RecordTableModel;
struct MonitorSettings;
struct WindowActions;

class ListPage : public QGroupBox {
    Q_OBJECT

public:
    explicit ListPage(QWidget *parent = nullptr);
    ~ListPage() override;

    void setUp(const WindowActions &actions, CommandGroups &groups);

    // The view's own table and its selected rows: a list still on its way
    // to the view is not the one the user sees.
    std::shared_ptr<RecordTable> table() const;
    QList<qsizetype> selectedRows() const;
    bool fullPath() const;

    // The record, file, unique-line and thread counters.
    void showCounters(const QString &text);
    void showRecordCount(qsizetype records);
    void showCounts(const RecordCounts &counts);
    void showLoadingText(const QString &text);
    void showList(std::shared_ptr<RecordTable> table);

    void applySettings(const MonitorSettings &settings);
    void storeSettings(MonitorSettings &settings) const;

signals:
    void columnClicked(int column);  // OnListColClick
    void fullPathChosen(bool fullPath);

private:
    std::unique_ptr<Ui::ListPage> ui_;
    RecordTableModel *model_ = nullptr;
};

} // namespace vexal::monitor
