// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBoxes.h"

#include <QMessageBox>

namespace vexal::monitor {

namespace {

QMessageBox::Icon iconOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class DesktopMessageBoxes : public MessageBoxes {
public:
    void inform(QWidget *parent, const MessageBox &box) override
    {
        QMessageBox(iconOf(box.icon), box.caption, box.text, QMessageBox::Ok, parent).exec();
    }

    bool ask(QWidget *parent, const MessageBox &box) override
    {
        return QMessageBox(iconOf(box.icon), box.caption, box.text, QMessageBox::Yes | QMessageBox::No, parent).exec() ==
               QMessageBox::Yes;
    }
};

} // namespace

MessageBoxes &desktopMessageBoxes()
{
    static DesktopMessageBoxes boxes;
    return boxes;
}

} // namespace vexal::monitor
