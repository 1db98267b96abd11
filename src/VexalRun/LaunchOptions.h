// SPDX-License-Identifier: MIT
// vexal-run's command line.
#pragma once

#include <climits>
#include <string>

namespace vexal::run {

struct LaunchOptions {
    int port = -1;       // -1: no monitor; 0: the default port
    std::string listen;  // the address to listen on; empty: as the environment says
    bool log = false;
    std::string output;  // empty: standard error
    bool listAtExit = false;
    bool children = false;
    bool gate = false;  // --error-exitcode given
    int errorExitCode = 0;
    unsigned long long maxBlocks = ULLONG_MAX;
    unsigned long long maxBytes = ULLONG_MAX;
    char **program = nullptr;  // PROGRAM and its arguments, null-terminated
    std::string error;         // what was wrong, for ParseResult::Error
};

enum class ParseResult { Run, Help, Version, Error };

ParseResult parseLaunchOptions(int argc, char **argv, LaunchOptions &options);

extern const char *const kLaunchUsage;

} // namespace vexal::run
