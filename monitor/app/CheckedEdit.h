// SPDX-License-Identifier: GPL-3.0-or-later
// An edit that runs the numeric check on every change of its text
// (edtIP0Change, edtPortNumberChange, ...): a text that is not acceptable
// gives way to the last valid one, the caret after its last character.
#pragma once

#include <window/NumericEdit.h>

#include <QObject>

class QLineEdit;

namespace vexal::monitor {

class CheckedEdit : public QObject {
public:
    // Belongs to `edit`; its current text is the first valid one.
    CheckedEdit(QLineEdit *edit, qint64 maximum);

    QLineEdit *edit() const { return edit_; }
    const QString &lastValid() const { return check_.lastValid(); }
    // A stored or given text, taken unchecked.
    void setText(const QString &text);

private:
    QLineEdit *edit_;
    NumericEdit check_;
};

} // namespace vexal::monitor
