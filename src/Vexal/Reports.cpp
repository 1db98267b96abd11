// SPDX-License-Identifier: MIT
// Status and list reports on the library's output stream.
#include "Communication.h"
#include "Platform.h"
#include "TransferRecord.h"
#include "VexalInternal.h"

#include <cstdio>
#include <cstring>

namespace vexal {
namespace {

constexpr int kMinReportWidth = 59;
constexpr const char *kDashLine = "------------------------------------------------\n";

void repeat(std::FILE *out, char c, int count)
{
    for (int i = 0; i < count; ++i)
        std::fputc(c, out);
}

int showFileLine(std::FILE *out, const char *title, const char *file, int line)
{
    const int digits = std::snprintf(nullptr, 0, "%d", line);
    int width = static_cast<int>(std::strlen(file)) + digits + 2;
    if (width < kMinReportWidth)
        width = kMinReportWidth;
    std::fputc('\n', out);
    repeat(out, 'v', width);
    std::fputc('\n', out);
    std::fprintf(out, "%s\n", title);
    std::fprintf(out, "%s : %d\n", file, line);
    repeat(out, '-', width);
    std::fputc('\n', out);
    return width;
}

void closeReport(std::FILE *out, int width)
{
    repeat(out, '^', width);
    std::fputs("\n\n", out);
    std::fflush(out);
}

// " = x kB", " = x MB", " = x GB" for each unit of which N holds at least one.
void showLargerUnits(std::FILE *out, long long bytes)
{
    const platform::Units units = platform::largerUnits(bytes);
    if (units.kB >= 1.0)
        platform::print(out, " = %.3f kB", units.kB);
    if (units.MB >= 1.0)
        platform::print(out, " = %.3f MB", units.MB);
    if (units.GB >= 1.0)
        platform::print(out, " = %.3f GB", units.GB);
}

void printStatus(std::FILE *out, const char *file, int line)
{
    const int width = showFileLine(out, "Present status of registered memory accesses at:", file, line);
    std::fputs("Number of calls to, and still allocated memory ", out);
    std::fputs("to,\nthe respective memory function:\n\n", out);
    std::fputs(kDashLine, out);
    std::fputs("| Function     | No of calls | Still allocated |\n", out);
    std::fputs(kDashLine, out);
    long long totalCalls = 0;
    long long totalBytes = 0;
    for (int row = 0; row < kCountRows; ++row) {
        totalCalls += tracking.counts[row].calls;
        totalBytes += tracking.counts[row].stillAllocated;
        if (tracking.counts[row].calls != 0)
            platform::print(out, "| %-12s | %11" VXL_I64 "i | %15" VXL_I64 "i |\n", methodNames[row],
                         static_cast<long long>(tracking.counts[row].calls),
                         static_cast<long long>(tracking.counts[row].stillAllocated));
    }
    std::fputs(kDashLine, out);
    platform::print(out, "| Summary      | %11" VXL_I64 "i | %15" VXL_I64 "i |\n", totalCalls, totalBytes);
    std::fputs(kDashLine, out);
    std::fputc('\n', out);
    platform::print(out, "Sum of memory allocated: %15" VXL_I64 "i B", totalBytes);
    showLargerUnits(out, totalBytes);
    platform::print(out, "\n(Memory used internally by Vexal: %11" VXL_I64 "i B",
                    static_cast<long long>(tracking.internalUse));
    showLargerUnits(out, tracking.internalUse);
    std::fputs(")\n", out);
    if (tracking.freeFailed != 0) {
        std::fputs("\n'free'", out);
        platform::print(out, " failed %" VXL_I64 "d time(s)!\n", static_cast<long long>(tracking.freeFailed));
    }
    if (tracking.addressNotStored != 0) {
        std::fputs("\n'free'", out);
        platform::print(out, " was called %" VXL_I64 "d time(s) with memory not registered by Vexal!\n",
                        static_cast<long long>(tracking.addressNotStored));
    }
    closeReport(out, width);
}

void printList(std::FILE *out, const char *file, int line)
{
    const int width = showFileLine(out, "List of present registered memory allocations at:", file, line);
    std::fputs("The list below shows for each registered memory allocation:\n", out);
    std::fputs("'file' : 'line number', 'Memory Access Type', 'size of memory', ", out);
    std::fputs("'Thread Id', 'Index' ('address')\n\n", out);
    RecordWalk walk;
    const Record *first = tracking.started ? startWalk(walk) : nullptr;
    for (const Record *rec = first; rec != nullptr; rec = walk.next()) {
        writeLogLine(out, "", "", baseName(fileOf(*rec)), rec->line, static_cast<int>(rec->type),
                     static_cast<std::int64_t>(exactSize(*rec)), rec->address, rec->threadId, rec->index);
    }
    closeReport(out, width);
}

// Prints a report, or has the monitor fetch it when one is being served.
// The result is that of the last wait: for the lock (always successful), or
// for the monitor's fetch.
VexalReportResult showReport(int message, const char *file, int line,
                             void (*printReport)(std::FILE *, const char *, int))
{
    tracking.mutGlobalData.lock();
    bool fetched = true;
    if (comm::announceReport(message, file, line, &fetched))
        return platform::reportResult(fetched);  // the lock was given back
    tracking.os.write([&](std::FILE *out) { printReport(out, file != nullptr ? file : "", line); });
    tracking.mutGlobalData.unlock();
    return platform::reportResult(true);
}

} // namespace
} // namespace vexal

using namespace vexal;

extern "C" {

VexalReportResult VexalShowStatus(const char *file, int line)
{
    return showReport(MSG_SHOW_STATUS, file, line, printStatus);
}

VexalReportResult VexalShowList(const char *file, int line)
{
    return showReport(MSG_SHOW_LIST, file, line, printList);
}

} // extern "C"
