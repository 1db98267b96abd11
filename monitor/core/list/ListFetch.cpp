// SPDX-License-Identifier: MIT
#include "ListFetch.h"

#include <algorithm>
#include <limits>

namespace vexal::monitor {

namespace {

using Clock = std::chrono::steady_clock;

ListFetch::Outcome failure(Connection &connection)
{
    return connection.isConnected() ? ListFetch::Outcome::TimedOut : ListFetch::Outcome::ConnectionLost;
}

} // namespace

ListFetch::Result ListFetch::run(RecordTable &table, const Progress &progress)
{
    const std::lock_guard transfer(connection_.listTransferMutex());
    Result result;
    if (!connection_.request(Connection::Request::ListStart, timeout_)) {
        result.outcome = failure(connection_);
        return result;
    }
    // A negative count from a confused library is an empty list.
    result.announced = std::max(0, connection_.locked([](ReceivedState &state) { return state.recordsToLoad; }));
    table.reset(result.announced);
    if (progress.announced)
        progress.announced(result.announced);

    if (!receiveRecords(table, result.announced, progress)
        || !connection_.request(Connection::Request::ListEnd, timeout_)) {
        result.outcome = failure(connection_);
        return result;
    }
    result.status = connection_.locked([](ReceivedState &state) { return StatusValues::from(state.data); });
    result.outcome = Outcome::Done;
    return result;
}

// The receiving thread stores each record straight into the table and wakes
// this thread only when it has something to do: report progress, ask for
// more records, or go on with the list end.
bool ListFetch::receiveRecords(RecordTable &table, qsizetype count, const Progress &progress)
{
    constexpr qsizetype kNever = std::numeric_limits<qsizetype>::max();
    constexpr qsizetype kRefillAt = kRecordsInFlight / 2;
    struct Shared {  // under the communication lock
        qsizetype stored = 0;
        qsizetype wakeAt = kNever;
    } shared;
    const ScopedRecordSink sink(connection_, [&](const TransferRecord &received) {
        // Replies to requests of an abandoned fetch are not this list's.
        if (shared.stored >= count)
            return false;
        table.setRecord(shared.stored++, received);
        if (shared.stored < shared.wakeAt)
            return false;
        shared.wakeAt = kNever;  // one wake per threshold
        return true;
    });

    qsizetype requested = 0;
    qsizetype nextReport = 0;
    qsizetype seen = 0;
    Clock::time_point deadline = Clock::now() + timeout_;
    for (;;) {
        qsizetype stored = 0;
        if (!connection_.locked([&](ReceivedState &state) {
                stored = shared.stored;
                return state.connected;
            }))
            return false;
        if (stored > seen) {
            seen = stored;
            deadline = Clock::now() + timeout_;
        }
        for (; nextReport < stored; nextReport += RecordTable::ProgressStep) {
            if (progress.received)
                progress.received(nextReport);
        }
        if (stored == count)
            return true;

        const qsizetype inFlight = requested - stored;
        if (requested < count && inFlight <= kRefillAt) {
            const qsizetype more = std::min(count - requested, kRecordsInFlight - inFlight);
            connection_.sendMore(MSG_LIST_NEXT, static_cast<int>(more));
            requested += more;
        }
        const qsizetype refill = requested < count ? requested - kRefillAt : count;
        const qsizetype wakeAt = std::min({nextReport + 1, refill, count});
        const bool arrived = connection_.locked([&](ReceivedState &) {
            if (shared.stored >= wakeAt)
                return true;
            shared.wakeAt = wakeAt;
            return false;
        });
        if (arrived)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !connection_.awaitReply(Connection::Reply::List, left)) {
            // A set event can still be a stale one: only the records count.
            if (connection_.locked([&](ReceivedState &) { return shared.stored; }) > seen
                && connection_.isConnected())
                continue;
            return false;
        }
    }
}

} // namespace vexal::monitor
