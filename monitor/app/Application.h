// SPDX-License-Identifier: GPL-3.0-or-later
// The program's identity and its command line.
#pragma once

#include "MainWindow.h"

#include <QStringList>

namespace vexal::monitor {

// Names the application: title "Vexal - Monitor", and the project's version.
void describeApplication();

// Reads --address, --port and --connect (and answers --help and --version
// by exiting). Bad values are reported on standard error with exit code 2.
StartOptions parseCommandLine(const QStringList &arguments);

} // namespace vexal::monitor
