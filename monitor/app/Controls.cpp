// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controls.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QToolButton>

namespace vexal::monitor {

namespace {

constexpr int kGlyphSize = 18;

} // namespace

void paintBackground(QWidget *edit, const QColor &colour)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, colour);
    edit->setPalette(palette);
}

void runsAction(QToolButton *button, QAction *action)
{
    button->setDefaultAction(action);
    button->setAccessibleName(action->toolTip());
    button->setIconSize(QSize(kGlyphSize, kGlyphSize));
}

void showsRowsOfRecords(QTableView *view)
{
    view->verticalHeader()->hide();
    // Rows of one height: a million of them lay out without measuring.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setSortingEnabled(false);
    view->setWordWrap(false);
    view->horizontalHeader()->setHighlightSections(false);
}

QList<qsizetype> selectedRows(const QTableView *view)
{
    QList<qsizetype> rows;
    for (const QItemSelectionRange &range : view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    return rows;
}

} // namespace vexal::monitor
