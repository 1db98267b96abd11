// SPDX-License-Identifier: MIT
#include "SaveCommands.h"

#include "settings/MonitorSettings.h"

namespace vexal::monitor {

namespace {

// "All files" is "*": "*.*" would hide the names without a dot here.
const QString kTextFilter = QStringLiteral("Text files (*.txt);;All files (*)");
const QString kCodeFilter = QStringLiteral("C Source Code (*.c);;Source files (*.c);;All files (*)");
// A Paths setting never written yet: the working directory.
const QString kDefaultPlace = QStringLiteral(".");

} // namespace

SaveFileDialog saveFileDialog(SavedFileKind kind)
{
    switch (kind) {
    case SavedFileKind::Summary:
        return {QStringLiteral("Choose file to save summary on"), kTextFilter, {}};
    case SavedFileKind::List:
        return {QStringLiteral("Choose file to save detailed list on"), kTextFilter, {}};
    case SavedFileKind::Code:
        break;
    }
    return {QStringLiteral("Choose file to save VXG Code on"), kCodeFilter, {}};
}

QString pathSettingName(SavedFileKind kind)
{
    switch (kind) {
    case SavedFileKind::Summary:
        return QStringLiteral("SummaryPath");
    case SavedFileKind::List:
        return QStringLiteral("ListPath");
    case SavedFileKind::Code:
        break;
    }
    return QStringLiteral("CodePath");
}

void SaveCommands::save(SavedFileKind kind, const Contents &contents)
{
    if (currentName(kind).isEmpty())
        saveAs(kind, contents);
    else
        write(kind, contents);
}

void SaveCommands::saveAs(SavedFileKind kind, const Contents &contents)
{
    SaveFileDialog dialog = saveFileDialog(kind);
    dialog.startPlace = store_.readString(subkey::kPaths, pathSettingName(kind), kDefaultPlace);
    const std::optional<QString> chosen = view_.chooseSaveFile(dialog);
    if (!chosen || chosen->isEmpty())
        return;
    const QString name = withDefaultExtension(*chosen, kind);
    current_[slot(kind)] = name;
    if (isLockedForWriting(name))
        return refuse(kind, lockedForWritingMessage(name));
    store_.writeString(subkey::kPaths, pathSettingName(kind), name);
    write(kind, contents);
}

void SaveCommands::write(SavedFileKind kind, const Contents &contents)
{
    const QString name = currentName(kind);
    view_.setCursor(Cursor::Wait);
    view_.setStatus(writingFileText(kind));
    const bool written = writeFile(name, contents);
    view_.setCursor(Cursor::Default);
    if (!written)
        return refuse(kind, cannotOpenForWritingMessage(name));
    view_.setStatus(fileWrittenText(kind, name));
}

// A monitor failure goes on the status line and into a box.
void SaveCommands::refuse(SavedFileKind kind, const QString &text)
{
    current_[slot(kind)].clear();
    view_.setStatus(text);
    view_.showMessage({QString::fromLatin1(FileErrorCaption), text, MessageIcon::Warning});
}

} // namespace vexal::monitor
