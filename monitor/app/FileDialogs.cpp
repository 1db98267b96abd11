// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogs.h"

#include <QFileDialog>

namespace vexal::monitor {

namespace {

class DesktopFileDialogs : public FileDialogs {
public:
    std::optional<QString> chooseSaveFile(QWidget *parent, const SaveFileDialog &dialog) override
    {
        // A file that does not exist yet is taken, an existing one replaced
        // without a question. A starting place that names a file opens its
        // directory with that name filled in.
        const QString chosen = QFileDialog::getSaveFileName(parent, dialog.title, dialog.startPlace, dialog.filter,
                                                            nullptr, QFileDialog::DontConfirmOverwrite);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen;
    }
};

} // namespace

FileDialogs &desktopFileDialogs()
{
    static DesktopFileDialogs dialogs;
    return dialogs;
}

} // namespace vexal::monitor
