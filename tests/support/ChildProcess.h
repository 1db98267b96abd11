// SPDX-License-Identifier: MIT
// Runs a program as a child process with its standard output and error in
// files, one definition per build (fork and exec, or CreateProcess).
#ifndef VEXAL_CHILD_PROCESS_H
#define VEXAL_CHILD_PROCESS_H

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vxltest {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess() { wait(); }

    // Starts args[0] with the rest as its arguments; false if it could not.
    bool start(const std::vector<std::string> &args, const std::string &outPath, const std::string &errPath);

#if !defined(_WIN32)
    // Forks: the child runs `body` and ends at once with its result, without
    // the exit handlers of the test program. False if there is no child.
    template <typename Body>
    bool fork(Body body)
    {
        pid_ = ::fork();
        if (pid_ == 0)
            _exit(body());
        return pid_ > 0;
    }
#endif

    // Waits for the end; the exit code, or -1 when it did not exit normally
    // or never started. With a limit, a child still running then is killed.
    int wait(std::chrono::milliseconds limit = std::chrono::milliseconds::max());

private:
#if defined(_WIN32)
    HANDLE process_ = nullptr;
#else
    pid_t pid_ = -1;
#endif
    int exitCode_ = -1;
};

#if defined(_WIN32)

inline bool ChildProcess::start(const std::vector<std::string> &args, const std::string &outPath,
                                const std::string &errPath)
{
    std::string commandLine;
    for (const std::string &a : args)
        commandLine += (commandLine.empty() ? "\"" : " \"") + a + "\"";
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto create = [&](const std::string &path) {
        return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = create(outPath);
    HANDLE err = create(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &info);
    for (HANDLE h : {out, err})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (!started)
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    return true;
}

inline int ChildProcess::wait(std::chrono::milliseconds limit)
{
    if (process_ != nullptr) {
        const DWORD ms = limit == std::chrono::milliseconds::max() ? INFINITE : static_cast<DWORD>(limit.count());
        DWORD code = 0;
        if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, INFINITE);
        } else if (GetExitCodeProcess(process_, &code)) {
            exitCode_ = static_cast<int>(code);
        }
        CloseHandle(process_);
        process_ = nullptr;
    }
    return exitCode_;
}

#else

inline bool ChildProcess::start(const std::vector<std::string> &args, const std::string &outPath,
                                const std::string &errPath)
{
    std::vector<std::string> copies = args;
    std::vector<char *> argv;
    for (std::string &a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid_ > 0;
}

inline int ChildProcess::wait(std::chrono::milliseconds limit)
{
    if (pid_ > 0) {
        const auto deadline = limit == std::chrono::milliseconds::max()
                                  ? std::chrono::steady_clock::time_point::max()
                                  : std::chrono::steady_clock::now() + limit;
        int status = 0;
        pid_t ended = 0;
        while ((ended = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (ended == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        } else if (ended == pid_ && WIFEXITED(status)) {
            exitCode_ = WEXITSTATUS(status);
        }
        pid_ = -1;
    }
    return exitCode_;
}

#endif

}  // namespace vxltest

#endif
