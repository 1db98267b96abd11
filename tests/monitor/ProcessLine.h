// SPDX-License-Identifier: MIT
// Reading the lines a child process writes. QProcess::waitForReadyRead is no
// wait for a line: it returns early when data arrives on the other channel,
// when only part of a line came, and when the process has ended. This keeps
// waiting until its own deadline, and when no whole line came it says so,
// with what it saw.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <QtGlobal>

#include <chrono>

namespace vexal::test {

// The next whole line on `channel`, or empty when none came within `limit`
// (a warning, naming `who`, then tells whether the process had ended and
// what part of a line had come).
inline QByteArray readLineWithin(QProcess &process, QProcess::ProcessChannel channel,
                                 std::chrono::milliseconds limit, const char *who)
{
    const QDeadlineTimer deadline(limit);
    process.setReadChannel(channel);
    while (!process.canReadLine() && process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (!process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            QThread::msleep(1);  // returned early: no busy loop while the other channel is busy
        process.setReadChannel(channel);
    }
    if (process.canReadLine())
        return process.readLine();
    const QByteArray part = process.peek(200);
    if (process.state() == QProcess::NotRunning)
        qWarning("%s: no line: the process had ended (exit code %d); part of a line: \"%s\"", who,
                 process.exitCode(), part.constData());
    else
        qWarning("%s: no line within %lld ms; part of a line: \"%s\"", who, static_cast<long long>(limit.count()),
                 part.constData());
    return {};
}

} // namespace vexal::test
