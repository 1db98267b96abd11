// SPDX-License-Identifier: MIT
// Runs examples/vexal_example and checks its reports against the leak set
// that its sources document: every allocating call site there ends with
//     /* tracked <function>: <n> calls[, leaks <k> x <size> B] */
#include <gtest/gtest.h>

#include <Vexal.h>

#include "ChildProcess.h"
#include "TestPlatform.h"
#include "WireClient.h"
#include "example.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

// --- what the sources say --------------------------------------------------

struct Site {
    std::string file;  // base name
    int line = 0;
    std::string function;
    long calls = 0;
    long leaks = 0;
    long leakSize = 0;
};

// Functions this build's example calls, in the order of their
// MemoryAccessType, which is the order of the status report's rows. The
// sources document the calls of both builds.
const std::vector<std::pair<std::string, int>> kFunctions =
    vxltest::kWindows ? std::vector<std::pair<std::string, int>>{{"malloc", VXL_MALLOC},
                                                                 {"calloc", VXL_CALLOC},
                                                                 {"realloc", VXL_REALLOC},
                                                                 {"strdup", VXL_STRDUP},
                                                                 {"GlobalAlloc", VXL_GLOBALALLOC},
                                                                 {"HeapAlloc", VXL_HEAPALLOC}}
                      : std::vector<std::pair<std::string, int>>{{"malloc", VXL_MALLOC}, {"calloc", VXL_CALLOC},
                                                                 {"realloc", VXL_REALLOC}, {"strdup", VXL_STRDUP},
                                                                 {"valloc", VXL_VALLOC}, {"memalign", VXL_MEMALIGN}};

bool calledByThisBuild(const std::string &function)
{
    return std::any_of(kFunctions.begin(), kFunctions.end(), [&](const auto &f) { return f.first == function; });
}

std::vector<std::string> readLines(const fs::path &path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<Site> documentedSites()
{
    static const std::regex marker(
        R"(/\* tracked (\w+): (\d+) calls?(?:, leaks (\d+) x (\d+) B)? \*/)");
    std::vector<Site> sites;
    for (const auto &entry : fs::directory_iterator(VEXAL_EXAMPLE_SOURCE_DIR)) {
        if (entry.path().extension() != ".c")
            continue;
        const std::vector<std::string> lines = readLines(entry.path());
        for (size_t i = 0; i < lines.size(); ++i) {
            std::smatch m;
            if (!std::regex_search(lines[i], m, marker))
                continue;
            if (!calledByThisBuild(m[1]))
                continue;
            Site s;
            s.file = entry.path().filename().string();
            s.line = static_cast<int>(i + 1);
            s.function = m[1];
            s.calls = std::stol(m[2]);
            if (m[3].matched) {
                s.leaks = std::stol(m[3]);
                s.leakSize = std::stol(m[4]);
            }
            sites.push_back(s);
        }
    }
    return sites;
}

// The line of main.c that holds `text`.
int mainLineOf(const std::string &text)
{
    const std::vector<std::string> lines = readLines(fs::path(VEXAL_EXAMPLE_SOURCE_DIR) / "main.c");
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos)
            return static_cast<int>(i + 1);
    return -1;
}

std::string baseName(const std::string &path) { return path.substr(path.find_last_of("/\\") + 1); }

// --- running the example ---------------------------------------------------

struct ExampleRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The program's output as text (Windows line ends read as "\n").
std::string slurp(const std::string &path) { return vxltest::readFile(path); }

std::string tempPath(const std::string &name)
{
    static int counter = 0;
    return testing::TempDir() + "vexal_example_" + std::to_string(vxltest::processId()) + "_" +
           std::to_string(counter++) + "_" + name;
}

ExampleRun runExample(std::vector<std::string> args)
{
    const std::string outPath = tempPath("stdout");
    const std::string errPath = tempPath("stderr");
    args.insert(args.begin(), VEXAL_EXAMPLE_EXE);
    ExampleRun run;
    {
        vxltest::ChildProcess example;
        if (example.start(args, outPath, errPath))
            run.exitCode = example.wait();
    }
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return run;
}

// --- reading the reports ---------------------------------------------------

struct Report {
    bool found = false;
    std::string headFile;
    int headLine = 0;
    std::vector<std::string> body;  // lines between the head's dashes and the closing carets
};

Report findReport(const std::string &text, const std::string &title)
{
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    Report report;
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
        if (lines[i] != title)
            continue;
        static const std::regex head(R"((.*) : (\d+))");
        std::smatch m;
        if (!std::regex_match(lines[i + 1], m, head))
            break;
        report.found = true;
        report.headFile = m[1];
        report.headLine = std::stoi(m[2]);
        for (size_t j = i + 3; j < lines.size(); ++j) {
            if (!lines[j].empty() && lines[j].find_first_not_of('^') == std::string::npos)
                break;  // the closing line
            report.body.push_back(lines[j]);
        }
        break;
    }
    return report;
}

const char *const kStatusTitle = "Present status of registered memory accesses at:";
const char *const kListTitle = "List of present registered memory allocations at:";

struct StatusRow {
    std::string function;
    long long calls;
    long long stillAllocated;
    bool operator==(const StatusRow &) const = default;
};

void PrintTo(const StatusRow &row, std::ostream *os)
{
    *os << row.function << " " << row.calls << " " << row.stillAllocated;
}

std::vector<StatusRow> statusRows(const Report &status)
{
    static const std::regex row(R"(\| (\S+) +\| +(-?\d+) \| +(-?\d+) \|)");
    std::vector<StatusRow> rows;
    for (const std::string &line : status.body) {
        std::smatch m;
        if (std::regex_match(line, m, row))
            rows.push_back({m[1], std::stoll(m[2]), std::stoll(m[3])});
    }
    return rows;
}

struct ListLine {
    std::string file;
    int line;
    std::string function;
    long size;
    long long threadId;
    unsigned long long index;
};

std::vector<ListLine> listLines(const Report &list)
{
    static const std::regex entry(R"((\S+) : (\d+), (\w+), (-?\d+)B, (-?\d+), #(\d+), \((.*)\))");
    std::vector<ListLine> lines;
    for (const std::string &line : list.body) {
        std::smatch m;
        if (std::regex_match(line, m, entry))
            lines.push_back({m[1], std::stoi(m[2]), m[3], std::stol(m[4]), std::stoll(m[5]), std::stoull(m[6])});
    }
    return lines;
}

using BlockKey = std::tuple<std::string, int, std::string, long>;  // file, line, function, size

std::multiset<BlockKey> blocksOf(const std::vector<ListLine> &lines)
{
    std::multiset<BlockKey> blocks;
    for (const ListLine &l : lines)
        blocks.insert({l.file, l.line, l.function, l.size});
    return blocks;
}

// --- what the reports must say ---------------------------------------------

struct Expectation {
    std::vector<StatusRow> rows;      // functions called, in report order
    long long totalCalls = 0;
    long long totalBytes = 0;
    std::multiset<BlockKey> blocks;   // every leaked block
    long long reallocCalls = 0;
    long long leakedBlocks = 0;
};

Expectation expectationFrom(const std::vector<Site> &sites)
{
    Expectation e;
    for (const auto &[function, type] : kFunctions) {
        StatusRow row{function, 0, 0};
        for (const Site &s : sites) {
            if (s.function != function)
                continue;
            row.calls += s.calls;
            row.stillAllocated += s.leaks * s.leakSize;
            for (long i = 0; i < s.leaks; ++i)
                e.blocks.insert({s.file, s.line, s.function, s.leakSize});
            e.leakedBlocks += s.leaks;
        }
        if (type == VXL_REALLOC)
            e.reallocCalls = row.calls;
        e.totalCalls += row.calls;
        e.totalBytes += row.stillAllocated;
        if (row.calls != 0)
            e.rows.push_back(row);
    }
    return e;
}

class Example : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sites_ = documentedSites();
        expected_ = expectationFrom(sites_);
    }

    void SetUp() override
    {
        // Guards the tests below against a marker format they no longer read.
        ASSERT_GE(sites_.size(), 10u) << "call-site comments not found in " << VEXAL_EXAMPLE_SOURCE_DIR;
        ASSERT_GT(expected_.leakedBlocks, 0);
    }

    static std::vector<Site> sites_;
    static Expectation expected_;
};

std::vector<Site> Example::sites_;
Expectation Example::expected_;

TEST_F(Example, StatusReportCountsDocumentedCallsAndLeaks)
{
    const ExampleRun run = runExample({});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");

    const Report status = findReport(run.out, kStatusTitle);
    ASSERT_TRUE(status.found) << run.out;
    EXPECT_EQ(baseName(status.headFile), "main.c");
    EXPECT_EQ(status.headLine, mainLineOf("VexalShowStatus(__FILE__, __LINE__)"));

    std::vector<StatusRow> rows = statusRows(status);
    ASSERT_FALSE(rows.empty()) << run.out;
    const StatusRow summary = rows.back();
    rows.pop_back();
    EXPECT_EQ(rows, expected_.rows);
    EXPECT_EQ(summary, (StatusRow{"Summary", expected_.totalCalls, expected_.totalBytes}));

    const std::string sumLine = "Sum of memory allocated: " + std::to_string(expected_.totalBytes) + " B";
    const bool hasSum = std::any_of(status.body.begin(), status.body.end(), [&](const std::string &line) {
        std::string squeezed = std::regex_replace(line, std::regex(" +"), " ");
        return squeezed.rfind(sumLine, 0) == 0;
    });
    EXPECT_TRUE(hasSum) << run.out;
    // Every free in the example gets a block it allocated.
    EXPECT_EQ(run.out.find("'free' failed"), std::string::npos);
    EXPECT_EQ(run.out.find("not registered by Vexal"), std::string::npos);
}

TEST_F(Example, ListReportNamesEveryLeakedBlockOldestFirst)
{
    const ExampleRun run = runExample({});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const Report list = findReport(run.out, kListTitle);
    ASSERT_TRUE(list.found) << run.out;
    EXPECT_EQ(baseName(list.headFile), "main.c");
    EXPECT_EQ(list.headLine, mainLineOf("VexalShowList(__FILE__, __LINE__)"));

    const std::vector<ListLine> lines = listLines(list);
    EXPECT_EQ(blocksOf(lines), expected_.blocks) << run.out;
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_LT(lines[i - 1].index, lines[i].index) << "line " << i;

    // The program name copy is made on the main thread, the copy jobs' buffers
    // on the workers: one leak per worker, each from a different thread.
    long long mainThread = 0;
    std::set<long long> copyThreads;
    for (const ListLine &l : lines) {
        if (l.file == "main.c")
            mainThread = l.threadId;
        if (l.file == "worker.c" && l.function == "malloc")
            copyThreads.insert(l.threadId);
    }
    EXPECT_EQ(copyThreads.size(), static_cast<size_t>(EXAMPLE_WORKERS));
    EXPECT_EQ(copyThreads.count(mainThread), 0u);
}

TEST_F(Example, LogToFileHasOneLinePerCallAndStdoutStaysEmpty)
{
    const std::string logPath = tempPath("log.txt");
    const ExampleRun run = runExample({"--log", "--output", logPath});
    const std::string log = slurp(logPath);
    fs::remove(logPath);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");

    static const std::regex entry(R"((\w+)([^:]*): (\S+) : (\d+), (\w+), (-?\d+)B, .*)");
    std::map<std::pair<std::string, int>, long> allocations;  // (file, line) -> calls
    long frees = 0;
    long notes = 0;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, entry))
            continue;
        if (m[2].length() != 0)
            ++notes;
        if (m[1] == "free" || m[1] == "GlobalFree" || m[1] == "LocalFree" || m[1] == "HeapFree")
            ++frees;
        else
            ++allocations[{baseName(m[3]), std::stoi(m[4])}];
    }
    EXPECT_EQ(notes, 0) << log;  // no failure, no unknown pointer
    for (const Site &s : sites_)
        EXPECT_EQ((allocations[{s.file, s.line}]), s.calls) << s.file << ":" << s.line;
    // Every record ends leaked, freed, or taken over by a realloc.
    EXPECT_EQ(frees, expected_.totalCalls - expected_.leakedBlocks - expected_.reallocCalls);

    EXPECT_TRUE(findReport(log, kStatusTitle).found);
    EXPECT_EQ(blocksOf(listLines(findReport(log, kListTitle))), expected_.blocks);
}

TEST_F(Example, TimedRunKeepsLeakingAndStillReports)
{
    const std::string outPath = tempPath("timed.txt");
    const ExampleRun run = runExample({"--seconds", "0.3", "--output", outPath, "--port", "-1"});
    const std::string text = slurp(outPath);
    fs::remove(outPath);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");

    // The documented leaks happen as in a single pass, and more besides.
    const std::multiset<BlockKey> blocks = blocksOf(listLines(findReport(text, kListTitle)));
    EXPECT_GT(blocks.size(), expected_.blocks.size()) << text;
    for (const BlockKey &key : std::set<BlockKey>(expected_.blocks.begin(), expected_.blocks.end()))
        EXPECT_GE(blocks.count(key), expected_.blocks.count(key)) << std::get<0>(key) << ":" << std::get<1>(key);
}

TEST_F(Example, CommandLine)
{
    const ExampleRun help = runExample({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage:"), std::string::npos);
    EXPECT_EQ(help.out.find(kStatusTitle), std::string::npos);

    for (const std::vector<std::string> &bad : std::vector<std::vector<std::string>>{
             {"--port", "x"}, {"--port", "70000"}, {"--seconds", "-1"}, {"--output"}, {"--frobnicate"}}) {
        const ExampleRun run = runExample(bad);
        EXPECT_EQ(run.exitCode, 2) << bad[0];
        EXPECT_NE(run.err.find("Usage:"), std::string::npos) << bad[0];
        EXPECT_EQ(run.out, "") << bad[0];
    }
}

// The program, linked with the shared library, served to a monitor over
// loopback: the monitor pauses it, vanishes while it is paused, and the
// program runs on and ends normally.
TEST_F(Example, MonitorPausesTheRunningProgramAndItsVanishingLetsItGo)
{
    using namespace std::chrono_literals;
    const int port = vxlwire::basePort();
    const std::string outPath = tempPath("served.txt");
    const std::string errPath = tempPath("served_stderr");
    vxltest::ChildProcess example;
    ASSERT_TRUE(example.start({VEXAL_EXAMPLE_EXE, "--port", std::to_string(port), "--seconds", "4", "--output",
                               outPath},
                              outPath + ".stdout", errPath));
    const auto summary = [](vxlwire::WireClient &monitor) {
        EXPECT_TRUE(monitor.sendCommand(1));
        const vxlwire::Message reply = monitor.read();
        EXPECT_TRUE(reply.ok() && reply.number() == "1");
        return reply.fields;
    };

    vxlwire::WireClient monitor;
    monitor.setReceiveTimeout(5s);  // replies take milliseconds; this only bounds a stuck program
    ASSERT_TRUE(monitor.connect(port));
    ASSERT_TRUE(monitor.sendCommand(5));
    ASSERT_EQ(monitor.read().number(), "5");
    // Paused: the workers, which leak a block every 100 ms, stand still.
    const std::vector<std::string> frozen = summary(monitor);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(summary(monitor), frozen);
    monitor.abort();

    // Released by the vanishing: a new monitor sees the counters move on.
    const int nextPort = vxltest::kWindows ? port : port + 1;
    ASSERT_TRUE(monitor.connect(nextPort));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    bool moved = false;
    while (!moved && std::chrono::steady_clock::now() < deadline) {
        moved = summary(monitor) != frozen;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(moved) << "the program stayed paused without its monitor";
    ASSERT_TRUE(monitor.sendCommand(0));
    EXPECT_EQ(monitor.read().number(), "0");

    // It works for 4 s; far longer means it is stuck.
    EXPECT_EQ(example.wait(20s), 0) << slurp(errPath);
    const std::string text = slurp(outPath);
    EXPECT_TRUE(findReport(text, kStatusTitle).found) << text;
    EXPECT_TRUE(findReport(text, kListTitle).found);
    for (const std::string &path : {outPath, outPath + ".stdout", errPath})
        fs::remove(path);
}

} // namespace
