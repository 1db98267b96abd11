// SPDX-License-Identifier: MIT
// The leak sites of a program linked with libVexal, over loopback:
//   hold   the longest a tracked call of one of the application's threads
//          waits while the monitor asks for the sites, and the same while
//          it fetches the list, with how long each fetch takes;
//   table  the desktop window's Leak Sites: how long the GUI thread takes to
//          show a refresh (table and chart, painted), with and without a
//          selection, after some refreshes so that the chart has lines.
// Each figure is measured several times; best, median and worst are printed.
//
//   QT_QPA_PLATFORM=offscreen SitesBench hold [BLOCKS] [SITES] [RUNS]
//     (default 1000000 blocks on 1000 sites, 5 runs)
//   QT_QPA_PLATFORM=offscreen SitesBench table [SITES] [RUNS]
//     (default 10000 sites, 20 runs)
#include "WindowBench.h"

#include <MainWindow.h>
#include <SitesChart.h>
#include <SitesWindow.h>
#include <list/ListFetch.h>
#include <sites/SitesFetch.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTableView>
#include <QThread>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vexal::monitor;
using vexal::monitor::bench::QuietBoxes;

namespace {

struct Figures {
    std::vector<double> ms;

    void add(double value) { ms.push_back(value); }
    void add(const QElapsedTimer &clock) { add(static_cast<double>(clock.nsecsElapsed()) / 1e6); }
    void print(const char *what)
    {
        std::sort(ms.begin(), ms.end());
        std::printf("%-48s best %8.1f ms   median %8.1f ms   worst %8.1f ms   (%zu runs)\n", what, ms.front(),
                    ms[ms.size() / 2], ms.back(), ms.size());
    }
};

// The application: `blocks` live blocks on `sites` call sites, serving on
// `port`, reporting the longest tracked call of its working thread.
class Application {
public:
    Application(int port, long blocks, long sites)
    {
        process_.setProgram(QStringLiteral(VEXAL_SITES_PEER));
        process_.setArguments({QString::number(port), QString::number(blocks), QString::number(sites)});
        process_.start();
        process_.waitForStarted();
        line(300000);  // "ready", once every block is made
    }
    ~Application()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

    void reset()
    {
        process_.write("reset\n");
        line();
    }
    // The longest tracked call since the reset, in milliseconds.
    double longest()
    {
        process_.write("report\n");
        return line().split(' ').value(1).toDouble() / 1000.0;
    }

private:
    QByteArray line(int limitMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!process_.canReadLine() && clock.elapsed() < limitMs)
            process_.waitForReadyRead(int(std::max<qint64>(1, limitMs - clock.elapsed())));
        return process_.readLine().trimmed();
    }

    QProcess process_;
};

bool connectTo(Connection &connection, int port)
{
    QElapsedTimer waited;
    waited.start();
    while (connection.open("127.0.0.1", port) != Connection::OpenResult::Connected) {
        if (waited.elapsed() > 10000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

int benchHold(int port, long blocks, long sites, int runs)
{
    Application application(port, blocks, sites);
    Connection connection;
    if (!connectTo(connection, port))
        return 1;
    Figures sitesHold, sitesFetch, listHold, listFetch;
    for (int run = 0; run < runs; ++run) {
        application.reset();
        QElapsedTimer clock;
        clock.start();
        const SitesFetch::Result grouped = SitesFetch(connection).run(0);
        sitesFetch.add(clock);
        sitesHold.add(application.longest());
        if (grouped.outcome != SitesFetch::Outcome::Done || !grouped.grouped) {
            std::fprintf(stderr, "the library did not group the sites\n");
            return 1;
        }

        application.reset();
        RecordTable table;
        clock.restart();
        const ListFetch::Result listed = ListFetch(connection).run(table);
        listFetch.add(clock);
        listHold.add(application.longest());
        if (listed.outcome != ListFetch::Outcome::Done) {
            std::fprintf(stderr, "the list did not arrive\n");
            return 1;
        }
    }
    std::printf("%ld live blocks on %ld sites\n", blocks, sites);
    sitesHold.print("sites: longest tracked call meanwhile");
    sitesFetch.print("sites: fetch");
    listHold.print("list: longest tracked call meanwhile");
    listFetch.print("list: fetch");
    return 0;
}

// The GUI thread's processor time: on a shared machine the wall clock also
// counts the time other processes had the processor.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Shows a copy of the frame on show, as a refresh does, and paints: adds the
// wall time and the processor time it took.
void refreshOnce(SitesWindow &sites, Figures &wall, Figures &cpu)
{
    auto frame = std::make_shared<SitesFrame>(*sites.model().frame());
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = threadCpuMs();
    sites.showSites(std::move(frame));
    sites.table()->viewport()->repaint();
    sites.chart()->viewport()->repaint();
    cpu.add(threadCpuMs() - cpuBefore);
    wall.add(clock);
}

int benchTable(int port, long sites, int runs)
{
    Application application(port, sites, sites);
    QuietBoxes boxes;
    StartOptions options;
    options.port = QString::number(port);
    MainWindow window(boxes, options);
    window.show();
    SitesWindow &sitesWindow = window.sitesWindow();
    QAction *refresh = sitesWindow.refreshAction();
    QElapsedTimer waited;
    waited.start();
    while (!refresh->isEnabled() && waited.elapsed() < 10000) {
        window.mnuMainFileConnectClick();
        QCoreApplication::processEvents();
    }
    sitesWindow.resize(900, 700);
    sitesWindow.show();
    // Some samples, so that the chart draws lines.
    const QString shown = QStringLiteral("%1 sites").arg(sites);
    for (int sample = 0; sample < 10; ++sample) {
        refresh->trigger();
        waited.restart();
        while (!sitesWindow.statusText().startsWith(shown + u',') && waited.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!sitesWindow.statusText().startsWith(shown + u',')) {
            std::fprintf(stderr, "no sites: %s\n", qPrintable(sitesWindow.statusText()));
            return 1;
        }
        sitesWindow.setSitesStatus(QString());
    }
    std::printf("%ld sites, %d rows shown\n", sites, sitesWindow.table()->model()->rowCount());
    Figures none, noneCpu, selected, selectedCpu;
    for (int run = 0; run < runs; ++run)
        refreshOnce(sitesWindow, none, noneCpu);
    none.print("refresh, nothing selected (chart: 5 largest)");
    noneCpu.print("  the same in processor time");
    sitesWindow.table()->selectionModel()->select(
        QItemSelection(sitesWindow.table()->model()->index(0, 0), sitesWindow.table()->model()->index(99, 6)),
        QItemSelectionModel::Select);
    for (int run = 0; run < runs; ++run)
        refreshOnce(sitesWindow, selected, selectedCpu);
    selected.print("refresh, 100 sites selected (chart: 10)");
    selectedCpu.print("  the same in processor time");
    window.close();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const bench::BenchApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("hold");
    const int port = 29000 + static_cast<int>(getpid() % 4000);
    if (mode == "table") {
        const long sites = argc > 2 ? std::max(1L, atol(argv[2])) : 10000;
        const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 20;
        return benchTable(port, sites, runs);
    }
    const long blocks = argc > 2 ? std::max(0L, atol(argv[2])) : 1000000;
    const long sites = argc > 3 ? std::max(1L, atol(argv[3])) : 1000;
    const int runs = argc > 4 ? std::max(1, atoi(argv[4])) : 5;
    return benchHold(port, blocks, sites, runs);
}
