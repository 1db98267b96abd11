// SPDX-License-Identifier: MIT
// An application linked with libVexal and a monitor core for it, set up as
// the window does, with a recording window.
#pragma once

#include "PeerProcess.h"
#include "RecordingView.h"

#include <settings/MonitorSettings.h>
#include <window/MonitorController.h>

#include <QElapsedTimer>
#include <QTest>

namespace vexal::monitor::test {

// The library listens a moment after it starts; the boxes of the attempts
// before are forgotten.
inline bool connectPatiently(MonitorController &controller, RecordingView &view, int port)
{
    const QString connected = QStringLiteral("Connected to application.");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        controller.connect(QStringLiteral("127.0.0.1"), port, false);
        if (view.read<bool>([&] { return view.statuses.last() == connected; })) {
            view.read<bool>([&] {
                view.messages.clear();
                return true;
            });
            return true;
        }
        QTest::qWait(20);
    }
    qWarning("no connection to port %d within 10 s; last status: \"%s\"", port,
             qPrintable(view.read<QString>([&] { return view.statuses.value(view.statuses.size() - 1); })));
    return false;
}

struct Watched {
    explicit Watched(int port, int period = kPeriodFast, const QString &program = QStringLiteral(VEXAL_MONITOR_PEER))
        : peer(port, program), controller(view)
    {
        controller.setUp(period);
    }
    bool connect() { return connectPatiently(controller, view, peer.port()); }

    PeerProcess peer;
    RecordingView view;
    MonitorController controller;  // last: its threads use the view
};

} // namespace vexal::monitor::test
