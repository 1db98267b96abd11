// SPDX-License-Identifier: MIT
// Runs vxl as a user would: arguments, standard input, a signal, and what it
// printed on each channel with its exit status.
#pragma once

#include "ProcessLine.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

#include <signal.h>

#include <chrono>

namespace vexal::cli::test {

struct Ran {
    int status = -1;  // -1: it did not end normally in time
    QByteArray out;
    QByteArray err;
};

// Where a local application listens; patient with one that is starting,
// and scanning only the ports the monitor tests give each application.
inline QStringList at(int port)
{
    return {QStringLiteral("--port"), QString::number(port), QStringLiteral("--scan"), QStringLiteral("3"),
            QStringLiteral("--wait"), QStringLiteral("10000")};
}

class Vxl {
public:
    explicit Vxl(const QStringList &arguments)
    {
        process_.start(QStringLiteral(VXL_PROGRAM), arguments);
        process_.waitForStarted();
    }
    ~Vxl()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // The next line on standard output or error, empty after `limit` (with
    // a warning).
    QByteArray outLine(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        return line(QProcess::StandardOutput, limit);
    }
    QByteArray errLine(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        return line(QProcess::StandardError, limit);
    }

    void type(const QByteArray &input)
    {
        process_.write(input);
        process_.waitForBytesWritten();
    }
    void signal(int number) { ::kill(pid_t(process_.processId()), number); }

    Ran finish(std::chrono::milliseconds limit = std::chrono::seconds(60))
    {
        Ran ran;
        // waitForFinished is false also for a process that ended during an
        // earlier wait: the state tells.
        const QDeadlineTimer deadline(limit);
        while (process_.state() != QProcess::NotRunning && !deadline.hasExpired())
            process_.waitForFinished(int(deadline.remainingTime()));
        if (process_.state() != QProcess::NotRunning)
            qWarning("vxl did not end within %lld ms", static_cast<long long>(limit.count()));
        else if (process_.exitStatus() == QProcess::NormalExit)
            ran.status = process_.exitCode();
        ran.out = out_ + process_.readAllStandardOutput();
        ran.err = err_ + process_.readAllStandardError();
        return ran;
    }

private:
    QByteArray line(QProcess::ProcessChannel channel, std::chrono::milliseconds limit)
    {
        const QByteArray read = vexal::test::readLineWithin(
            process_, channel, limit, channel == QProcess::StandardOutput ? "vxl's output" : "vxl's errors");
        (channel == QProcess::StandardOutput ? out_ : err_) += read;
        return read;
    }

    QProcess process_;
    QByteArray out_;  // lines already read, for finish()
    QByteArray err_;
};

inline Ran vxl(const QStringList &arguments) { return Vxl(arguments).finish(); }

} // namespace vexal::cli::test
