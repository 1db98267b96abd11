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
    std::unique_ptr<Watched> watched_;

private slots:
    // Each test has an application of its own and a monitor for it.
    void init() { watched_ = std::make_unique<Watched>(peerPort(peers_++)); }
    void cleanup() { watched_.reset(); }

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
        Watched &w = *watched_;
        QCOMPARE(w.view.markedRate, std::optional<int>(kPeriodFast));
        QVERIFY(w.connect());
        QCOMPARE(w.view.chartTitle, QStringLiteral("Summary of Allocations"));
        QCOMPARE(w.view.origin, Origin{});
        for (G group : {G::Disconnect, G::SingleSummary, G::StartContinuous, G::GetList, G::Pause, G::Quit})
            QVERIFY(w.view.enabled(group));
        for (G group : {G::Connect, G::StopContinuous, G::Release, G::SaveSummary})
            QVERIFY(!w.view.enabled(group));

        w.controller.disconnect();
        QCOMPARE(w.view.statuses.mid(w.view.statuses.size() - 2),
                 (QStringList{"Disconnecting from application...", "Disconnected"}));
        QVERIFY(w.view.enabled(G::Connect));
        QVERIFY(w.view.messages.empty());
    }

    void aPausedApplicationWaitsInItsTrackedCallsUntilReleased()
    {
        Watched &w = *watched_;
        QVERIFY(w.connect());
        w.controller.pause();
        QCOMPARE(w.view.pausedMark, QStringLiteral("Application is paused!"));
        QVERIFY(!w.view.enabled(G::Pause) && w.view.enabled(G::Release));
        w.peer.send("tick");
        QVERIFY(w.peer.readLine(300ms).isEmpty());
        QElapsedTimer clock;
        clock.start();
        w.controller.release();
        QCOMPARE(w.peer.readLine(), QByteArray("ticked"));
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(w.view.pausedMark, QString());
        QVERIFY(w.view.enabled(G::Pause) && !w.view.enabled(G::Release));
    }

    void aSingleSummaryShowsTheApplicationsCounters()
    {
        Watched &w = *watched_;
        w.peer.send("malloc 100");
        QCOMPARE(w.peer.readLine(), QByteArray("ok"));
        QVERIFY(w.connect());
        w.controller.singleSummary();
        QCOMPARE(w.view.statuses.last(), QStringLiteral("Got summary status"));
        QCOMPARE(w.view.origin.kind, OriginKind::ThisProgram);
        QCOMPARE(w.view.summaries.size(), std::size_t(1));
        const std::vector<SummaryRow> &rows = w.view.summaries[0].rows;
        QCOMPARE(rows.size(), std::size_t(4));
        QCOMPARE(rows[0], (SummaryRow{"malloc", "1", "100"}));
        QCOMPARE(rows[2], (SummaryRow{"Total", "1", "100"}));
        QCOMPARE(rows[3].caption, QStringLiteral("Internal Use"));
        QVERIFY(w.view.enabled(G::SaveSummary) && w.view.enabled(G::SaveAll) && !w.view.enabled(G::SaveList));
        QVERIFY(w.view.enabled(G::SingleSummary));
    }

    void theApplicationsReportCallEndsContinuousSummary()
    {
        Watched &w = *watched_;
        QVERIFY(w.connect());
        w.controller.changeRate(kPeriodUltra);
        QCOMPARE(w.view.statuses.last(), QStringLiteral("Continous summary changed to every 200 ms"));
        w.controller.startContinuous();
        QVERIFY(w.view.statuses.contains(QStringLiteral("Gets updated summary from application every 200 ms")));
        QCOMPARE(w.view.cursor, Cursor::AppStarting);
        QVERIFY(w.view.enabled(G::StopContinuous) && !w.view.enabled(G::Disconnect));
        QVERIFY(w.view.waitFor([&] { return w.view.summaries.size() >= 3; }));
        QVERIFY(w.view.statusSeen(QStringLiteral("Get summary every 200ms")));

        w.peer.send("status");
        const QList<QByteArray> site = w.peer.readLine().split(' ');
        QVERIFY(w.view.statusSeen(QStringLiteral("The application sent summary status using a VexalShowStatus call.")));
        QCOMPARE(w.view.read<Origin>([&] { return w.view.origin; }),
                 (Origin{OriginKind::Application, QString::fromLatin1(site.value(1)), site.value(2).toInt()}));
        QVERIFY(!w.view.enabled(G::StopContinuous));
        QVERIFY(w.view.enabled(G::Disconnect) && w.view.enabled(G::StartContinuous) && w.view.enabled(G::SingleSummary));
        QCOMPARE(w.view.read<Cursor>([&] { return w.view.cursor; }), Cursor::Default);
        // The ticker has ended: no summary comes any more.
        QTest::qWait(100);
        const std::size_t shown = w.view.read<std::size_t>([&] { return w.view.summaries.size(); });
        QVERIFY(!w.view.waitFor([&] { return w.view.summaries.size() > shown + 1; }, 600ms));
        QCOMPARE(w.view.read<QString>([&] { return w.view.statuses.last(); }),
                 QStringLiteral("The application sent summary status using a VexalShowStatus call."));
    }

    void stoppingContinuousSummaryRestoresTheConnectedState()
    {
        Watched &w = *watched_;
        w.controller.changeRate(kPeriodSlow);
        QVERIFY(w.connect());
        w.controller.startContinuous();
        QVERIFY(w.view.waitFor([&] { return w.view.summaries.size() == 1; }));
        QElapsedTimer clock;
        clock.start();
        w.controller.stopContinuous();  // the ticker sleeps 10 s: Stop must not wait for that
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(w.view.statuses.last(), QStringLiteral("Stopped getting continous summary from application."));
        for (G group : {G::Disconnect, G::SingleSummary, G::StartContinuous, G::GetList, G::ShowFullPath,
                        G::SaveSummary})
            QVERIFY(w.view.enabled(group));
        QVERIFY(!w.view.enabled(G::StopContinuous));
        QCOMPARE(w.view.cursor, Cursor::Default);
    }

    void losingThePausedApplicationReportsItWithoutWaitingForARelease()
    {
        Watched &w = *watched_;
        QVERIFY(w.connect());
        w.controller.pause();
        QCOMPARE(w.view.pausedMark, QStringLiteral("Application is paused!"));
        w.peer.kill();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(w.view.statusSeen(QStringLiteral("Disconnected")));
        QVERIFY2(clock.elapsed() < 2000, "the disconnect waited for an answer from a lost application");
        const QStringList statuses = w.view.read<QStringList>([&] { return w.view.statuses; });
        const auto lost = statuses.indexOf(QStringLiteral("Connection lost with the application!"));
        QVERIFY(lost >= 0 && lost < statuses.lastIndexOf(QStringLiteral("Disconnected")));
        QCOMPARE(w.view.read<std::vector<MessageBox>>([&] { return w.view.messages; }),
                 (std::vector<MessageBox>{{QStringLiteral("Connection Lost"),
                                           QStringLiteral("Connection lost with the application!"),
                                           MessageIcon::Warning}}));
        QVERIFY(w.view.waitFor([&] { return w.view.pausedMark.isEmpty() && w.view.groups[0] && !w.view.groups[12]; }));
    }
};

QTEST_GUILESS_MAIN(MonitorControllerTest)
#include "MonitorControllerTest.moc"
