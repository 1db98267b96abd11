// SPDX-License-Identifier: MIT
// follow: answers the application's own report calls until it ends.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"

namespace vexal::cli {

using monitor::CallSite;
using monitor::Connection;
using monitor::ReceivedState;
using monitor::RecordTable;

namespace {

CallSite callSite(const monitor::CallSite &site) { return {site.file, site.line}; }

// The window answers a VexalShowStatus call with a summary request, which
// leaves the calling thread waiting until the library's 10 s pass: only the
// end of a list transfer lets it go. An empty transfer (list start, then
// list end) carries the same counters and lets it go at once.
int answerStatusCall(const Options &options, Session &session, monitor::SummaryState &summary)
{
    const CallSite origin = callSite(session.connection().locked([](ReceivedState &state) { return state.statusCall; }));
    constexpr const char *kAnswering = "answering the application's VexalShowStatus call";
    Outcome outcome = session.request(Connection::Request::ListStart, kAnswering);
    if (outcome == Outcome::Done)
        outcome = session.request(Connection::Request::ListEnd, kAnswering);
    if (outcome != Outcome::Done)
        return session.fail(outcome);
    return printSummary(options, session, summary, origin);
}

// Fetches the list the application's VexalShowList call announced; the
// list's end lets the calling thread go on.
int answerListCall(const Options &options, Session &session, bool &checked)
{
    const CallSite origin = callSite(session.connection().locked([](ReceivedState &state) { return state.listCall; }));
    RecordTable table;
    if (const int fetched = fetchList(session, table); fetched != kDone)
        return fetched;
    if (!options.check)
        return printList(options, table, origin);
    checked = true;
    return checkList(options, session, table, origin);
}

} // namespace

int runFollow(const Options &options, Session &session)
{
    // One summary table per connection, as the window keeps it.
    monitor::SummaryState summary;
    bool checked = false;
    bool failed = false;
    // The connection is up a moment before the library serves it, and a
    // report call made in between goes to the application's own output: a
    // reply shows it serving. Calls made before this line went there too.
    if (const Outcome served = session.request(Connection::Request::Summary, "waiting for the application to serve");
        served != Outcome::Done)
        return session.fail(served);
    say(QStringLiteral("following the application at %1").arg(session.where()));
    for (;;) {
        session.setActivity("following the application");
        int status = kDone;
        switch (session.nextEvent()) {
        case Session::Event::StatusCall:
            status = answerStatusCall(options, session, summary);
            break;
        case Session::Event::ListCall:
            status = answerListCall(options, session, checked);
            break;
        case Session::Event::Ended:
        case Session::Event::Interrupted:
            // The application's end is how following ends. A check that
            // never ran must not pass: the application may have died before
            // its VexalShowList call.
            if (options.check && !checked) {
                say(QStringLiteral("nothing was checked: no VexalShowList call came from %1").arg(session.where()));
                return kCheckFailed;
            }
            return failed ? kCheckFailed : kDone;
        }
        if (status == kCheckFailed)
            failed = true;
        else if (status != kDone)
            return status;
    }
}

} // namespace vexal::cli
