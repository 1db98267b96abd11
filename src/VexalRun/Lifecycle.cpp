// SPDX-License-Identifier: MIT
// Start and finish of the preload library: it starts before the program's
// own constructors, with the options vexal-run put into the environment,
// and finishes after the program's destructors, at exit.
#include "Busy.h"
#include "CallSites.h"
#include "Preload.h"
#include "RunEnvironment.h"
#include "VexalInternal.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexal::run {

__thread int busyDepth __attribute__((tls_model("initial-exec"))) = 0;
std::atomic<bool> preloadTracking{false};

} // namespace vexal::run

namespace vexal::platform {

void enterLibraryThread() noexcept { ++run::busyDepth; }

} // namespace vexal::platform

using namespace vexal;
using namespace vexal::run;

namespace {

bool listAtExit = false;
pid_t startedPid = 0;

// The pipe to vexal-run, checked again before the one write at exit: the
// program may have closed the descriptor and opened something else on it.
struct StatusPipe {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;

    void adopt(const char *text)
    {
        char *end = nullptr;
        const long value = text != nullptr ? std::strtol(text, &end, 10) : -1;
        struct stat info {};
        if (value < 0 || value > INT32_MAX || *end != '\0' || ::fstat(static_cast<int>(value), &info) != 0 ||
            !S_ISFIFO(info.st_mode))
            return;
        fd = static_cast<int>(value);
        device = info.st_dev;
        inode = info.st_ino;
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);  // the program's children have nothing to say on it
    }

    void tell(std::uint64_t blocks, std::int64_t bytes) const
    {
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_dev != device || info.st_ino != inode)
            return;
        char line[64];
        const int length = std::snprintf(line, sizeof line, "%" PRIu64 " %" PRId64 "\n", blocks, bytes);
        while (::write(fd, line, static_cast<std::size_t>(length)) < 0 && errno == EINTR) {
        }
    }
};

StatusPipe statusPipe;

bool switchedOn(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// LD_PRELOAD without this library's entries (separated by colons or blanks).
void dropPreloadEntry()
{
    const char *value = std::getenv(kEnvPreload);
    if (value == nullptr)
        return;
    const std::size_t length = std::strlen(value);
    char *kept = static_cast<char *>(std::malloc(length + 1));
    if (kept == nullptr)
        return;
    std::size_t used = 0;
    for (const char *entry = value; *entry != '\0';) {
        const std::size_t size = std::strcspn(entry, ": ");
        const char *name = entry;
        for (const char *p = entry; p < entry + size; ++p) {
            if (*p == '/')
                name = p + 1;
        }
        const bool ours = static_cast<std::size_t>(entry + size - name) == std::strlen(kPreloadFileName) &&
                          std::strncmp(name, kPreloadFileName, std::strlen(kPreloadFileName)) == 0;
        if (!ours && size > 0) {
            if (used > 0)
                kept[used++] = ':';
            std::memcpy(kept + used, entry, size);
            used += size;
        }
        entry += size;
        if (*entry != '\0')
            ++entry;
    }
    kept[used] = '\0';
    if (used == 0)
        ::unsetenv(kEnvPreload);
    else
        ::setenv(kEnvPreload, kept, 1);
    std::free(kept);
}

// What the programs this one executes inherit: by default neither this
// library nor its options; with --children the options, less the monitor
// port (the started program serves it) and the exit status pipe.
void prepareChildEnvironment(bool children)
{
    ::unsetenv(kEnvStatusFd);
    if (children) {
        ::unsetenv(kEnvPort);
        return;
    }
    for (const char *name : {kEnvPort, kEnvLog, kEnvOutput, kEnvListAtExit, kEnvChildren})
        ::unsetenv(name);
    dropPreloadEntry();
}

// Head of the reports at exit: the program, and which process when it is a
// forked copy of the one started.
const char *reportName()
{
    static char name[512];
    if (::getpid() == startedPid)
        return program_invocation_name;
    std::snprintf(name, sizeof name, "%s (process %ld)", program_invocation_name, static_cast<long>(::getpid()));
    return name;
}

void liveTotals(std::uint64_t &blocks, std::int64_t &bytes)
{
    LockGuard guard(tracking.mutGlobalData);
    blocks = tracking.started ? static_cast<std::uint64_t>(recordCount()) : 0;
    bytes = 0;
    for (int row = VXL_MALLOC; row <= VXL_MEMALIGN; ++row)
        bytes += tracking.counts[row].stillAllocated;
}

// Around fork(): the library's own fork handlers run busy (what they
// allocate is bookkeeping, and must not wait for the locks they hold), and
// the call sites' lock is held, so that a child never starts with it taken
// by a thread it does not have.
void beforeFork()
{
    ++busyDepth;
    lockCallSites();
}

void afterFork()
{
    unlockCallSites();
    --busyDepth;
}

std::FILE *ownStandardError()
{
    const int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    std::FILE *stream = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (stream == nullptr) {
        if (fd >= 0)
            ::close(fd);
        return stderr;
    }
    std::setvbuf(stream, nullptr, _IOFBF, Output::kWholeWriteBuffer);
    return stream;
}

// Before the program's constructors, after those of the libraries loaded
// before it (their allocations are the C library's, untracked) and after the
// static initialisers of this library's other files (link order).
__attribute__((constructor)) void startPreload()
{
    Busy inside;
    const char *portText = std::getenv(kEnvPort);
    const char *outputText = std::getenv(kEnvOutput);
    const int port = portText != nullptr ? std::atoi(portText) : -1;
    const bool log = switchedOn(kEnvLog);
    listAtExit = switchedOn(kEnvListAtExit);
    statusPipe.adopt(std::getenv(kEnvStatusFd));
    // The environment is edited below; the file name must outlive it.
    char *output = outputText != nullptr ? ::strdup(outputText) : nullptr;
    prepareChildEnvironment(switchedOn(kEnvChildren));

    startedPid = ::getpid();
    // Standard output stays the program's own. Standard error, through a
    // stream of the library's own, or the output file gets each report and
    // log line in one piece: forked children and executed programs write
    // there too. vexal-run has emptied the file; every process appends, so
    // that none writes over another's lines.
    tracking.os.configure(ownStandardError(), true, true);
    VexalInit(1, log ? 1 : 0, output, port);
    // Registered after VexalInit, so that these enclose whatever fork
    // handlers the library registers there: handlers run before fork() in
    // the reverse order of registration, and after it in that order.
    ::pthread_atfork(beforeFork, afterFork, afterFork);
    std::free(output);
    preloadTracking.store(true, std::memory_order_release);
}

// After the program's destructors: the reports, the live totals for
// vexal-run, and no more tracking.
__attribute__((destructor)) void finishPreload()
{
    if (!preloadTracking.load(std::memory_order_acquire))
        return;
    Busy inside;
    if (listAtExit) {
        // File and line of the heads: the program itself, line 0.
        VexalShowStatus(reportName(), 0);
        VexalShowList(reportName(), 0);
    }
    if (::getpid() == startedPid) {
        std::uint64_t blocks = 0;
        std::int64_t bytes = 0;
        liveTotals(blocks, bytes);
        statusPipe.tell(blocks, bytes);
    }
    preloadTracking.store(false, std::memory_order_release);
    VexalSet(0, 0);
    VexalFinish();
}

} // namespace
