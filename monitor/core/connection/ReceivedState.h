// SPDX-License-Identifier: MIT
// What the monitor's threads share about the connection: the pending command,
// the values of the last replies, the flags and the application's call sites.
// Guarded by the connection's communication lock (Connection::locked).
#pragma once

#include <QByteArray>

#include <Protocol.h>

namespace vexal::monitor {

// Where the application called VexalShowStatus or VexalShowList; the file
// name is kept as the bytes received.
struct CallSite {
    QByteArray file;
    int line = 0;

    bool operator==(const CallSite &) const = default;
};

// Whether the library groups the leak sites itself. An older library answers
// nothing to the sites request: the monitor then groups a fetched list.
enum class SitesSupport { Unknown, Grouped, NotGrouped };

struct ReceivedState {
    // The values of the last status reply, list length, list record and
    // site; `command` is never written by a received message.
    TransferRecord data{};
    bool connected = false;
    bool continuous = false;
    CallSite statusCall;
    CallSite listCall;
    int recordsToLoad = 0;
    // Per connection: what the library does with a sites request, how many
    // it was sent and how many it ended (10). A site message belongs to the
    // request numbered sitesAnswered + 1.
    SitesSupport sites = SitesSupport::Unknown;
    long long sitesAsked = 0;
    long long sitesAnswered = 0;
};

// Whom a message from the library wakes.
enum class Wake {
    Nothing,       // unknown number: ignored
    Disconnected,  // echo 0: the connection ends
    SummaryReply,  // reply 1
    ListReply,     // replies 2 and 4
    ListRecord,    // reply 3: one record of the list
    ControlReply,  // acknowledgements 5 and 6
    StatusCall,    // notice 7: the application called VexalShowStatus
    ListCall,      // notice 8: the application called VexalShowList
    Site,          // reply 9: one leak site
    SitesEnd,      // reply 10: the sites' totals, after the last site
};

// Stores one whole message from the library (as readSocketData leaves it)
// into `state` and says whom it wakes. Only the fields the message's number
// names are written; a number outside 0 to 10 changes nothing.
Wake receiveMessage(const char (&message)[SOCKETDATA_SIZE], ReceivedState &state);

} // namespace vexal::monitor
