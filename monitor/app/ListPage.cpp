// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListPage.h"

#include "CommandGroups.h"
#include "Controls.h"
#include "WindowActions.h"
#include "ui_ListPage.h"

#include <list/RecordTableModel.h>
#include <settings/MonitorSettings.h>

#include <QHeaderView>

namespace vexal::monitor {

ListPage::ListPage(QWidget *parent) : QGroupBox(parent), ui_(std::make_unique<Ui::ListPage>())
{
    ui_->setupUi(this);
    QTableView *view = ui_->lvwList;
    model_ = new RecordTableModel(view);
    view->setModel(model_);
    const int widths[] = {100, 54, 74, 70, 70, 60, 70};
    for (int column = 0; column < ListColumnCount; ++column)
        view->setColumnWidth(column, widths[column]);
    showsRowsOfRecords(view);
    view->horizontalHeader()->setSectionsClickable(true);
    // Sixteen digits of a 64-bit pointer want the room left over.
    view->horizontalHeader()->setStretchLastSection(true);
    ui_->lblLoadingList->lower();

    connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this, &ListPage::columnClicked);
    // chbShowFullPathClick
    connect(ui_->chbShowFullPath, &QCheckBox::toggled, this, [this](bool full) {
        model_->setFullPath(full);
        emit fullPathChosen(full);
    });
}

ListPage::~ListPage() = default;

void ListPage::setUp(const WindowActions &actions, CommandGroups &groups)
{
    runsAction(ui_->btnGetListCopy, actions.getList);
    runsAction(ui_->btnSaveList, actions.saveList);
    groups.add(CommandGroup::ShowFullPath, ui_->chbShowFullPath);
}

std::shared_ptr<RecordTable> ListPage::table() const { return model_->table(); }

QList<qsizetype> ListPage::selectedRows() const { return vexal::monitor::selectedRows(ui_->lvwList); }

bool ListPage::fullPath() const { return model_->fullPath(); }

void ListPage::showCounters(const QString &text)
{
    for (QLabel *counter : {ui_->lblNumberValueOfRecords, ui_->lblNoFilesData, ui_->lblNoUniquesData,
                            ui_->lblNoThreadsData})
        counter->setText(text);
}

void ListPage::showRecordCount(qsizetype records) { ui_->lblNumberValueOfRecords->setText(QString::number(records)); }

void ListPage::showCounts(const RecordCounts &counts)
{
    ui_->lblNoFilesData->setText(QString::number(counts.files));
    ui_->lblNoUniquesData->setText(QString::number(counts.uniqueLines));
    ui_->lblNoThreadsData->setText(QString::number(counts.threads));
}

void ListPage::showLoadingText(const QString &text) { ui_->lblLoadingList->setText(text); }

void ListPage::showList(std::shared_ptr<RecordTable> table) { model_->setTable(std::move(table)); }

void ListPage::applySettings(const MonitorSettings &settings) { ui_->chbShowFullPath->setChecked(settings.fullPath); }

void ListPage::storeSettings(MonitorSettings &settings) const { settings.fullPath = ui_->chbShowFullPath->isChecked(); }

} // namespace vexal::monitor
