// SPDX-License-Identifier: MIT
// The window's rules against a real application linked with libVexal, with a
// recording window: connect, pause and release, summaries, continuous
// summary and the application's own report call, loss of the connection.
#include "PeerProcess.h"
#include "RecordingView.h"

#include <MonitorController.h>
#include <MonitorSettings.h>

#include <QElapsedTimer>
#include <QTest>

using namespace vexal::monitor;
using namespace std::chrono_literals;
using vexal::monitor::test::PeerProcess;
using vexal::monitor::test::peerPort;
using vexal::monitor::test::RecordingView;
using G = CommandGroup;

namespace {

const QString kConnected = QStringLiteral("Connected to application.");

// The library listens a moment after it starts; the boxes of the attempts
// before are forgotten.
bool connectPatiently(MonitorController &controller, RecordingView &view, int port)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        controller.connect(QStringLiteral("127.0.0.1"), port, false);
        if (view.read<bool>([&] { return view.statuses.last() == kConnected; })) {
            view.read<bool>([&] {
                view.messages.clear();
                return true;
            });
            return true;
        }
        QTest::qWait(20);
    }
    return false;
}

// An application and a monitor for it, set up as the window does.
struct Watched {
    explicit Watched(int port, int period = kPeriodFast) : peer(port), controller(view) { controller.setUp(period); }
    bool connect() { return connectPatiently(controller, view, peer.port()); }

    PeerProcess peer;
    RecordingView view;
    MonitorController controller;  // last: its threads use the view
};

} // namespace

class MonitorControllerTest : public QObject {
    Q_OBJECT

private:
    int peers_ = 0;

private slots:
    void anUnreachableLibraryIsReportedAndTheWindowStaysDisconnected()
    {
        RecordingView view;
        MonitorController controller(view);
        controller.setUp(kPeriodFast);
        const int nobody = peerPort(peers_++);
        controller.connect(QStringLiteral("127.0.0.1"), nobody, false);
        const QString text = QStringLiteral("Could not connect to IP Address 127.0.0.1 on port %1").arg(nobody);
        QCOMPARE(view.statuses.last(), text);
        QCOMPARE(view.messages, (std::vector<MessageBox>{{QStringLiteral("Not reachable"), text, MessageIcon::Warning}}));
        QVERIFY(view.enabled(G::Connect));
        QVERIFY(!view.enabled(G::Disconnect));
        QCOMPARE(view.cursor, Cursor::Default);
    }

    void connectingResetsTheViewsAndEnablesTheConnectedGroups()
    {
        Watched watched(peerPort(peers_++));
        [[maybe_unused]] PeerProcess &peer = watched.peer;
        RecordingView &view = watched.view;
        MonitorController &controller = watched.controller;
        QCOMPARE(view.markedRate, std::optional<int>(kPeriodFast));
        QVERIFY(watched.connect());
        QCOMPARE(view.chartTitle, QStringLiteral("Summary of Allocations"));
        QCOMPARE(view.origin, Origin{});
        for (G group : {G::Disconnect, G::SingleSummary, G::StartContinuous, G::GetList, G::Pause, G::Quit})
            QVERIFY(view.enabled(group));
        for (G group : {G::Connect, G::StopContinuous, G::Release, G::SaveSummary})
            QVERIFY(!view.enabled(group));

        controller.disconnect();
        QCOMPARE(view.statuses.mid(view.statuses.size() - 2),
                 (QStringList{"Disconnecting from application...", "Disconnected"}));
        QVERIFY(view.enabled(G::Connect));
        QVERIFY(view.messages.empty());
    }

    void aPausedApplicationWaitsInItsTrackedCallsUntilReleased()
    {
        Watched watched(peerPort(peers_++));
        [[maybe_unused]] PeerProcess &peer = watched.peer;
        RecordingView &view = watched.view;
        MonitorController &controller = watched.controller;
        QVERIFY(watched.connect());
        controller.pause();
        QCOMPARE(view.pausedMark, QStringLiteral("Application is paused!"));
        QVERIFY(!view.enabled(G::Pause) && view.enabled(G::Release));
        peer.send("tick");
        QVERIFY(peer.readLine(300ms).isEmpty());
        QElapsedTimer clock;
        clock.start();
        controller.release();
        QCOMPARE(peer.readLine(), QByteArray("ticked"));
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(view.pausedMark, QString());
        QVERIFY(view.enabled(G::Pause) && !view.enabled(G::Release));
    }

    void aSingleSummaryShowsTheApplicationsCounters()
    {
        Watched watched(peerPort(peers_++));
        [[maybe_unused]] PeerProcess &peer = watched.peer;
        RecordingView &view = watched.view;
        MonitorController &controller = watched.controller;
        peer.send("malloc 100");
        QCOMPARE(peer.readLine(), QByteArray("ok"));
        QVERIFY(watched.connect());
        controller.singleSummary();
        QCOMPARE(view.statuses.last(), QStringLiteral("Got summary status"));
        QCOMPARE(view.origin.kind, OriginKind::ThisProgram);
        QCOMPARE(view.summaries.size(), std::size_t(1));
        const std::vector<SummaryRow> &rows = view.summaries[0].rows;
        QCOMPARE(rows.size(), std::size_t(4));
        QCOMPARE(rows[0], (SummaryRow{"malloc", "1", "100"}));
        QCOMPARE(rows[2], (SummaryRow{"Total", "1", "100"}));
        QCOMPARE(rows[3].caption, QStringLiteral("Internal Use"));
        QVERIFY(view.enabled(G::SaveSummary) && view.enabled(G::SaveAll) && !view.enabled(G::SaveList));
        QVERIFY(view.enabled(G::SingleSummary));
    }

    void theApplicationsReportCallEndsContinuousSummary()
    {
        Watched watched(peerPort(peers_++));
        [[maybe_unused]] PeerProcess &peer = watched.peer;
        RecordingView &view = watched.view;
        MonitorController &controller = watched.controller;
        QVERIFY(watched.connect());
        controller.changeRate(kPeriodUltra);
        QCOMPARE(view.statuses.last(), QStringLiteral("Continous summary changed to every 200 ms"));
        controller.startContinuous();
        QVERIFY(view.statuses.contains(QStringLiteral("Gets updated summary from application every 200 ms")));
        QCOMPARE(view.cursor, Cursor::AppStarting);
        QVERIFY(view.enabled(G::StopContinuous) && !view.enabled(G::Disconnect));
        QVERIFY(view.waitFor([&] { return view.summaries.size() >= 3; }));
        QVERIFY(view.statusSeen(QStringLiteral("Get summary every 200ms")));

        peer.send("status");
        const QList<QByteArray> site = peer.readLine().split(' ');
        QVERIFY(view.statusSeen(QStringLiteral("The application sent summary status using a VexalShowStatus call.")));
        QCOMPARE(view.read<Origin>([&] { return view.origin; }),
                 (Origin{OriginKind::Application, QString::fromLatin1(site.value(1)), site.value(2).toInt()}));
        QVERIFY(!view.enabled(G::StopContinuous));
        QVERIFY(view.enabled(G::Disconnect) && view.enabled(G::StartContinuous) && view.enabled(G::SingleSummary));
        QCOMPARE(view.read<Cursor>([&] { return view.cursor; }), Cursor::Default);
        // The ticker has ended: no summary comes any more.
        QTest::qWait(100);
        const std::size_t shown = view.read<std::size_t>([&] { return view.summaries.size(); });
        QVERIFY(!view.waitFor([&] { return view.summaries.size() > shown + 1; }, 600ms));
    }

    void stoppingContinuousSummaryRestoresTheConnectedState()
    {
        Watched watched(peerPort(peers_++), kPeriodSlow);
        [[maybe_unused]] PeerProcess &peer = watched.peer;
        RecordingView &view = watched.view;
        MonitorController &controller = watched.controller;
        QVERIFY(watched.connect());
        controller.startContinuous();
        QVERIFY(view.waitFor([&] { return view.summaries.size() == 1; }));
        QElapsedTimer clock;
        clock.start();
        controller.stopContinuous();  // the ticker sleeps 10 s: Stop must not wait for that
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(view.statuses.last(), QStringLiteral("Stopped getting continous summary from application."));
        for (G group : {G::Disconnect, G::SingleSummary, G::StartContinuous, G::GetList, G::ShowFullPath,
                        G::SaveSummary})
            QVERIFY(view.enabled(group));
        QVERIFY(!view.enabled(G::StopContinuous));
        QCOMPARE(view.cursor, Cursor::Default);
    }

    void losingThePausedApplicationReportsItWithoutWaitingForARelease()
    {
        Watched watched(peerPort(peers_++));
        [[maybe_unused]] PeerProcess &peer = watched.peer;
        RecordingView &view = watched.view;
        MonitorController &controller = watched.controller;
        QVERIFY(watched.connect());
        controller.pause();
        QCOMPARE(view.pausedMark, QStringLiteral("Application is paused!"));
        peer.kill();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(view.statusSeen(QStringLiteral("Disconnected")));
        QVERIFY2(clock.elapsed() < 2000, "the disconnect waited for an answer from a lost application");
        const QStringList statuses = view.read<QStringList>([&] { return view.statuses; });
        const auto lost = statuses.indexOf(QStringLiteral("Connection lost with the application!"));
        QVERIFY(lost >= 0 && lost < statuses.lastIndexOf(QStringLiteral("Disconnected")));
        QCOMPARE(view.read<std::vector<MessageBox>>([&] { return view.messages; }),
                 (std::vector<MessageBox>{{QStringLiteral("Connection Lost"),
                                           QStringLiteral("Connection lost with the application!"),
                                           MessageIcon::Warning}}));
        QVERIFY(view.waitFor([&] { return view.pausedMark.isEmpty() && view.groups[0] && !view.groups[12]; }));
    }
};

QTEST_GUILESS_MAIN(MonitorControllerTest)
#include "MonitorControllerTest.moc"
