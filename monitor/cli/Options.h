// SPDX-License-Identifier: MIT
// vxl's command line: the command, where the application is, and each
// command's options, checked before anything connects.
#pragma once

#include <connection/Connection.h>
#include <list/RecordTable.h>
#include <sites/SiteColumns.h>
#include <synthesis/CodeSynthesis.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vexal::cli {

enum class Command { Summary, Watch, List, Code, Pause, Follow, Check, Sites };
enum class Format { Text, Csv, Json };

// Where the application listens and how long vxl waits for it.
struct Target {
    QByteArray address = "127.0.0.1";
    int port = monitor::kDefaultPort;
    // The library listens on the next port after each connection: this many
    // ports after `port` are tried as well.
    int scan = 16;
    std::chrono::milliseconds timeout = monitor::kReplyTimeout;  // for each reply
    std::chrono::milliseconds wait{0};         // for the application to listen
};

struct Options {
    Command command = Command::Summary;
    Target target;
    Format format = Format::Text;

    // watch, sites --watch, check --growth
    std::chrono::milliseconds period{1000};
    long long count = 0;  // 0: until interrupted

    // sites
    bool watch = false;
    long long top = 0;  // 0: every site
    monitor::SiteColumn siteOrder = monitor::SiteColumn::Bytes;

    // check --growth: how long to watch the sites
    std::optional<std::chrono::milliseconds> growth;

    // list, code, check, follow: the records shown, their order and names
    bool fullPath = false;
    std::optional<monitor::ListColumn> sortColumn;
    bool descending = false;
    long long sinceIndex = 0;  // records whose index is at least this

    // code: the synthesis panel's choices, its first-run defaults unless given
    monitor::SynthesisOptions synthesis;

    // pause
    std::optional<std::chrono::milliseconds> holdFor;

    // check, follow --check
    bool check = false;
    long long maxBlocks = 0;
    std::optional<long long> maxBytes;
};

// Either options to run, or a text to print and the status to exit with:
// help and version on standard output with 0, a usage error on standard
// error with 2.
struct ParsedCommandLine {
    std::optional<Options> options;
    QString text;
    int status = 0;
};

ParsedCommandLine parseCommandLine(const QStringList &arguments);

} // namespace vexal::cli
