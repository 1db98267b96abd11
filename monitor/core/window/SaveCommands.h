// SPDX-License-Identifier: MIT
// Save and Save as for the summary, list and code files: the current file
// name of each kind, the dialog with its starting place from the Paths
// settings, the added extension, the read-only check, the writing, and what
// the window is told about each.
#pragma once

#include "MonitorView.h"
#include "files/SavedFiles.h"
#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

namespace vexal::monitor {

// The dialog of a kind's Save as, without its starting place.
SaveFileDialog saveFileDialog(SavedFileKind kind);
// The Paths setting that keeps the kind's last chosen file.
QString pathSettingName(SavedFileKind kind);

class SaveCommands {
public:
    // Writes the file's bytes, as the window shows the data when saving.
    using Contents = FileContents;

    SaveCommands(MonitorView &view, SettingsStore &store) : view_(view), store_(store) {}

    // Writes to the kind's current file; asks for one first if there is none.
    void save(SavedFileKind kind, const Contents &contents);
    // Asks for the file, then writes it.
    void saveAs(SavedFileKind kind, const Contents &contents);

    // Empty until a Save as passed its checks; emptied again by a failure.
    const QString &currentName(SavedFileKind kind) const { return current_[slot(kind)]; }

private:
    static std::size_t slot(SavedFileKind kind) { return static_cast<std::size_t>(kind); }
    void write(SavedFileKind kind, const Contents &contents);
    void refuse(SavedFileKind kind, const QString &text);

    MonitorView &view_;
    SettingsStore &store_;
    std::array<QString, 3> current_;
};

} // namespace vexal::monitor
