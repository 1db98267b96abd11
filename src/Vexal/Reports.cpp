// SPDX-License-Identifier: MIT
// Status and list reports on the library's output stream.
#include "Communication.h"
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
    const float kB = static_cast<float>(bytes) / 1024.0f;
    const float MB = kB / 1024.0f;
    const float GB = MB / 1024.0f;
    if (kB >= 1.0f)
        std::fprintf(out, " = %.3f kB", static_cast<double>(kB));
    if (MB >= 1.0f)
        std::fprintf(out, " = %.3f MB", static_cast<double>(MB));
    if (GB >= 1.0f)
        std::fprintf(out, " = %.3f GB", static_cast<double>(GB));
}

const char *baseName(const char *file)
{
    const char *name = file;
    for (const char *p = file; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    return name;
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
        totalCalls += counts[row].calls;
        totalBytes += counts[row].stillAllocated;
        if (counts[row].calls != 0)
            std::fprintf(out, "| %-12s | %11lli | %15lli |\n", methodNames[row],
                         static_cast<long long>(counts[row].calls),
                         static_cast<long long>(counts[row].stillAllocated));
    }
    std::fputs(kDashLine, out);
    std::fprintf(out, "| Summary      | %11lli | %15lli |\n", totalCalls, totalBytes);
    std::fputs(kDashLine, out);
    std::fputc('\n', out);
    std::fprintf(out, "Sum of memory allocated: %15lli B", totalBytes);
    showLargerUnits(out, totalBytes);
    std::fprintf(out, "\n(Memory used internally by Vexal: %11lli B", static_cast<long long>(internalUse));
    showLargerUnits(out, internalUse);
    std::fputs(")\n", out);
    if (freeFailed != 0) {
        std::fputs("\n'free'", out);
        std::fprintf(out, " failed %lld time(s)!\n", static_cast<long long>(freeFailed));
    }
    if (addressNotStored != 0) {
        std::fputs("\n'free'", out);
        std::fprintf(out, " was called %lld time(s) with memory not registered by Vexal!\n",
                     static_cast<long long>(addressNotStored));
    }
    closeReport(out, width);
}

void printList(std::FILE *out, const char *file, int line)
{
    const int width = showFileLine(out, "List of present registered memory allocations at:", file, line);
    std::fputs("The list below shows for each registered memory allocation:\n", out);
    std::fputs("'file' : 'line number', 'Memory Access Type', 'size of memory', ", out);
    std::fputs("'Thread Id', 'Index' ('address')\n\n", out);
    for (Link *link = LinkedListGetFirst(startAnchor); link != nullptr; link = LinkedListGetNext(link)) {
        const AllocationRecord *rec = recordOf(link);
        writeLogLine(out, "", "", baseName(rec->file), rec->line, rec->type,
                     static_cast<std::int64_t>(exactSize(*rec)), rec->address, rec->threadId, rec->index);
    }
    closeReport(out, width);
}

} // namespace
} // namespace vexal

using namespace vexal;

extern "C" {

VexalReportResult VexalShowStatus(const char *file, int line)
{
    mutGlobalData.lock();
    if (comm::announceReport(MSG_SHOW_STATUS, file, line))
        return;  // the monitor fetched it; the lock was given back
    os.write([&](std::FILE *out) { printStatus(out, file != nullptr ? file : "", line); });
    mutGlobalData.unlock();
}

VexalReportResult VexalShowList(const char *file, int line)
{
    mutGlobalData.lock();
    if (comm::announceReport(MSG_SHOW_LIST, file, line))
        return;
    os.write([&](std::FILE *out) { printList(out, file != nullptr ? file : "", line); });
    mutGlobalData.unlock();
}

} // extern "C"
