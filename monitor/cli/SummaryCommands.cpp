// SPDX-License-Identifier: MIT
// summary and watch.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"
#include "SummaryFormats.h"

#include <QDateTime>

namespace vexal::cli {

using monitor::CallSite;
using monitor::Connection;
using monitor::ReceivedState;
using monitor::StatusValues;

namespace {

StatusValues lastStatus(Session &session)
{
    return session.connection().locked([](ReceivedState &state) { return StatusValues::from(state.data); });
}

} // namespace

int printSummary(const Options &options, Session &session, monitor::SummaryState &summary,
                 const std::optional<CallSite> &origin)
{
    const StatusValues values = lastStatus(session);
    const monitor::SummaryUpdate shown = summary.display(values, QDateTime::currentMSecsSinceEpoch());
    return writeOut(summaryOutput(options.format, origin, shown.rows, values)) ? kDone : kReaderGone;
}

int runSummary(const Options &options, Session &session)
{
    const Outcome outcome = session.request(Connection::Request::Summary, "waiting for the summary");
    if (outcome != Outcome::Done)
        return session.fail(outcome);
    monitor::SummaryState summary;
    return printSummary(options, session, summary, std::nullopt);
}

int runWatch(const Options &options, Session &session)
{
    SampleLines lines(options.format);
    std::optional<Clock::time_point> start;
    for (long long n = 0; options.count == 0 || n < options.count; ++n) {
        // The period runs from the end of one sample to the next request.
        Outcome outcome = n == 0 || session.sleep(options.period) ? Outcome::Done : session.failure();
        if (outcome == Outcome::Done)
            outcome = session.request(Connection::Request::Summary, "waiting for a summary");
        // An interruption is how watching usually ends.
        if (outcome == Outcome::Interrupted)
            return kDone;
        if (outcome != Outcome::Done)
            return session.fail(outcome);
        const Clock::time_point now = Clock::now();
        if (!start)
            start = now;
        const double elapsed = std::chrono::duration<double>(now - *start).count();
        if (!writeOut(lines.line(elapsed, lastStatus(session))))
            return kReaderGone;
    }
    return kDone;
}

} // namespace vexal::cli
