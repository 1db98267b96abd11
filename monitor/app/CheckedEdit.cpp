// SPDX-License-Identifier: GPL-3.0-or-later
#include "CheckedEdit.h"

#include <QLineEdit>

namespace vexal::monitor {

CheckedEdit::CheckedEdit(QLineEdit *edit, qint64 maximum)
    : QObject(edit), edit_(edit), check_(edit->text(), maximum)
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QString &shown = check_.change(text);
        if (shown != text) {
            edit_->setText(shown);
            edit_->setCursorPosition(static_cast<int>(shown.size()));
        }
    });
}

void CheckedEdit::setText(const QString &text)
{
    check_.setLastValid(text);
    edit_->setText(text);
}

} // namespace vexal::monitor
