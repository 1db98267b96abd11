// SPDX-License-Identifier: MIT
// Shared helpers of the tracking-core tests: a fixture that runs one library
// session per test with its output in a temporary file, and builders of the
// exact text the library writes (log lines, report heads, both reports).
#ifndef VEXAL_TEST_SUPPORT_H
#define VEXAL_TEST_SUPPORT_H

#include "TestPlatform.h"

#include <LinkedList.h>
#include <Vexal.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vxltest {

inline std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char buffer[4096];
    const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return std::string(buffer, n < 0 ? 0 : static_cast<size_t>(n));
}


inline std::string repeat(char c, int n) { return std::string(static_cast<size_t>(n), c); }

// Names at the head of a log line and in the status table, by memory function.
inline const char *methodName(int type) {
    static const char *const names[] = {"malloc",      "calloc",   "realloc",     "strdup",
                                        "wcsdup",      "mbsdup",   "GlobalAlloc", "LocalAlloc",
                                        "HeapAlloc",   "HeapReAlloc", "valloc",   "memalign",
                                        "free",        "GlobalFree",  "LocalFree", "HeapFree"};
    return names[type];
}

// Names of the kind field inside a log or list line.
inline const char *kindName(int type) {
    static const char *const posix[] = {"malloc", "calloc", "realloc", "strdup", nullptr, nullptr,
                                        nullptr,  nullptr,  nullptr,   nullptr,  "valloc", "memalign"};
    static const char *const windows[] = {"malloc",      "calloc",     "realloc",   "strdup",
                                          "wcsdup",      "mbsdup",     "GlobalAlloc", "LocalAlloc",
                                          "HeapAlloc",   "HeapRealloc", nullptr,     nullptr};
    const char *const *names = kWindows ? windows : posix;
    const char *name = type >= 0 && type < 12 ? names[type] : nullptr;
    return name != nullptr ? name : "Unknown type";
}

// One log line; an empty head gives a list line.
inline std::string logLine(const std::string &head, const char *file, int line, int type,
                           long long size, uint32_t threadId, unsigned long long index,
                           const void *address) {
    std::string text;
    if (!head.empty()) {
        text = head + ": ";
    }
    return text + format("%s : %d, %s, %lldB, %d, #%lld, (", file, line, kindName(type), size,
                         static_cast<int>(threadId), static_cast<long long>(index)) +
           pointerText(address) + ")\n";
}

// Per-call lines for the common cases.
inline std::string allocLine(const char *file, int line, int type, long long size,
                             unsigned long long indexAfter, const void *address,
                             const char *note = "") {
    return logLine(std::string(methodName(type)) + note, file, line, type, size,
                   currentThreadId(), indexAfter, address);
}

inline std::string freeLine(const char *file, int line, int recordType, long long size,
                            uint32_t threadId, unsigned long long recordIndex,
                            const void *address) {
    return logLine("free", file, line, recordType, size, threadId, recordIndex, address);
}

constexpr const char *kFreeNullNote = " FAILED, memory perhaps already freed!!!";
constexpr const char *kNotRegisteredNote = " (the pointer was not registered by Vexal)";
constexpr const char *kNotMonitoredNote = " (the pointer was not monitored by Vexal)";
constexpr const char *kSizeZeroNote = " (the size equals zero, why the original data was freed)";
constexpr const char *kFailedNote = " FAILED!!!";

// Bookkeeping the library accounts for in "Memory used internally".
constexpr long long kAnchorsUse = 2 * static_cast<long long>(sizeof(Link));
inline long long recordUse(const char *file) {
    return static_cast<long long>(sizeof(AllocationRecord) + sizeof(Link) + std::strlen(file) + 1);
}

inline int headWidth(const char *file, int line) {
    const int width = static_cast<int>(std::strlen(file) + format("%d", line).size() + 2);
    return width < 59 ? 59 : width;
}

inline std::string reportHead(const char *title, const char *file, int line) {
    const int width = headWidth(file, line);
    return "\n" + repeat('v', width) + "\n" + title + "\n" + format("%s : %d\n", file, line) +
           repeat('-', width) + "\n";
}

inline std::string reportTail(const char *file, int line) {
    return repeat('^', headWidth(file, line)) + "\n\n";
}

// POSIX: single-precision throughout. Windows: kB in double precision, MB
// and GB each from the previous quotient rounded to single precision.
inline std::string units(long long bytes) {
    double kb, mb, gb;
    if (kWindows) {
        kb = static_cast<double>(bytes) / 1024.0;
        mb = static_cast<double>(static_cast<float>(kb)) / 1024.0;
        gb = static_cast<double>(static_cast<float>(mb)) / 1024.0;
    } else {
        const float k = static_cast<float>(bytes) / 1024.0f;
        kb = k;
        mb = k / 1024.0f;
        gb = static_cast<float>(mb) / 1024.0f;
    }
    std::string text;
    if (kb >= 1.0) text += format(" = %.3f kB", kb);
    if (mb >= 1.0) text += format(" = %.3f MB", mb);
    if (gb >= 1.0) text += format(" = %.3f GB", gb);
    return text;
}

struct Row {
    long long calls = 0;
    long long still = 0;
};

// What the status report shows.
struct Status {
    std::array<Row, 13> rows{};
    long long internalUse = kAnchorsUse;
    long long freeFailed = 0;
    long long notStored = 0;
};

inline std::string statusReport(const char *file, int line, const Status &s) {
    const std::string dashes = repeat('-', 48) + "\n";
    std::string text = reportHead("Present status of registered memory accesses at:", file, line);
    text += "Number of calls to, and still allocated memory to,\nthe respective memory function:\n\n";
    text += dashes + "| Function     | No of calls | Still allocated |\n" + dashes;
    long long calls = 0;
    long long still = 0;
    for (int type = 0; type < 13; ++type) {
        const Row &r = s.rows[static_cast<size_t>(type)];
        calls += r.calls;
        still += r.still;
        if (r.calls != 0) {
            text += format("| %-12s | %11lli | %15lli |\n", methodName(type), r.calls, r.still);
        }
    }
    text += dashes + format("| Summary      | %11lli | %15lli |\n", calls, still) + dashes + "\n";
    text += format("Sum of memory allocated: %15lli B", still) + units(still);
    text += format("\n(Memory used internally by Vexal: %11lli B", s.internalUse) +
            units(s.internalUse) + ")\n";
    if (s.freeFailed != 0) {
        text += format("\n'free' failed %d time(s)!\n", static_cast<int>(s.freeFailed));
    }
    if (s.notStored != 0) {
        text += format("\n'free' was called %d time(s) with memory not registered by Vexal!\n",
                       static_cast<int>(s.notStored));
    }
    return text + reportTail(file, line);
}

// One line of the list report, as the test expects it.
struct Listed {
    const char *baseName;
    int line;
    int type;
    long long size;
    uint32_t threadId;
    unsigned long long index;
    const void *address;
};

inline std::string listReport(const char *file, int line, const std::vector<Listed> &records) {
    std::string text = reportHead("List of present registered memory allocations at:", file, line);
    text += "The list below shows for each registered memory allocation:\n"
            "'file' : 'line number', 'Memory Access Type', 'size of memory', "
            "'Thread Id', 'Index' ('address')\n\n";
    for (const Listed &r : records) {
        text += logLine("", r.baseName, r.line, r.type, r.size, r.threadId, r.index, r.address);
    }
    return text + reportTail(file, line);
}

// Each test runs one library session (no monitor) writing to its own file.
class VexalSession : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        path_ = ::testing::TempDir() + format("vexal_core_%d_%d.log", processId(), serial.fetch_add(1));
    }

    void TearDown() override {
        if (active_) {
            VexalFinish();
        }
        for (void *block : blocks_) {
            std::free(block);
        }
        std::remove(path_.c_str());
    }

    void start(int on = 1, int log = 1) {
        VexalInit(on, log, path_.c_str(), -1);
        active_ = true;
    }

    // Ends the session and returns everything the library wrote.
    std::string finish() {
        VexalFinish();
        active_ = false;
        return readFile(path_);
    }

    // A block still live when the session ends stays the test's to free.
    template <typename T> T *keep(T *block) {
        blocks_.push_back(const_cast<void *>(static_cast<const void *>(block)));
        return block;
    }

    std::string path_;
    bool active_ = false;
    std::vector<void *> blocks_;
};

}  // namespace vxltest

#endif
