// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls of each command group: actions (each shared by a menu
// item and its buttons) and plain widgets, enabled by one call per group.
#pragma once

#include <window/CommandGroup.h>

#include <QAction>
#include <QWidget>

#include <array>
#include <vector>

namespace vexal::monitor {

class CommandGroups {
public:
    void add(CommandGroup group, QAction *action) { actions_[index(group)].push_back(action); }
    void add(CommandGroup group, QWidget *widget) { widgets_[index(group)].push_back(widget); }

    void setEnabled(CommandGroup group, bool enabled)
    {
        const int i = static_cast<int>(group);
        if (i < 0 || i >= kCommandGroupCount)
            return;
        for (QAction *action : actions_[index(group)])
            action->setEnabled(enabled);
        for (QWidget *widget : widgets_[index(group)])
            widget->setEnabled(enabled);
    }

private:
    static std::size_t index(CommandGroup group) { return static_cast<std::size_t>(group); }

    std::array<std::vector<QAction *>, kCommandGroupCount> actions_;
    std::array<std::vector<QWidget *>, kCommandGroupCount> widgets_;
};

} // namespace vexal::monitor
