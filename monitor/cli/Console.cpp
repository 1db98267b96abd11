// SPDX-License-Identifier: MIT
#include "Console.h"

#include <unistd.h>

#include <cstdio>

namespace vexal::cli {

bool writeOut(QByteArrayView bytes)
{
    return std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
           && std::fflush(stdout) == 0;
}

void say(const QString &text)
{
    const QByteArray line = "vxl: " + text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

bool isTerminal(int fd) { return isatty(fd) == 1; }

} // namespace vexal::cli
