// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpPage.h"

#include <QCoreApplication>
#include <QDir>

namespace vexal::monitor {

QString helpPagePath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/Vexal/index.htm"));
}

} // namespace vexal::monitor
