// SPDX-License-Identifier: MIT
// The per-call log line, which the list report prints too.
#include "Platform.h"
#include "VexalInternal.h"

namespace vexal {

const char *const methodNames[kMemoryTypes] = {
    "malloc",      "calloc",     "realloc",   "strdup",     "wcsdup",      "mbsdup",
    "GlobalAlloc", "LocalAlloc", "HeapAlloc", "HeapReAlloc", "valloc",     "memalign",
    "free",        "GlobalFree", "LocalFree", "HeapFree"};

void writeLogLine(std::FILE *out, const char *prefix, const char *suffix, const char *file, int line, int type,
                  std::int64_t size, const void *address, std::uint32_t threadId, std::uint64_t index)
{
    if (prefix[0] != '\0')
        std::fprintf(out, "%s%s: ", prefix, suffix);
    // The size is printed whole: the same text as "%d" below 2^31, and the
    // true size of a larger block.
    platform::print(out, "%s : %d, %s, %" VXL_I64 "dB, %d, #%" VXL_I64 "d, (%p)\n", file != nullptr ? file : "",
                    line, platform::logTypeName(type), static_cast<long long>(size), static_cast<int>(threadId),
                    static_cast<long long>(index), address);
}

void writeLogInfo(const char *prefix, const char *suffix, const char *file, int line, int type, std::int64_t size,
                  const void *address, std::uint32_t threadId, std::uint64_t index)
{
    tracking.os.write([&](std::FILE *out) {
        writeLogLine(out, prefix, suffix, file, line, type, size, address, threadId, index);
    });
}

const char *baseName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    return name;
}

void logIllegalSwitch(int value, const char *sourcePath, int sourceLine)
{
    const char *name = baseName(sourcePath);
    tracking.os.write([&](std::FILE *out) {
        std::fprintf(out, "Illegal switch value: %d, see file %s, line %d!\n", value, name, sourceLine);
    });
}

} // namespace vexal
