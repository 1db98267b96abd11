// SPDX-License-Identifier: GPL-3.0-or-later
// vexal-monitor: the desktop monitor of programs linked with libVexal.
#include "Application.h"
#include "MainWindow.h"
#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    vexal::monitor::describeApplication();
    const vexal::monitor::StartOptions options = vexal::monitor::parseCommandLine(QApplication::arguments());
    try {
        vexal::monitor::MainWindow window(vexal::monitor::desktopMessageBoxes(), options);
        window.show();
        return QApplication::exec();
    } catch (const std::exception &error) {
        // Shown in the toolkit's own box; the program then ends normally.
        QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), QString::fromLocal8Bit(error.what()));
    }
    return 0;
}
