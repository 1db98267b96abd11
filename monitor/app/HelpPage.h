// SPDX-License-Identifier: GPL-3.0-or-later
// Where the installed help page is: beside the program, in
// ../share/doc/Vexal/index.htm (the build tree has the same layout).
#pragma once

#include <QString>

namespace vexal::monitor {

QString helpPagePath();

} // namespace vexal::monitor
