// SPDX-License-Identifier: MIT
// Running programs under vexal-run and reading what it reports: the lines a
// test program marks as its leaks, and the list and status reports.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vxltest::run {

struct Outcome {
    bool finished = false;  // false: killed at the deadline
    int exitCode = -1;      // when it exited
    int signal = 0;         // when a signal ended it
    std::string out;
    std::string err;
};

inline std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string tempPath(const char *what)
{
    const char *folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder != nullptr ? folder : "/tmp") + "/vexal-run-" + what + "-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd >= 0)
        ::close(fd);
    return pattern;
}

// A started program; its standard output and error go to files, its
// standard input is a pipe the test may close.
class Started {
public:
    explicit Started(const std::vector<std::string> &args)
        : outPath_(tempPath("out")), errPath_(tempPath("err"))
    {
        int input[2];
        if (::pipe2(input, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char *> argv;
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            const int out = ::open(outPath_.c_str(), O_WRONLY | O_TRUNC);
            const int err = ::open(errPath_.c_str(), O_WRONLY | O_TRUNC);
            if (out < 0 || err < 0 || ::dup2(input[0], 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
                ::_exit(126);
            ::execv(argv[0], argv.data());
            ::_exit(126);
        }
        ::close(input[0]);
        input_ = input[1];
    }
    ~Started()
    {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closeInput();
        std::remove(outPath_.c_str());
        std::remove(errPath_.c_str());
    }
    Started(const Started &) = delete;
    Started &operator=(const Started &) = delete;

    void closeInput()
    {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
    }

    // Waits until the program's standard output holds `text`, or `limit`
    // has passed; what it holds then.
    std::string waitForOutput(const std::string &text, std::chrono::seconds limit = std::chrono::seconds(30))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::string out = readFile(outPath_);
        while (out.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            out = readFile(outPath_);
        }
        return out;
    }

    // Waits until the program ends or `limit` has passed (it is killed then).
    Outcome finish(std::chrono::seconds limit = std::chrono::seconds(60))
    {
        Outcome outcome;
        closeInput();
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (pid_ > 0 && !reaped_) {
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                reaped_ = true;
                outcome.finished = true;
            } else if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                reaped_ = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        if (outcome.finished && WIFEXITED(status))
            outcome.exitCode = WEXITSTATUS(status);
        if (outcome.finished && WIFSIGNALED(status))
            outcome.signal = WTERMSIG(status);
        outcome.out = readFile(outPath_);
        outcome.err = readFile(errPath_);
        return outcome;
    }

private:
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    int input_ = -1;
    bool reaped_ = false;
};

inline Outcome run(const std::vector<std::string> &args, std::chrono::seconds limit = std::chrono::seconds(60))
{
    Started started(args);
    return started.finish(limit);
}

inline std::vector<std::string> underRun(std::vector<std::string> options, const std::vector<std::string> &program)
{
    options.insert(options.begin(), VEXAL_RUN_EXE);
    options.push_back("--");
    options.insert(options.end(), program.begin(), program.end());
    return options;
}

// What a program's source marks: "leak: TAG SIZE" on the line of a leak.
struct Marker {
    int line;
    std::string tag;   // the row it counts in, or the process that makes it
    std::string size;  // bytes, "page" or "any"
};

inline std::vector<Marker> markers(const std::string &sourcePath)
{
    std::vector<Marker> found;
    std::istringstream source(readFile(sourcePath));
    const std::regex marker(R"(leak: (\w+) (\w+))");
    std::string text;
    for (int line = 1; std::getline(source, text); ++line) {
        std::smatch m;
        if (std::regex_search(text, m, marker))
            found.push_back(Marker{line, m[1], m[2]});
    }
    return found;
}

inline Marker marker(const std::string &sourcePath, const std::string &tag)
{
    for (const Marker &m : markers(sourcePath)) {
        if (m.tag == tag)
            return m;
    }
    ADD_FAILURE() << "no marker " << tag << " in " << sourcePath;
    return Marker{0, tag, "any"};
}

// One line of a list report.
struct Listed {
    std::string file;
    int line;
    std::string type;
    long long size;
};

// One list report: its head's name and its lines.
struct ListReport {
    std::string head;
    std::vector<Listed> blocks;

    int count(const std::string &file, int line) const
    {
        int n = 0;
        for (const Listed &b : blocks)
            n += b.file == file && b.line == line;
        return n;
    }
};

inline std::vector<ListReport> listReports(const std::string &text)
{
    std::vector<ListReport> reports;
    std::istringstream in(text);
    std::string line;
    const std::regex entry(R"(^(.+) : (-?\d+), (\w+), (\d+)B, -?\d+, #\d+, \(.*\)$)");
    bool inList = false;
    while (std::getline(in, line)) {
        if (line == "List of present registered memory allocations at:") {
            std::string head;
            std::getline(in, head);
            reports.push_back(ListReport{head.substr(0, head.rfind(" : ")), {}});
            inList = true;
        } else if (inList && line.rfind("^^^", 0) == 0) {
            inList = false;
        } else if (std::smatch m; inList && std::regex_match(line, m, entry)) {
            reports.back().blocks.push_back(Listed{m[1], std::stoi(m[2]), m[3], std::stoll(m[4])});
        }
    }
    return reports;
}

// Calls and still-allocated bytes of one row of the last status report.
struct Row {
    long long calls = -1;
    long long bytes = -1;
};

inline Row statusRow(const std::string &text, const std::string &function)
{
    Row row;
    const std::regex pattern("\\| " + function + R"( +\| +(\d+) \| +(-?\d+) \|)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it)
        row = Row{std::stoll((*it)[1]), std::stoll((*it)[2])};
    return row;
}

inline std::string describe(const Outcome &o)
{
    std::ostringstream text;
    text << (o.finished ? "" : "killed at the deadline; ") << "exit " << o.exitCode << ", signal " << o.signal
         << "\n--- stdout\n" << o.out << "--- stderr\n" << o.err;
    return text.str();
}

} // namespace vxltest::run
