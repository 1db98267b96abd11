// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiView.h"

#include "AnalyzePage.h"
#include "CommandGroups.h"
#include "ConnectionPage.h"
#include "FileDialogs.h"
#include "ListPage.h"
#include "MessageBoxes.h"
#include "SummaryPage.h"
#include "SynthesisPage.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QThread>

namespace vexal::monitor {

namespace {

// The cursor is the program's, over every window it shows.
void showCursor(Cursor cursor)
{
    if (cursor == Cursor::Default) {
        while (QGuiApplication::overrideCursor() != nullptr)
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    const QCursor shape(cursor == Cursor::Wait ? Qt::WaitCursor : Qt::BusyCursor);
    if (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::changeOverrideCursor(shape);
    else
        QGuiApplication::setOverrideCursor(shape);
}

} // namespace

void GuiView::onGuiThread(std::function<void(const WindowParts &)> work)
{
    if (QThread::currentThread() == parts_.window.thread()) {
        work(parts_);
        return;
    }
    // Dropped with the window: the parts go with it.
    QMetaObject::invokeMethod(
        &parts_.window, [parts = parts_, work = std::move(work)] { work(parts); }, Qt::QueuedConnection);
}

void GuiView::setStatus(const QString &text)
{
    onGuiThread([text](const WindowParts &w) { w.statusLine.setText(text); });
}

void GuiView::setGroupEnabled(CommandGroup group, bool enabled)
{
    onGuiThread([group, enabled](const WindowParts &w) { w.groups.setEnabled(group, enabled); });
}

void GuiView::setCursor(Cursor cursor)
{
    onGuiThread([cursor](const WindowParts &) { showCursor(cursor); });
}

void GuiView::setPausedMark(const QString &text)
{
    onGuiThread([text](const WindowParts &w) { w.connection.showPausedMark(text); });
}

void GuiView::setOrigin(const Origin &origin)
{
    onGuiThread([origin](const WindowParts &w) { w.analyze.showOrigin(origin); });
}

void GuiView::resetSummary(const QString &chartTitle)
{
    onGuiThread([chartTitle](const WindowParts &w) { w.summary.resetSummary(chartTitle); });
}

void GuiView::showSummary(const SummaryUpdate &update)
{
    onGuiThread([update](const WindowParts &w) { w.summary.showSummary(update); });
}

void GuiView::setListCounters(const QString &text)
{
    onGuiThread([text](const WindowParts &w) { w.list.showCounters(text); });
}

void GuiView::setRecordCount(qsizetype records)
{
    onGuiThread([records](const WindowParts &w) { w.list.showRecordCount(records); });
}

void GuiView::setListCounts(const RecordCounts &counts)
{
    onGuiThread([counts](const WindowParts &w) { w.list.showCounts(counts); });
}

void GuiView::setListLoadingText(const QString &text)
{
    onGuiThread([text](const WindowParts &w) { w.list.showLoadingText(text); });
}

void GuiView::showList(std::shared_ptr<RecordTable> table)
{
    onGuiThread([table = std::move(table)](const WindowParts &w) { w.list.showList(table); });
}

void GuiView::showCode(std::shared_ptr<const GeneratedCode> code)
{
    onGuiThread([code = std::move(code)](const WindowParts &w) { w.synthesis.showCode(code); });
}

void GuiView::markRate(int periodMs)
{
    onGuiThread([periodMs](const WindowParts &w) { w.summary.markRate(periodMs); });
}

void GuiView::showMessage(const MessageBox &box)
{
    onGuiThread([box](const WindowParts &w) { w.boxes.inform(&w.window, box); });
}

bool GuiView::askYesNo(const MessageBox &box) { return parts_.boxes.ask(&parts_.window, box); }

std::optional<QString> GuiView::chooseSaveFile(const SaveFileDialog &dialog)
{
    return parts_.dialogs.chooseSaveFile(&parts_.window, dialog);
}

void GuiView::letEventsRun()
{
    // Posted work and painting only: no click may start another operation
    // in the middle of this one.
    if (QThread::currentThread() == parts_.window.thread())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace vexal::monitor
