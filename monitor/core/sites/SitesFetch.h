// SPDX-License-Identifier: MIT
// Fetches the leak sites over a connection: the sites request (9) with its
// index bound, answered by one message per site and the totals (10). A
// library that does not group sites answers nothing to it; the first request
// of a connection therefore waits only a short time, and when nothing came,
// says so once and from then on groups a fetched list instead.
//
// Used by the desktop window and the command-line monitor alike.
#pragma once

#include "Sites.h"

#include "connection/Connection.h"
#include "list/ListFetch.h"

#include <QString>

#include <chrono>
#include <functional>

namespace vexal::monitor {

class SitesFetch {
public:
    // How long the first request of a connection waits for the library's
    // first answer before the monitor takes it for a library that does not
    // group sites. A library that does answers within milliseconds.
    static constexpr std::chrono::milliseconds kProbeTimeout{2000};
    static const QString kFallbackNotice;

    // Done, TimedOut (the answer stopped coming) or ConnectionLost, as a
    // list fetch ends.
    using Outcome = ListFetch::Outcome;

    struct Result {
        Outcome outcome = Outcome::ConnectionLost;
        SitesSnapshot snapshot;
        bool grouped = false;  // by the library, not from the list
    };

    // `timeout` bounds each wait once the library has answered; `notice`
    // gets the fallback's notice, once per connection.
    explicit SitesFetch(Connection &connection, std::function<void(const QString &)> notice = {},
                        std::chrono::milliseconds timeout = kReplyTimeout,
                        std::chrono::milliseconds probeTimeout = kProbeTimeout)
        : connection_(connection), notice_(std::move(notice)), timeout_(timeout), probeTimeout_(probeTimeout)
    {
    }

    // Blocks the calling thread (never the connection's receiving thread).
    Result run(int64_t sinceIndex);

private:
    enum class Asked { Answered, NotGrouped, Failed };
    Asked ask(int64_t sinceIndex, SitesSnapshot &snapshot, Outcome &failure);
    Result fromList(int64_t sinceIndex);

    Connection &connection_;
    std::function<void(const QString &)> notice_;
    std::chrono::milliseconds timeout_;
    std::chrono::milliseconds probeTimeout_;
};

} // namespace vexal::monitor
