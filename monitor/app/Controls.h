// SPDX-License-Identifier: GPL-3.0-or-later
// Small operations on controls that more than one page of the window needs.
#pragma once

#include <QList>

#include <utility>
#include <vector>

class QAction;
class QColor;
class QTableView;
class QToolButton;
class QWidget;

namespace vexal::monitor {

// The colour behind an edit's text.
void paintBackground(QWidget *edit, const QColor &colour);

// A button that runs `action`: its glyph, its hint as tooltip and accessible
// name, enabled with it.
void runsAction(QToolButton *button, QAction *action);

// A report-style view of up to a million rows, chosen whole rows at a time,
// read-only, in the model's order.
void showsRowsOfRecords(QTableView *view);

// The rows of the view's selection, as the operations on its rows take them.
QList<qsizetype> selectedRows(const QTableView *view);

// Marks exactly the buttons whose value is `value`, none when no value matches.
template <class Button>
void markExactly(const std::vector<std::pair<Button *, int>> &buttons, int value)
{
    for (auto [button, buttonValue] : buttons) {
        button->setAutoExclusive(false);
        button->setChecked(buttonValue == value);
        button->setAutoExclusive(true);
    }
}

} // namespace vexal::monitor
