// SPDX-License-Identifier: MIT
// The window's rules against a real application linked with libVexal, with a
// recording window: connect, pause and release, summaries, continuous
// summary, the list and its code, the application's own report calls, loss
// of the connection.
#include "FakeLibrary.h"
#include "MonitorTestSupport.h"
#include "Watched.h"

using namespace vexal::monitor;
using namespace std::chrono_literals;
using vexal::monitor::test::connectPatiently;
using vexal::monitor::test::FakeLibrary;
using vexal::monitor::test::peerPort;
using vexal::monitor::test::RecordingView;
using vexal::monitor::test::Watched;
using G = CommandGroup;

namespace {

// The statuses from `first` on.
QStringList statusesFrom(RecordingView &view, const QString &first)
{
    return view.read<QStringList>([&] { return view.statuses.mid(view.statuses.lastIndexOf(first)); });
}

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

    void getListShowsTheWholeListWithItsCountsAndTheClosingSummary()
    {
        Watched &w = *watched_;
        w.peer.send("leak 250");
        QCOMPARE(w.peer.readLine(), QByteArray("ok"));
        QVERIFY(w.connect());
        w.controller.getList();
        QCOMPARE(statusesFrom(w.view, QStringLiteral("Getting data...")),
                 (QStringList{"Getting data...", "Got 0 records...", "Got 100 records...", "Got 200 records...",
                              "Unloading data...", "Loading data...", "Loaded 0 records...", "Loaded 100 records...",
                              "Loaded 200 records...", "Got list of outstanding memory allocations"}));
        QCOMPARE(w.view.list->size(), 250);
        for (qsizetype i = 1; i < w.view.list->size(); ++i)
            QVERIFY(w.view.list->record(i).index > w.view.list->record(i - 1).index);  // oldest first
        QCOMPARE(w.view.recordCount, 250);
        QCOMPARE(w.view.listCounts.files, 1);
        QCOMPARE(w.view.listCounts.uniqueLines, 1);
        QCOMPARE(w.view.listCounts.threads, 1);
        QCOMPARE(w.view.summaries.back().rows[0], (SummaryRow{"malloc", "250", "7951"}));
        QCOMPARE(w.view.origin.kind, OriginKind::ThisProgram);
        QCOMPARE(w.view.cursor, Cursor::Default);
        for (G group : {G::Disconnect, G::SingleSummary, G::GetList, G::SaveList, G::SaveAll, G::GenerateCode})
            QVERIFY(w.view.enabled(group));
        QVERIFY(!w.view.enabled(G::SaveCode));
        // The list's end let the library go: the application's next tracked call returns.
        w.peer.send("tick");
        QCOMPARE(w.peer.readLine(1s), QByteArray("ticked"));

        w.controller.sortList(w.view.list, ListColumn::Memory);
        QCOMPARE(w.view.statuses.last(), QStringLiteral("Sorted 'Detailed List' after 'Memory (B)'"));
        QVERIFY(w.view.statuses.contains(QStringLiteral("Sorting 'Detailed List' after 'Memory (B)'...")));
        QCOMPARE(w.view.list->record(0).size, 1);
        w.controller.sortList(nullptr, ListColumn::Memory);
        QCOMPARE(w.view.statuses.last(), QStringLiteral("Nothing to sort!"));

        SynthesisOptions exactIndex;
        exactIndex.index.choice = int(FilterChoice::Exact);
        w.controller.generateCode(w.view.list.get(), exactIndex, {0, 1});
        QCOMPARE(w.view.code->size(), 2);
        QCOMPARE(w.view.statuses.mid(w.view.statuses.size() - 2),
                 (QStringList{"Creating Vexal Code...", "Vexal Code created."}));
        QVERIFY(w.view.enabled(G::SaveCode));

        // A summary takes the list and its code away.
        w.controller.singleSummary();
        QVERIFY(!w.view.list && !w.view.code);
        QVERIFY(w.view.statuses.contains(QStringLiteral("Unloading data...")));
        QVERIFY(!w.view.enabled(G::GenerateCode) && !w.view.enabled(G::SaveCode) && !w.view.enabled(G::SaveList));
        QCOMPARE(w.view.listCounters, QStringLiteral("0"));
    }

    void theApplicationsShowListCallIsAnsweredWithTheList()
    {
        Watched &w = *watched_;
        QVERIFY(w.connect());
        w.controller.singleSummary();  // the library serves: only now does it send notices
        w.peer.send("list");
        const QList<QByteArray> site = w.peer.readLine().split(' ');
        QVERIFY(w.view.statusSeen(QStringLiteral("The application sent a detailed list using a VexalShowList call.")));
        // The list's end let the application's call go on, long before its 10 s.
        QCOMPARE(w.peer.readLine(1s), QByteArray("ok"));
        QCOMPARE(w.view.read<Origin>([&] { return w.view.origin; }),
                 (Origin{OriginKind::Application, QString::fromLatin1(site.value(1)), site.value(2).toInt()}));
        QVERIFY(w.view.enabled(G::ShowFullPath) && w.view.enabled(G::GenerateCode));
        const auto list = w.view.read<std::shared_ptr<RecordTable>>([&] { return w.view.list; });
        QVERIFY(list && list->isEmpty());
        const QByteArray saved =
            collectBytes([&](ByteWriter &out) { w.controller.listFileContents(out, list.get(), false, {}); });
        QCOMPARE(saved.left(11), QByteArray("From file: "));

        // A selection, however it was clicked, is saved in the view's order, each row once.
        const RecordTable shown = tableOf({{.file = "a.c"}, {.file = "b.c"}, {.file = "c.c"}});
        const QByteArray chosen =
            collectBytes([&](ByteWriter &out) { w.controller.listFileContents(out, &shown, false, {2, 0, 2}); });
        QVERIFY2(chosen.count("a.c") == 1 && chosen.count("c.c") == 1 && !chosen.contains("b.c")
                     && chosen.indexOf("a.c") < chosen.indexOf("c.c"),
                 chosen.constData());
    }

    void aConnectionLostMidListLeavesNoHalfFilledList()
    {
        FakeLibrary library(1000, FakeLibrary::After::HangUp, 150);
        RecordingView view;
        MonitorController controller(view);
        controller.setUp(kPeriodFast);
        QVERIFY(connectPatiently(controller, view, library.port()));
        QElapsedTimer clock;
        clock.start();
        controller.getList();
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(view.statusSeen(QStringLiteral("Disconnected")));
        QVERIFY(view.read<bool>([&] { return view.list == nullptr; }));
        QVERIFY(!view.read<QStringList>([&] { return view.statuses; }).contains(QStringLiteral("Loading data...")));
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
