// SPDX-License-Identifier: MIT
// Runs a test application linked with libVexal (monitor_peer unless told)
// serving a monitor on its own port, and talks to it over its standard input
// and output.
#pragma once

#include "ProcessLine.h"

#include <TestPorts.h>
#include <connection/Connection.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <unistd.h>

#include <chrono>

namespace vexal::monitor::test {

using vexal::test::readLineWithin;

// Each peer gets a few of this process's ports, as the library moves to the
// next port for every new connection.
inline int peerPort(int peerNumber)
{
    constexpr int kPortsPerPeer = 4;
    constexpr int kPorts = 64;  // sixteen peers
    return vxltest::testPort(peerNumber * kPortsPerPeer, kPorts);
}

// The library listens a moment after it starts.
inline bool openPatiently(Connection &connection, int port)
{
    QElapsedTimer clock;
    clock.start();
    while (connection.open("127.0.0.1", port) != Connection::OpenResult::Connected) {
        if (clock.elapsed() > 10000) {
            qWarning("no connection to port %d within 10 s", port);
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

class PeerProcess {
public:
    explicit PeerProcess(int port, const QString &program = QStringLiteral(VEXAL_MONITOR_PEER),
                         const QStringList &more = {})
        : port_(port)
    {
        process_.setProgram(program);
        process_.setArguments(QStringList{QString::number(port)} + more);
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

    // The next answer line, or empty after `limit` (with a warning).
    QByteArray readLine(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        return readLineWithin(process_, QProcess::StandardOutput, limit, "the application").trimmed();
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
