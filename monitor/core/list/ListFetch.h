// SPDX-License-Identifier: MIT
// Fetches the application's list of live allocations over a connection: list
// start (2), then one next record (3) per announced record, then list end
// (4), into a record table. Several requests for records are kept in flight
// at once, so that the list does not cost a round trip per record; the
// messages on the wire and their order stay those of one request at a time.
//
// Used by the desktop window and the command-line monitor alike.
#pragma once

#include "connection/Connection.h"
#include "summary/SummaryState.h"

#include "RecordTable.h"

#include <chrono>
#include <functional>

namespace vexal::monitor {

class ListFetch {
public:
    // Requests for records that have no reply yet, at most. Enough to keep
    // both ends busy over loopback; bounded, so that an abandoned fetch
    // leaves little behind it.
    static constexpr int kRecordsInFlight = 256;

    enum class Outcome {
        Done,            // every record and the closing status arrived
        TimedOut,        // a reply did not come in time: no list end was sent
        ConnectionLost,  // the connection ended (or was never up)
    };

    struct Result {
        Outcome outcome = Outcome::ConnectionLost;
        qsizetype announced = 0;  // the record count of the list start's reply
        StatusValues status;      // the list end's status values, when Done
    };

    struct Progress {
        // The record count, once the list start's reply is in.
        std::function<void(qsizetype count)> announced;
        // Record n has been stored, for every n that is a multiple of
        // RecordTable::ProgressStep (0, 100, 200, ...), in order.
        std::function<void(qsizetype n)> received;
    };

    // `timeout` bounds each wait: for the list start's reply, for the next
    // record to arrive, for the list end's reply.
    explicit ListFetch(Connection &connection, std::chrono::milliseconds timeout = kReplyTimeout)
        : connection_(connection), timeout_(timeout)
    {
    }

    // Resets `table` to the announced count and fills it; blocks the calling
    // thread (never the connection's receiving thread). On Done the table
    // holds the whole list and knows the application's platform; otherwise
    // it may be partly filled.
    Result run(RecordTable &table, const Progress &progress = {});

private:
    bool receiveRecords(RecordTable &table, qsizetype count, const Progress &progress);

    Connection &connection_;
    std::chrono::milliseconds timeout_;
};

} // namespace vexal::monitor
