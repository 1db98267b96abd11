// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiView.h"

#include "MainWindow.h"

#include <QCoreApplication>
#include <QThread>

namespace vexal::monitor {

void GuiView::onGuiThread(std::function<void(MainWindow &)> work)
{
    if (QThread::currentThread() == window_.thread()) {
        work(window_);
        return;
    }
    MainWindow *window = &window_;
    QMetaObject::invokeMethod(window, [window, work = std::move(work)] { work(*window); }, Qt::QueuedConnection);
}

void GuiView::setStatus(const QString &text)
{
    onGuiThread([text](MainWindow &w) { w.showStatus(text); });
}

void GuiView::setGroupEnabled(CommandGroup group, bool enabled)
{
    onGuiThread([group, enabled](MainWindow &w) { w.enableGroup(group, enabled); });
}

void GuiView::setCursor(Cursor cursor)
{
    onGuiThread([cursor](MainWindow &w) { w.showCursor(cursor); });
}

void GuiView::setPausedMark(const QString &text)
{
    onGuiThread([text](MainWindow &w) { w.showPausedMark(text); });
}

void GuiView::setOrigin(const Origin &origin)
{
    onGuiThread([origin](MainWindow &w) { w.showOrigin(origin); });
}

void GuiView::resetSummary(const QString &chartTitle)
{
    onGuiThread([chartTitle](MainWindow &w) { w.resetSummaryViews(chartTitle); });
}

void GuiView::showSummary(const SummaryUpdate &update)
{
    onGuiThread([update](MainWindow &w) { w.showSummary(update); });
}

void GuiView::setListCounters(const QString &text)
{
    onGuiThread([text](MainWindow &w) { w.showListCounters(text); });
}

void GuiView::markRate(int periodMs)
{
    onGuiThread([periodMs](MainWindow &w) { w.markRate(periodMs); });
}

void GuiView::showMessage(const MessageBox &box)
{
    onGuiThread([box](MainWindow &w) { w.showMessage(box); });
}

bool GuiView::askYesNo(const MessageBox &box) { return window_.ask(box); }

void GuiView::letEventsRun()
{
    // Posted work and painting only: no click may start another operation
    // in the middle of this one.
    if (QThread::currentThread() == window_.thread())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace vexal::monitor
