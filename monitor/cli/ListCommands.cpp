// SPDX-License-Identifier: MIT
// list, code and check, and the list that follow prints or checks at the
// application's VexalShowList call.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"
#include "ListFormats.h"

#include <list/ListFetch.h>

#include <unistd.h>

#include <functional>

namespace vexal::cli {

using monitor::CallSite;
using monitor::generateCode;
using monitor::GeneratedCode;
using monitor::RecordTable;

namespace {

// The window's progress texts on a terminal, once a fetch has run longer
// than this; one line, rewritten in place (at most this often) and erased
// at the end.
constexpr std::chrono::seconds kQuietFetch{1};
constexpr std::chrono::milliseconds kProgressInterval{100};

class FetchProgress {
public:
    FetchProgress() : shown_(isTerminal(STDERR_FILENO)), nextShown_(Clock::now() + kQuietFetch) {}
    ~FetchProgress()
    {
        if (written_)
            write("\r\x1b[K");
    }
    FetchProgress(const FetchProgress &) = delete;
    FetchProgress &operator=(const FetchProgress &) = delete;

    monitor::ListFetch::Progress callbacks()
    {
        monitor::ListFetch::Progress progress;
        if (shown_)
            progress.received = [this](qsizetype n) {
                const Clock::time_point now = Clock::now();
                if (now >= nextShown_) {
                    write("\r\x1b[K" + RecordTable::receivingProgressText(n).toLatin1());
                    written_ = true;
                    nextShown_ = now + kProgressInterval;
                }
            };
        return progress;
    }

private:
    static void write(const QByteArray &text) { [[maybe_unused]] auto n = ::write(STDERR_FILENO, text.data(), size_t(text.size())); }

    const bool shown_;
    Clock::time_point nextShown_;
    bool written_ = false;
};

// The rows to show: those since the index asked for, in the order asked.
QList<qsizetype> shownRows(const Options &options, RecordTable &table)
{
    if (options.sortColumn) {
        // A column sorts ascending first, descending when sorted again.
        table.sortBy(*options.sortColumn);
        if (options.descending)
            table.sortBy(*options.sortColumn);
    }
    return rowsSince(table, options.sinceIndex);
}

// Standard output a full buffer at a time, however long the output.
int print(const std::function<void(monitor::ByteWriter &out)> &write)
{
    monitor::ByteWriter out(writeOut);
    write(out);
    return out.flush() ? kDone : kReaderGone;
}

} // namespace

int fetchList(Session &session, RecordTable &table)
{
    session.setActivity("fetching the list");
    FetchProgress progress;
    const monitor::ListFetch::Result result =
        monitor::ListFetch(session.connection(), session.target().timeout).run(table, progress.callbacks());
    return result.outcome == monitor::ListFetch::Outcome::Done ? kDone : session.fail(session.failure());
}

int checkList(const Options &options, Session &session, RecordTable &table, const std::optional<CallSite> &origin)
{
    const QList<qsizetype> rows = shownRows(options, table);
    long long bytes = 0;
    for (qsizetype row : rows)
        bytes += table.record(row).size;
    const long long blocks = rows.size();
    QString verdict = QStringLiteral("%1 live blocks (%2 bytes) since index %3 at %4")
                          .arg(blocks).arg(bytes).arg(options.sinceIndex).arg(session.where());
    QString exceeded;
    if (blocks > options.maxBlocks)
        exceeded = QStringLiteral("; at most %1 allowed").arg(options.maxBlocks);
    else if (options.maxBytes && bytes > *options.maxBytes)
        exceeded = QStringLiteral("; at most %1 bytes allowed").arg(*options.maxBytes);
    if (exceeded.isEmpty()) {
        say(QStringLiteral("check passed: ") + verdict);
        return kDone;
    }
    const int printed = print([&](monitor::ByteWriter &out) {
        writeList(out, options.format, origin, table, rows, options.fullPath);
    });
    say(QStringLiteral("check failed: ") + verdict + exceeded);
    return printed == kDone ? kCheckFailed : printed;
}

int printList(const Options &options, RecordTable &table, const std::optional<CallSite> &origin)
{
    const QList<qsizetype> rows = shownRows(options, table);
    return print([&](monitor::ByteWriter &out) { writeList(out, options.format, origin, table, rows, options.fullPath); });
}

int runList(const Options &options, Session &session)
{
    RecordTable table;
    const int fetched = fetchList(session, table);
    return fetched == kDone ? printList(options, table, std::nullopt) : fetched;
}

int runCode(const Options &options, Session &session)
{
    RecordTable table;
    if (const int fetched = fetchList(session, table); fetched != kDone)
        return fetched;
    const QList<qsizetype> rows = shownRows(options, table);
    // The generator reads an empty choice of rows as all of them.
    const GeneratedCode code = rows.isEmpty() ? GeneratedCode() : generateCode(table, options.synthesis, rows);
    return print([&](monitor::ByteWriter &out) { writeCode(out, options.format, code, options.synthesis, table); });
}

int runCheck(const Options &options, Session &session)
{
    RecordTable table;
    const int fetched = fetchList(session, table);
    return fetched == kDone ? checkList(options, session, table, std::nullopt) : fetched;
}

} // namespace vexal::cli
