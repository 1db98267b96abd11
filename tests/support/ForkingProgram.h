// SPDX-License-Identifier: MIT
// A tracked program that forks while three threads churn tracked calls, as
// prefork servers and test harnesses do, and what its children do and
// report. POSIX only.
#ifndef VEXAL_FORKING_PROGRAM_H
#define VEXAL_FORKING_PROGRAM_H

#include "ChildProcess.h"

#include <Vexal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vxltest {

// The AddressSanitizer of GCC 12 takes none of its allocator's locks around
// fork(): a child of a program whose other threads allocate can hang in its
// own first malloc, with or without this library (later versions lock them).
#if defined(__SANITIZE_ADDRESS__)
inline constexpr const char *kForkUnsafeAllocator =
    "this AddressSanitizer's allocator is not fork-safe: children of threads that allocate can hang in malloc";
#else
inline constexpr const char *kForkUnsafeAllocator = nullptr;
#endif

// Threads that allocate and free through the library until stopped.
class Churn {
public:
    explicit Churn(int threads = 3)
    {
        for (int t = 0; t < threads; ++t) {
            threads_.emplace_back([this, t] {
                while (!stop_.load(std::memory_order_relaxed)) {
                    VexalFree(VexalMalloc(static_cast<size_t>(24 + t), "churn.c", t), "churn.c", t);
                    allocations_.fetch_add(1, std::memory_order_relaxed);
                }
            });
        }
    }
    ~Churn() { stop(); }

    // Stops and joins the threads; the allocations they made.
    long long stop()
    {
        stop_ = true;
        for (std::thread &t : threads_)
            if (t.joinable())
                t.join();
        return allocations_.load();
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<long long> allocations_{0};
    std::vector<std::thread> threads_;
};

inline constexpr const char *kChildFile = "child.c";

// Child n: 1000 tracked allocations and frees, one leaked VexalStrdup of 5
// bytes, and its own status report, headed "child.c : n".
inline int childWork(int n)
{
    for (int i = 0; i < 1000; ++i) {
        void *block = VexalMalloc(32, kChildFile, n);
        if (block == nullptr)
            return 2;
        VexalFree(block, kChildFile, n);
    }
    if (VexalStrdup("leak", kChildFile, n) == nullptr)
        return 3;
    VexalShowStatus(kChildFile, n);
    return 0;
}

// A status report's row, as the report prints it.
inline std::string statusRow(const char *function, long long calls, long long still)
{
    char row[64];
    std::snprintf(row, sizeof row, "| %-12s | %11lld | %15lld |\n", function, calls, still);
    return row;
}

// The status report headed "file : line" in `output`; empty when there is none.
inline std::string reportAt(const std::string &output, const char *file, int line)
{
    const std::string head = "Present status of registered memory accesses at:\n" + std::string(file) + " : " +
                             std::to_string(line) + "\n";
    const size_t from = output.find(head);
    if (from == std::string::npos)
        return {};
    const size_t to = output.find("^\n", from);
    return output.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// How the children of one run ended: a line per child that did not exit 0
// within its limit (a hang detector: a hung child never ends), and the
// longest a child took.
struct ForkRun {
    std::vector<std::string> problems;
    std::chrono::milliseconds slowest{0};
    long long churned = 0;  // allocations of the churning threads
};

// Forks `children` children one after another, each running childWork,
// while three threads churn; `between` runs after each child has ended.
inline ForkRun forkWhileChurning(int children, std::chrono::milliseconds limit,
                                 const std::function<void()> &between = {})
{
    ForkRun run;
    Churn churn;
    for (int n = 1; n <= children; ++n) {
        ChildProcess child;
        const auto forked = std::chrono::steady_clock::now();
        if (!child.fork([n] { return childWork(n); })) {
            run.problems.push_back("child " + std::to_string(n) + " could not be forked");
            continue;
        }
        const int status = child.wait(limit);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - forked);
        run.slowest = std::max(run.slowest, took);
        if (status != 0)
            run.problems.push_back("child " + std::to_string(n) + " ended with " + std::to_string(status) +
                                   " after " + std::to_string(took.count()) + " ms" +
                                   (status != -1 ? "" : took >= limit ? " (still running at the limit: hung)"
                                                                       : " (ended by a signal)"));
        if (between)
            between();
    }
    run.churned = churn.stop();
    return run;
}

} // namespace vxltest

#endif
