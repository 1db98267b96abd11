// SPDX-License-Identifier: GPL-3.0-or-later
// File dialogs go through this, so that a test of the window can answer
// them without running a modal loop.
#pragma once

#include <window/MonitorView.h>

#include <optional>

class QWidget;

namespace vexal::monitor {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The name of the file to save on; nothing when the user cancelled.
    virtual std::optional<QString> chooseSaveFile(QWidget *parent, const SaveFileDialog &dialog) = 0;
};

// The desktop's own file dialogs.
FileDialogs &desktopFileDialogs();

} // namespace vexal::monitor
