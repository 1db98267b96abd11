// SPDX-License-Identifier: MIT
// Runs the test application (monitor_peer, linked with libVexal) serving a
// monitor on its own port, and talks to it over its standard input and output.
#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <unistd.h>

#include <chrono>

namespace vexal::monitor::test {

// Ports derived from the process id, so that parallel test processes do not
// meet; each peer gets a few, as the library moves to the next port for
// every new connection.
inline int peerPort(int peerNumber)
{
    constexpr int kPortsPerPeer = 4;
    return 20000 + static_cast<int>((getpid() * 7) % 12000) + peerNumber * kPortsPerPeer;
}

class PeerProcess {
public:
    explicit PeerProcess(int port) : port_(port)
    {
        process_.setProgram(QStringLiteral(VEXAL_MONITOR_PEER));
        process_.setArguments({QString::number(port)});
        process_.start();
        process_.waitForStarted();
        readLine();  // "ready"
    }
    ~PeerProcess()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    int port() const { return port_; }

    void send(const QByteArray &command) { process_.write(command + '\n'); }

    // The next answer line, or empty after `limit`.
    QByteArray readLine(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        QDeadlineTimer deadline(limit);
        while (!process_.canReadLine() && process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        }
        return process_.canReadLine() ? process_.readLine().trimmed() : QByteArray();
    }

    void kill()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    int port_;
    QProcess process_;
};

} // namespace vexal::monitor::test
