// SPDX-License-Identifier: MIT
// follow: answers the application's own report calls until it ends.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"

#include <TransferRecord.h>

namespace vexal::cli {

using monitor::Connection;
using monitor::ReceivedState;

namespace {

::CallSite callSite(const monitor::CallSite &site) { return {site.file, site.line}; }

// The window answers a VexalShowStatus call with a summary request, which
// leaves the calling thread waiting until the library's 10 s pass: only the
// end of a list transfer lets it go. An empty transfer (list start, then
// list end) carries the same counters and lets it go at once.
int answerStatusCall(const Options &options, Session &session, monitor::SummaryState &summary)
{
    const ::CallSite origin = callSite(session.connection().locked([](ReceivedState &state) { return state.statusCall; }));
    constexpr const char *kAnswering = "answering the application's VexalShowStatus call";
    Outcome outcome = session.request(MSG_LIST_START, Connection::Reply::List, kAnswering);
    if (outcome == Outcome::Done)
        outcome = session.request(MSG_LIST_END, Connection::Reply::List, kAnswering);
    if (outcome != Outcome::Done)
        return session.fail(outcome);
    return printSummary(options, session, summary, origin);
}

// Fetches the list the application's VexalShowList call announced; the
// list's end lets the calling thread go on.
int answerListCall(const Options &options, Session &session, bool &checked)
{
    const ::CallSite origin = callSite(session.connection().locked([](ReceivedState &state) { return state.listCall; }));
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
    // Report calls the application made before this line went to its own
    // output: say when vxl began to follow. The connection is made before
    // the library serves it, and a report call in between is not announced:
    // one answered request first makes the line true.
    if (const Outcome outcome =
            session.request(MSG_SUMMARY, Connection::Reply::Summary, "waiting for the application to answer");
        outcome != Outcome::Done)
        return session.fail(outcome);
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
