// SPDX-License-Identifier: MIT
// vxl's output: data on standard output, written whole and flushed at once
// so that a reader sees each sample as it comes; messages on standard error.
#pragma once

#include <QByteArrayView>
#include <QString>

namespace vexal::cli {

// False once standard output cannot be written (its reader went away).
bool writeOut(QByteArrayView bytes);

// One line "vxl: " + text on standard error.
void say(const QString &text);

bool isTerminal(int fd);

} // namespace vexal::cli
