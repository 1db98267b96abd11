// SPDX-License-Identifier: MIT
#include "LaunchOptions.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vexal::run {

const char *const kLaunchUsage =
    "Usage: vexal-run [OPTIONS] [--] PROGRAM [ARGS...]\n"
    "Runs PROGRAM with its memory allocations tracked by Vexal, without rebuilding it.\n"
    "\n"
    "Options:\n"
    "  --port N            serve a monitor on port N (0: 5913); none by default\n"
    "  --listen ADDR       listen for the monitor on the IPv4 address ADDR only\n"
    "                      (127.0.0.1: this machine only); every address by default\n"
    "  --log               log every call\n"
    "  --output FILE       log and reports to FILE instead of standard error\n"
    "  --list-at-exit      the status and list reports when the program exits\n"
    "  --error-exitcode N  exit with N when more blocks or bytes than allowed\n"
    "                      are live at exit (by default: any block)\n"
    "  --max-blocks N      blocks allowed live at exit, with --error-exitcode\n"
    "  --max-bytes N       bytes allowed live at exit, with --error-exitcode\n"
    "  --children          track the programs PROGRAM executes too\n"
    "  --help              show this help\n"
    "  --version           show the version\n"
    "\n"
    "The exit status is PROGRAM's, or N above; 125 when vexal-run fails, 127\n"
    "when PROGRAM cannot be started.\n";

namespace {

bool number(const char *text, unsigned long long limit, unsigned long long &value)
{
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 10);
    return errno == 0 && *end == '\0' && value <= limit;
}

} // namespace

ParseResult parseLaunchOptions(int argc, char **argv, LaunchOptions &options)
{
    bool limits = false;
    int i = 1;
    // Options end at the first word that is not one: the rest is the
    // program's, its own options included.
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        // "--port N" or "--port=N".
        const char *equals = std::strchr(argv[i], '=');
        const std::string name =
            equals != nullptr ? std::string(argv[i], static_cast<std::size_t>(equals - argv[i])) : std::string(argv[i]);
        const char *option = name.c_str();
        const auto text = [&]() -> const char * {
            if (equals != nullptr)
                return equals + 1;
            return i + 1 < argc ? argv[++i] : nullptr;
        };
        const auto value = [&](unsigned long long limit, unsigned long long &out) {
            if (number(text(), limit, out))
                return true;
            options.error = name + " needs a number" +
                            (limit == 65535 ? " from 0 to 65535" : limit == 255 ? " from 0 to 255" : "");
            return false;
        };
        unsigned long long n = 0;
        if (std::strcmp(option, "--help") == 0)
            return ParseResult::Help;
        if (std::strcmp(option, "--version") == 0)
            return ParseResult::Version;
        if (std::strcmp(option, "--log") == 0) {
            options.log = true;
        } else if (std::strcmp(option, "--list-at-exit") == 0) {
            options.listAtExit = true;
        } else if (std::strcmp(option, "--children") == 0) {
            options.children = true;
        } else if (std::strcmp(option, "--output") == 0) {
            const char *file = text();
            if (file == nullptr || file[0] == '\0') {
                options.error = "--output needs a file name";
                return ParseResult::Error;
            }
            options.output = file;
        } else if (std::strcmp(option, "--port") == 0) {
            if (!value(65535, n))
                return ParseResult::Error;
            options.port = static_cast<int>(n);
        } else if (std::strcmp(option, "--listen") == 0) {
            const char *address = text();
            in_addr parsed{};
            if (address == nullptr || ::inet_pton(AF_INET, address, &parsed) != 1) {
                options.error = "--listen needs an IPv4 address such as 127.0.0.1";
                return ParseResult::Error;
            }
            options.listen = address;
        } else if (std::strcmp(option, "--error-exitcode") == 0) {
            if (!value(255, n))
                return ParseResult::Error;
            options.gate = true;
            options.errorExitCode = static_cast<int>(n);
        } else if (std::strcmp(option, "--max-blocks") == 0) {
            if (!value(ULLONG_MAX, options.maxBlocks))
                return ParseResult::Error;
            limits = true;
        } else if (std::strcmp(option, "--max-bytes") == 0) {
            if (!value(ULLONG_MAX, options.maxBytes))
                return ParseResult::Error;
            limits = true;
        } else {
            options.error = "unknown option " + name;
            return ParseResult::Error;
        }
    }
    if (limits && !options.gate) {
        options.error = "--max-blocks and --max-bytes need --error-exitcode";
        return ParseResult::Error;
    }
    if (options.gate && !limits)
        options.maxBlocks = 0;  // a gate without limits: any live block
    if (i >= argc) {
        options.error = "no program given";
        return ParseResult::Error;
    }
    options.program = argv + i;
    return ParseResult::Run;
}

} // namespace vexal::run
