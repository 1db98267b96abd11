// SPDX-License-Identifier: MIT
// The list of live allocations of a program linked with libVexal, fetched
// over loopback:
//   core    the monitor core's fetch alone (ListFetch into a RecordTable);
//   ceiling the same against a stand-in library that writes the answers to
//           all the requests waiting in its input together: what the
//           monitor's side can take;
//   window  the desktop window: from the click on "Get list of
//           allocations" to "Got list of outstanding memory allocations",
//           the monitor's peak resident memory, a sort by each column both
//           ways (click to "Sorted ..."), and Generate with "The exact
//           index" (click to "Vexal Code created."), then Save List as and
//           Save VXL Code as of all of it (click to "... written to file").
// Each figure is measured several times; best and median are printed.
//
//   QT_QPA_PLATFORM=offscreen ListBench core|ceiling|window [RECORDS] [RUNS]
//   (default 100000 records, 5 runs; VEXAL_LIST_PEER names another
//   application program to start)
#include "FakeLibrary.h"
#include "WindowBench.h"

#include <FileDialogs.h>
#include <MainWindow.h>
#include <list/ListFetch.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QProcess>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

using namespace vexal::monitor;
using vexal::monitor::bench::QuietBoxes;

namespace {

struct Figures {
    std::vector<double> ms;

    void add(const QElapsedTimer &clock) { ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6); }
    void print(const char *what)
    {
        std::sort(ms.begin(), ms.end());
        std::printf("%-44s best %9.1f ms   median %9.1f ms   (%zu runs)\n", what, ms.front(), ms[ms.size() / 2],
                    ms.size());
    }
};

template <class T>
T *named(QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Every save goes to one file in a temporary directory.
class TemporaryFiles : public FileDialogs {
public:
    std::optional<QString> chooseSaveFile(QWidget *, const SaveFileDialog &) override
    {
        return dir_.filePath(QStringLiteral("saved"));
    }

private:
    QTemporaryDir dir_;
};

// The application, holding `records` live blocks, serving on `port`.
class Application {
public:
    Application(int port, long records)
    {
        process_.setProgram(qEnvironmentVariable("VEXAL_LIST_PEER", QStringLiteral(VEXAL_LIST_PEER)));
        process_.setArguments({QString::number(port), QString::number(records)});
        process_.start();
        process_.waitForStarted();
        while (!process_.canReadLine() && process_.waitForReadyRead(60000)) {
        }
        process_.readLine();  // "ready"
    }
    ~Application()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

private:
    QProcess process_;
};

int benchCore(int port, long records, int runs)
{
    Connection connection;
    QElapsedTimer waited;
    waited.start();
    while (connection.open("127.0.0.1", port) != Connection::OpenResult::Connected) {
        if (waited.elapsed() > 10000)
            return 1;
        QThread::msleep(20);
    }
    Figures fetch;
    for (int run = 0; run < runs; ++run) {
        RecordTable table;
        QElapsedTimer clock;
        clock.start();
        const ListFetch::Result result = ListFetch(connection).run(table);
        fetch.add(clock);
        if (result.outcome != ListFetch::Outcome::Done || table.size() != records) {
            std::fprintf(stderr, "fetch failed\n");
            return 1;
        }
    }
    std::printf("%ld records\n", records);
    fetch.print("core fetch (ListFetch into a RecordTable)");
    return 0;
}

int benchWindow(int port, long records, int runs)
{
    QuietBoxes boxes;
    StartOptions options;
    options.port = QString::number(port);
    TemporaryFiles files;
    MainWindow window(boxes, options, &files);
    window.show();
    QAction *getList = named<QAction>(window, "mnuMainViewGetList");
    QAction *generateCode = named<QAction>(window, "mnuMainCodeGenerate");
    QTableView *list = named<QTableView>(window, "lvwList");
    QTableView *code = named<QTableView>(window, "lvwCode");
    QElapsedTimer waited;
    waited.start();
    while (!getList->isEnabled() && waited.elapsed() < 10000) {
        window.mnuMainFileConnectClick();
        QCoreApplication::processEvents();
    }
    const QString got = QStringLiteral("Got list of outstanding memory allocations");
    std::printf("%ld records\n", records);

    Figures fetch;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        getList->trigger();
        fetch.add(clock);
        QCoreApplication::processEvents();
        if (window.statusText() != got || list->model()->rowCount() != records) {
            std::fprintf(stderr, "fetch failed: %s\n", qPrintable(window.statusText()));
            return 1;
        }
    }
    fetch.print("window: click to \"Got list...\"");
    std::printf("%-44s %9.1f MB\n", "monitor peak resident memory", peakResidentMegabytes());

    QHeaderView *header = list->horizontalHeader();
    for (int column = 0; column < header->count(); ++column) {
        Figures sort;
        for (int click = 0; click < 2 * std::max(1, runs / 2); ++click) {  // ascending, descending, ...
            QElapsedTimer clock;
            clock.start();
            emit header->sectionClicked(column);
            sort.add(clock);
        }
        const QByteArray what = "sort by '" + list->model()->headerData(column, Qt::Horizontal).toString().toUtf8()
                                + "'";
        sort.print(what.constData());
    }

    named<QRadioButton>(window, "rbnOneIndex")->setChecked(true);
    Figures generate;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        generateCode->trigger();
        generate.add(clock);
        QCoreApplication::processEvents();
    }
    generate.print("Generate, \"The exact index\"");
    std::printf("%-44s %9d\n", "generated lines", code->model()->rowCount());
    std::printf("%-44s %9.1f MB\n", "monitor peak resident memory", peakResidentMegabytes());

    const std::pair<const char *, const char *> saves[] = {{"mnuMainFileSaveListAs", "Save List as, every row"},
                                                           {"mnuMainFileSaveCodeAs", "Save VXL Code as, every line"}};
    for (const auto &[action, what] : saves) {
        Figures saved;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            named<QAction>(window, action)->trigger();
            saved.add(clock);
        }
        saved.print(what);
    }
    std::printf("%-44s %9.1f MB\n", "monitor peak resident memory", peakResidentMegabytes());
    window.close();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const bench::BenchApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("window");
    const long records = argc > 2 ? std::max(0L, atol(argv[2])) : 100000;
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
    const int port = 28000 + static_cast<int>(getpid() % 4000);

    if (mode == "ceiling") {
        test::FakeLibrary library(static_cast<int>(records));
        return benchCore(library.port(), records, runs);
    }
    Application application(port, records);
    return mode == "core" ? benchCore(port, records, runs) : benchWindow(port, records, runs);
}
