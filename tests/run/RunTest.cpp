// SPDX-License-Identifier: MIT
// vexal-run end to end: small programs built without the track header run
// under it, and its reports name their lines.
#include "RunSupport.h"

#include <TestPorts.h>

#include <unistd.h>

using namespace vxltest::run;

namespace {

std::string program(const char *name) { return std::string(VEXAL_RUN_PROGRAMS_DIR) + "/" + name; }
std::string source(const char *name) { return std::string(VEXAL_RUN_SOURCES_DIR) + "/" + name; }

long long expectedSize(const Marker &m)
{
    return m.size == "page" ? ::sysconf(_SC_PAGESIZE) : m.size == "any" ? -1 : std::stoll(m.size);
}

// Every marked leak is listed once, with its row and size, at its line.
void expectMarkedLeaks(const ListReport &list, const char *file, const std::vector<Marker> &leaks)
{
    for (const Marker &m : leaks) {
        int found = 0;
        for (const Listed &b : list.blocks) {
            if (b.file == file && b.line == m.line) {
                ++found;
                if (m.tag != "any") {
                    EXPECT_EQ(b.type, m.tag) << file << ":" << m.line;
                }
                if (expectedSize(m) >= 0) {
                    EXPECT_EQ(b.size, expectedSize(m)) << file << ":" << m.line;
                }
            }
        }
        EXPECT_EQ(found, 1) << "blocks listed for " << file << ":" << m.line;
    }
}

TEST(RunTracking, EveryTrackedFunctionShowsTheProgramsLineRowAndSize)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("leaky")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    EXPECT_EQ(o.out, "leaky done\n");  // the reports go to standard error
    const std::vector<ListReport> lists = listReports(o.err);
    ASSERT_EQ(lists.size(), 1u) << o.err;
    EXPECT_EQ(lists[0].head, program("leaky"));
    const std::vector<Marker> leaks = markers(source("leaky.c"));
    ASSERT_EQ(leaks.size(), 12u);
    expectMarkedLeaks(lists[0], "leaky.c", leaks);
    // Nothing from the C library's or the runtime's own lines, nothing freed.
    for (const Listed &b : lists[0].blocks)
        EXPECT_EQ(b.file, "leaky.c") << b.line;
    EXPECT_EQ(statusRow(o.err, "strdup").calls, 3);
    EXPECT_EQ(statusRow(o.err, "memalign").bytes, 24 + 64 + 48);
    EXPECT_EQ(o.err.find("not registered by Vexal"), std::string::npos);
}

TEST(RunTracking, WithoutDebugInformationTheModuleAndOffsetStandForTheLine)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("leaky_nodebug")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    const std::vector<ListReport> lists = listReports(o.err);
    ASSERT_EQ(lists.size(), 1u) << o.err;
    const std::regex moduleOffset(R"(leaky_nodebug\+0x[0-9a-f]+)");
    int fromProgram = 0;
    for (const Listed &b : lists[0].blocks) {
        EXPECT_TRUE(std::regex_match(b.file, moduleOffset)) << b.file;
        EXPECT_EQ(b.line, 0) << b.file;
        fromProgram += std::regex_match(b.file, moduleOffset);
    }
    EXPECT_GE(fromProgram, 12);
}

TEST(RunTracking, CxxNewShowsTheLineOfTheNew)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("newer")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    const std::vector<ListReport> lists = listReports(o.err);
    ASSERT_EQ(lists.size(), 1u) << o.err;
    const std::vector<Marker> leaks = markers(source("newer.cpp"));
    ASSERT_EQ(leaks.size(), 4u);
    // The string's buffer at the line that filled it, not in the C++
    // library's headers or its shared object.
    expectMarkedLeaks(lists[0], "newer.cpp", leaks);
}

TEST(RunTracking, ALibraryLoadedWhereAnUnloadedOneLayShowsItsOwnLines)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("plugins"), program("libplugin_a.so"),
                                                         program("libplugin_b.so")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    const std::vector<ListReport> lists = listReports(o.err);
    ASSERT_EQ(lists.size(), 1u) << o.err;
    expectMarkedLeaks(lists[0], "plugin_a.c", markers(source("plugin_a.c")));
    expectMarkedLeaks(lists[0], "plugin_b.c", markers(source("plugin_b.c")));
    if (o.out != "same place\n")
        std::printf("The loader put the second plugin elsewhere: nothing was at stake.\n");
}

TEST(RunTracking, ManyThreadsStartingTogetherAreCountedExactly)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("threads")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    const std::vector<ListReport> lists = listReports(o.err);
    ASSERT_EQ(lists.size(), 1u) << o.err;
    const Marker leak = marker(source("threads.c"), "strdup");
    EXPECT_EQ(lists[0].count("threads.c", leak.line), 16);
    EXPECT_EQ(statusRow(o.err, "strdup").calls, 16);
    EXPECT_EQ(statusRow(o.err, "strdup").bytes, 16 * 7);
    EXPECT_EQ(statusRow(o.err, "realloc").calls, 16 * 2000);
    EXPECT_EQ(statusRow(o.err, "realloc").bytes, 0);
}

TEST(RunTracking, BlocksAllocatedBeforeTheStartAreFreedUncounted)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("early")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    const std::vector<ListReport> lists = listReports(o.err);
    ASSERT_EQ(lists.size(), 1u) << o.err;
    // The program's own constructor runs after the start: tracked.
    expectMarkedLeaks(lists[0], "early.c", markers(source("early.c")));
    EXPECT_EQ(o.err.find("not registered by Vexal"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("failed"), std::string::npos) << o.err;
}

#if defined(VEXAL_RUN_LINKED_PROGRAM)
TEST(RunTracking, AProgramLinkingTheLibraryIsNotTrackedTwice)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("linked")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    // The program's own library reports on standard output, vexal-run's on
    // standard error; each lists its own block only.
    const std::vector<ListReport> own = listReports(o.out);
    const std::vector<ListReport> run = listReports(o.err);
    ASSERT_EQ(own.size(), 1u) << describe(o);
    ASSERT_EQ(run.size(), 1u) << describe(o);
    ASSERT_EQ(own[0].blocks.size(), 1u) << o.out;
    EXPECT_EQ(own[0].blocks[0].size, 24);
    expectMarkedLeaks(run[0], "linked.c", markers(source("linked.c")));
    EXPECT_EQ(run[0].blocks.size(), 1u) << o.err;
}
#endif

TEST(RunTracking, ForkedChildrenReportTheirOwnLeaksAndExecutedProgramsAreNotTracked)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("forking")}));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    EXPECT_EQ(o.out, "executed with LD_PRELOAD unset\nforking done\n");
    const int parent = marker(source("forking.c"), "parent").line;
    const int child = marker(source("forking.c"), "child").line;
    const int executed = marker(source("forking.c"), "executed").line;
    int parents = 0, children = 0;
    for (const ListReport &list : listReports(o.err)) {
        EXPECT_EQ(list.count("forking.c", executed), 0) << list.head;
        EXPECT_EQ(list.count("forking.c", parent), 1) << list.head;
        if (list.head == program("forking")) {
            ++parents;
            EXPECT_EQ(list.count("forking.c", child), 0);
        } else {
            // A child starts with its parent's records and adds its own.
            ++children;
            EXPECT_NE(list.head.find(" (process "), std::string::npos) << list.head;
            EXPECT_EQ(list.count("forking.c", child), 1) << list.head;
        }
    }
    EXPECT_EQ(parents, 1) << o.err;
    EXPECT_EQ(children, 8) << o.err;
}

TEST(RunTracking, WithChildrenExecutedProgramsAreTrackedTooAndEveryReportIsKept)
{
    // Into one output file, where a process that wrote over the end of
    // another's reports would lose them.
    const std::string file = tempPath("output");
    const Outcome o = run(underRun({"--list-at-exit", "--children", "--output", file}, {program("forking")}));
    const std::string written = readFile(file);
    std::remove(file.c_str());
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    const int executed = marker(source("forking.c"), "executed").line;
    int reporting = 0;
    for (const ListReport &list : listReports(written))
        reporting += list.count("forking.c", executed);
    EXPECT_EQ(reporting, 1) << written;
    EXPECT_EQ(listReports(written).size(), 10u) << written;  // the program, eight children, the executed copy
}

TEST(RunCommandLine, TheProgramsStatusAndSignalArePassedOn)
{
    const Outcome exited = run(underRun({}, {"/bin/sh", "-c", "exit 7"}));
    EXPECT_EQ(exited.exitCode, 7) << describe(exited);
    const Outcome killed = run(underRun({}, {"/bin/sh", "-c", "kill -TERM $$"}));
    EXPECT_EQ(killed.signal, SIGTERM) << describe(killed);
}

TEST(RunCommandLine, AProgramThatCannotBeStartedGives127AndSaysWhy)
{
    const std::string missing = program("no-such-program");
    const Outcome o = run(underRun({}, {missing}));
    EXPECT_EQ(o.exitCode, 127) << describe(o);
    EXPECT_EQ(o.err, "vexal-run: cannot start " + missing + ": No such file or directory\n");
    const Outcome bad = run({VEXAL_RUN_EXE, "--port", "x", program("leaky")});
    EXPECT_EQ(bad.exitCode, 125) << describe(bad);
    EXPECT_NE(bad.err.find("--port needs a number"), std::string::npos) << bad.err;
    const Outcome nowhere = run({VEXAL_RUN_EXE, "--listen", "localhost", program("leaky")});
    EXPECT_EQ(nowhere.exitCode, 125) << describe(nowhere);
    EXPECT_NE(nowhere.err.find("--listen needs an IPv4 address"), std::string::npos) << nowhere.err;
    // A port another program listens on: no monitor could reach this one.
    const int taken = vxltest::testPort(1, 4);
    const vxlsock::Socket listening = vxlsock::bindLoopback(taken, true);
    ASSERT_NE(listening, vxlsock::kNone);
    const Outcome busy = run(underRun({"--port", std::to_string(taken)}, {program("leaky")}));
    vxlsock::closeSocket(listening);
    EXPECT_EQ(busy.exitCode, 125) << describe(busy);
    EXPECT_EQ(busy.err, "vexal-run: port " + std::to_string(taken) + " is in use: no monitor could connect\n");
}

TEST(RunCommandLine, AStaticProgramRunsUntrackedWithAWarning)
{
    const Outcome o = run(underRun({"--list-at-exit"}, {program("leaky_static")}));
    EXPECT_EQ(o.exitCode, 0) << describe(o);
    EXPECT_EQ(o.out, "leaky done\n");
    EXPECT_EQ(o.err, "vexal-run: " + program("leaky_static") +
                         " is statically linked: nothing can be preloaded into it; it runs untracked\n");
}

TEST(RunCommandLine, TheLeakGateGivesItsExitCodeOnlyAboveItsLimits)
{
    // leaky leaves 12 blocks of its own and its output buffer.
    const Outcome over = run(underRun({"--error-exitcode", "3", "--max-blocks", "5"}, {program("leaky")}));
    EXPECT_EQ(over.exitCode, 3) << describe(over);
    const std::regex gateLine(R"(^vexal-run: \d+ blocks, \d+ bytes live at exit \(at most 5 blocks\)\n$)");
    EXPECT_TRUE(std::regex_search(over.err, gateLine)) << over.err;
    const Outcome under = run(underRun({"--error-exitcode", "3", "--max-blocks", "100"}, {program("leaky")}));
    EXPECT_EQ(under.exitCode, 0) << describe(under);
    const Outcome bytes = run(underRun({"--error-exitcode", "4", "--max-bytes", "100"}, {program("leaky")}));
    EXPECT_EQ(bytes.exitCode, 4) << describe(bytes);
    const Outcome any = run(underRun({"--error-exitcode", "5"}, {program("leaky")}));
    EXPECT_EQ(any.exitCode, 5) << describe(any);
}

TEST(RunCommandLine, OutputFileTakesTheLogAndTheReports)
{
    const std::string file = tempPath("output");
    const Outcome o = run(underRun({"--output", file, "--log", "--list-at-exit"}, {program("leaky")}));
    const std::string written = readFile(file);
    std::remove(file.c_str());
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out, "leaky done\n");
    const Marker first = markers(source("leaky.c")).front();
    const std::string logged = "malloc: " + source("leaky.c") + " : " + std::to_string(first.line) + ", malloc, 100B, ";
    EXPECT_NE(written.find(logged), std::string::npos) << written;
    EXPECT_EQ(listReports(written).size(), 1u) << written;
}

#if defined(VEXAL_RUN_VXL_EXE)
TEST(RunCommandLine, AMonitorConnectsAsToAProgramLinkedWithTheLibrary)
{
    const std::string port = std::to_string(vxltest::testPort(0, 4));
    // leaky waits for its standard input to close with its leaks made.
    // Kept to this machine, where the monitor is.
    Started leaky(underRun({"--port", port, "--listen", "127.0.0.1"}, {program("leaky"), "wait"}));
    ASSERT_EQ(leaky.waitForOutput("ready\n"), "ready\n");
    const Outcome list = run({VEXAL_RUN_VXL_EXE, "list", "--port", port, "--scan", "0", "--wait", "10000",
                              "--format", "json"});
    const Outcome ended = leaky.finish();
    ASSERT_EQ(list.exitCode, 0) << describe(list) << describe(ended);
    EXPECT_EQ(ended.out, "ready\nleaky done\n");
    for (const Marker &m : markers(source("leaky.c"))) {
        const std::string record = "\"file\":\"" + source("leaky.c") + "\",\"index\":";
        const std::string line = "\"line\":" + std::to_string(m.line) + ",";
        const std::size_t at = list.out.find(line);
        ASSERT_NE(at, std::string::npos) << m.line << "\n" << list.out;
        EXPECT_EQ(list.out.rfind(record, at), list.out.rfind("\"file\":", at)) << m.line;
    }
}
#endif

} // namespace
