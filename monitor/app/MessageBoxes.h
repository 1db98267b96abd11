// SPDX-License-Identifier: GPL-3.0-or-later
// Message boxes go through this, so that a test of the window can see their
// caption, text and icon without running a modal loop.
#pragma once

#include <window/MonitorView.h>

class QWidget;

namespace vexal::monitor {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box with an OK button.
    virtual void inform(QWidget *parent, const MessageBox &box) = 0;
    // A modal box with Yes and No; true for Yes.
    virtual bool ask(QWidget *parent, const MessageBox &box) = 0;
};

// The desktop's own message boxes.
MessageBoxes &desktopMessageBoxes();

} // namespace vexal::monitor
