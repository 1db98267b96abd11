// SPDX-License-Identifier: MIT
// vexal-run: starts a program with the preload build of the library, so that
// its allocations are tracked without rebuilding it, and ends with its exit
// status (or the leak gate's).
#include "LaunchOptions.h"
#include "ProgramCheck.h"
#include "ProjectVersion.h"
#include "Protocol.h"
#include "RunEnvironment.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vexal::run;

namespace {

// Statuses of vexal-run's own failures, as env(1) and the shells use them.
constexpr int kStatusOwnFailure = 125;
constexpr int kStatusCannotStart = 127;

volatile sig_atomic_t childPid = 0;

void forward(int signal)
{
    if (childPid > 0)
        ::kill(childPid, signal);
}

// The preload library: installed in the library folder relative to the
// folder of vexal-run (in the build tree the same relation holds).
std::string preloadPath()
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return kPreloadFileName;
    self[length] = '\0';
    std::string folder(self);
    folder.erase(folder.find_last_of('/'));
    return folder + "/" VEXAL_RUN_LIBDIR_FROM_BINDIR "/" + kPreloadFileName;
}

// Whether the library can listen on `port`: bound the way it binds. A port
// some other program listens on would leave the monitor nothing to reach,
// and the library says so only with --log.
bool portFree(int port, const std::string &listen)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return true;  // cannot tell; the library will try
    const int on = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!listen.empty())
        ::inet_pton(AF_INET, listen.c_str(), &address.sin_addr);
    const bool bound = ::bind(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 ||
                       errno != EADDRINUSE;
    ::close(probe);
    return bound;
}

bool setUp(const LaunchOptions &options, const std::string &preload, int statusFd)
{
    const char *earlier = std::getenv(kEnvPreload);
    const std::string preloads = earlier != nullptr && earlier[0] != '\0' ? preload + ":" + earlier : preload;
    bool ok = ::setenv(kEnvPreload, preloads.c_str(), 1) == 0;
    const auto set = [&](const char *name, bool on, const std::string &value) {
        ok = ok && (on ? ::setenv(name, value.c_str(), 1) : ::unsetenv(name)) == 0;
    };
    set(kEnvPort, options.port >= 0, std::to_string(options.port));
    // The library reads VEXAL_LISTEN itself; without --listen, one the
    // user set is passed on.
    if (!options.listen.empty())
        set(kEnvListen, true, options.listen);
    set(kEnvLog, options.log, "1");
    set(kEnvOutput, !options.output.empty(), options.output);
    set(kEnvListAtExit, options.listAtExit, "1");
    set(kEnvChildren, options.children, "1");
    set(kEnvStatusFd, statusFd >= 0, std::to_string(statusFd));
    return ok;
}

// Blocks and bytes the program had live at exit, as its library told them.
bool readTotals(int fd, unsigned long long &blocks, long long &bytes)
{
    char line[64] = {};
    ssize_t got;
    while ((got = ::read(fd, line, sizeof line - 1)) < 0 && errno == EINTR) {
    }
    return got > 0 && std::sscanf(line, "%llu %lld", &blocks, &bytes) == 2;
}

int exitLike(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    // Die of the same signal, so that a shell sees what it would have seen;
    // without a core file of vexal-run's own over the program's.
    const int signal = WTERMSIG(status);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    return 128 + signal;
}

} // namespace

int main(int argc, char **argv)
{
    LaunchOptions options;
    const ParseResult parsed = parseLaunchOptions(argc, argv, options);
    if (parsed == ParseResult::Help) {
        std::fputs(kLaunchUsage, stdout);
        return 0;
    }
    if (parsed == ParseResult::Version) {
        std::printf("vexal-run %s\n", VEXAL_VERSION_TEXT);
        return 0;
    }
    if (parsed == ParseResult::Error) {
        std::fprintf(stderr, "vexal-run: %s\nTry 'vexal-run --help'.\n", options.error.c_str());
        return kStatusOwnFailure;
    }

    const std::string preload = preloadPath();
    if (::access(preload.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "vexal-run: cannot find the preload library %s: %s\n", preload.c_str(),
                     std::strerror(errno));
        return kStatusOwnFailure;
    }
    const int port = options.port == 0 ? vexal::protocol::kDefaultPort : options.port;
    // Without --listen the library listens where the environment says.
    const char *inherited = std::getenv(kEnvListen);
    const std::string listen = options.listen.empty() && inherited != nullptr ? inherited : options.listen;
    if (options.port >= 0 && !portFree(port, listen)) {
        std::fprintf(stderr, "vexal-run: port %d is in use: no monitor could connect\n", port);
        return kStatusOwnFailure;
    }
    if (!options.output.empty()) {
        // Made empty here: every process of the run appends to it.
        std::FILE *probe = std::fopen(options.output.c_str(), "w");
        if (probe == nullptr) {
            std::fprintf(stderr, "vexal-run: cannot write %s: %s\n", options.output.c_str(), std::strerror(errno));
            return kStatusOwnFailure;
        }
        std::fclose(probe);
    }

    // It still runs, untracked: the user may want its output all the same.
    const std::string untrackable = whyNotTrackable(options.program[0]);
    if (!untrackable.empty())
        std::fprintf(stderr, "vexal-run: %s %s; it runs untracked\n", options.program[0], untrackable.c_str());

    int status[2] = {-1, -1};  // the program's live totals at exit
    if (options.gate && ::pipe(status) != 0) {
        std::fprintf(stderr, "vexal-run: cannot make a pipe: %s\n", std::strerror(errno));
        return kStatusOwnFailure;
    }
    if (status[0] >= 0)
        ::fcntl(status[0], F_SETFD, FD_CLOEXEC);
    int execFailure[2];  // errno of a failed exec; closed by a successful one
    if (::pipe2(execFailure, O_CLOEXEC) != 0 || !setUp(options, preload, status[1])) {
        std::fprintf(stderr, "vexal-run: cannot prepare the program's start: %s\n", std::strerror(errno));
        return kStatusOwnFailure;
    }

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::fprintf(stderr, "vexal-run: cannot start %s: %s\n", options.program[0], std::strerror(errno));
        return kStatusCannotStart;
    }
    if (pid == 0) {
        ::execvp(options.program[0], options.program);
        const int error = errno;
        while (::write(execFailure[1], &error, sizeof error) < 0 && errno == EINTR) {
        }
        ::_exit(kStatusCannotStart);
    }

    childPid = pid;
    // The terminal sends these to the program too; vexal-run waits for it.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGQUIT, SIG_IGN);
    for (int signal : {SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM})
        std::signal(signal, forward);
    ::close(execFailure[1]);
    if (status[1] >= 0)
        ::close(status[1]);

    int error = 0;
    ssize_t got;
    while ((got = ::read(execFailure[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    int waitStatus = 0;
    while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof error)) {
        std::fprintf(stderr, "vexal-run: cannot start %s: %s\n", options.program[0], std::strerror(error));
        return kStatusCannotStart;
    }

    if (options.gate && WIFEXITED(waitStatus)) {
        // A forked child of the program may still hold the pipe open: read
        // what is there without waiting for its end.
        ::fcntl(status[0], F_SETFL, O_NONBLOCK);
        unsigned long long blocks = 0;
        long long bytes = 0;
        if (readTotals(status[0], blocks, bytes) &&
            (blocks > options.maxBlocks || static_cast<unsigned long long>(bytes) > options.maxBytes)) {
            std::string limits;
            if (options.maxBlocks != ULLONG_MAX)
                limits = std::to_string(options.maxBlocks) + " blocks";
            if (options.maxBytes != ULLONG_MAX)
                limits += (limits.empty() ? "" : ", ") + std::to_string(options.maxBytes) + " bytes";
            std::fprintf(stderr, "vexal-run: %llu blocks, %lld bytes live at exit (at most %s)\n", blocks, bytes,
                         limits.c_str());
            return options.errorExitCode;
        }
    }
    return exitLike(waitStatus);
}
