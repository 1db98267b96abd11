// SPDX-License-Identifier: MIT
// Continuous summary at the Ultra rate in the desktop window, against the
// example program over loopback:
//   - the GUI thread's longest stall: a 10 ms timer measures how late the
//     event loop runs it;
//   - the resident memory at the start and the end, and per summary shown;
//   - the cost of displaying one summary (table and chart, the paint not
//     counted, then one paint) after 10 and after 10 000 earlier summaries.
//
//   QT_QPA_PLATFORM=offscreen SummaryBench [SECONDS]   (default 60)
#include "WindowBench.h"

#include <MainWindow.h>
#include <SummaryPage.h>
#include <settings/MonitorSettings.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

using namespace vexal::monitor;
using vexal::monitor::bench::QuietBoxes;

namespace {

constexpr int kWatchdogMs = 10;
constexpr int kDisplaysPerMeasure = 200;

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

StatusValues sample(int i)
{
    StatusValues values;
    for (int k = 0; k < kFunctionCount; k += 2) {
        values.calls[static_cast<std::size_t>(k)] = 10 + i;
        values.bytes[static_cast<std::size_t>(k)] = 1000 + (i % 97) * 13;
    }
    values.internalUse = 5000;
    return values;
}

// Microseconds per displayed summary after `history` earlier ones: the
// update of table and chart alone, and with the repaint of both that the
// event loop does after it.
void measureDisplay(int history)
{
    QuietBoxes boxes;
    MainWindow window(boxes);
    window.show();
    SummaryPage &summary = *window.findChild<SummaryPage *>(QStringLiteral("grbStatus"));
    SummaryState state;
    int64_t now = 0;
    for (int i = 0; i < history; ++i)
        summary.showSummary(state.display(sample(i), now += 200));
    QCoreApplication::processEvents();
    QWidget *chart = window.findChild<QWidget *>(QStringLiteral("Chart1"));
    QAbstractScrollArea *table = window.findChild<QAbstractScrollArea *>(QStringLiteral("lvwStatus"));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kDisplaysPerMeasure; ++i)
        summary.showSummary(state.display(sample(history + i), now += 200));
    const double update = static_cast<double>(clock.nsecsElapsed()) / 1000.0 / kDisplaysPerMeasure;
    clock.restart();
    for (int i = 0; i < kDisplaysPerMeasure; ++i) {
        summary.showSummary(state.display(sample(history + kDisplaysPerMeasure + i), now += 200));
        chart->repaint();
        table->viewport()->repaint();
    }
    const double painted = static_cast<double>(clock.nsecsElapsed()) / 1000.0 / kDisplaysPerMeasure;
    std::printf("one summary after %6d earlier: display %8.1f us, display and repaint %8.1f us\n", history, update,
                painted);
}

} // namespace

int main(int argc, char **argv)
{
    const bench::BenchApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;
    const int port = 24000 + static_cast<int>(getpid() % 4000);

    measureDisplay(10);
    measureDisplay(1000);
    measureDisplay(10000);

    QProcess example;
    example.setProgram(QStringLiteral(VEXAL_EXAMPLE_EXE));
    example.setArguments({QStringLiteral("--port"), QString::number(port), QStringLiteral("--seconds"),
                          QString::number(seconds + 30)});
    example.setStandardOutputFile(QProcess::nullDevice());
    example.start();
    example.waitForStarted();

    QuietBoxes boxes;
    StartOptions options;
    options.port = QString::number(port);
    MainWindow window(boxes, options);
    window.show();
    QTimer::singleShot(500, &window, [&] {
        window.mnuMainFileConnectClick();
        window.controller().changeRate(kPeriodUltra);
        window.controller().startContinuous();
    });

    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestStallMs = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        longestStallMs = std::max(longestStallMs, sinceTick.restart() - kWatchdogMs);
    });
    double startMb = 0;
    std::size_t startSamples = 0;
    QTimer::singleShot(3000, [&] {  // connected and running by then
        startMb = residentMegabytes();
        startSamples = window.controller().summarySamples();
        longestStallMs = 0;
        sinceTick.restart();
        watchdog.start(kWatchdogMs);
    });
    QTimer::singleShot((seconds + 3) * 1000, [&] {
        const double endMb = residentMegabytes();
        const std::size_t samples = window.controller().summarySamples();
        std::printf("continuous summary at Ultra for %d s: %zu summaries shown\n", seconds, samples - startSamples);
        std::printf("longest GUI-thread stall: %lld ms\n", static_cast<long long>(longestStallMs));
        std::printf("resident memory: %.1f MB -> %.1f MB (%.0f bytes per summary)\n", startMb, endMb,
                    samples > startSamples ? (endMb - startMb) * 1048576.0 / static_cast<double>(samples - startSamples)
                                           : 0.0);
        window.close();
        QCoreApplication::quit();
    });
    const int result = QApplication::exec();
    example.kill();
    example.waitForFinished();
    return result;
}
