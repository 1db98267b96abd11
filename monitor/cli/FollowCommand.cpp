// SPDX-License-Identifier: MIT
// follow: answers the application's own report calls until it ends.
#include "Commands.h"
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

} // namespace

int runFollow(const Options &options, Session &session)
{
    // One summary table per connection, as the window keeps it.
    monitor::SummaryState summary;
    for (;;) {
        session.setActivity("following the application");
        switch (session.nextEvent()) {
        case Session::Event::StatusCall:
            if (const int status = answerStatusCall(options, session, summary); status != kDone)
                return status;
            break;
        case Session::Event::ListCall:
            break;
        case Session::Event::Ended:
        case Session::Event::Interrupted:
            // The application's end is how following ends.
            return kDone;
        }
    }
}

} // namespace vexal::cli
