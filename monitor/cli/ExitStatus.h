// SPDX-License-Identifier: MIT
// vxl's exit statuses.
#pragma once

#include <csignal>

namespace vexal::cli {

enum ExitStatus : int {
    kDone = 0,
    kCheckFailed = 1,
    kBadUsage = 2,
    kNotReachable = 3,  // also a connection lost
    kTimedOut = 4,
};

// A one-shot command ended by a signal before it was done, or whose reader
// went away, exits as the shell reports a program killed by that signal, so
// that a script or CI job never takes an unfinished run for a finished one.
constexpr int exitStatusForSignal(int signal) { return 128 + signal; }
constexpr int kReaderGone = exitStatusForSignal(SIGPIPE);

} // namespace vexal::cli
