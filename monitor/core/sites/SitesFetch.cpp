// SPDX-License-Identifier: MIT
#include "SitesFetch.h"

#include "list/RecordTable.h"

#include <unordered_set>

namespace vexal::monitor {

const QString SitesFetch::kFallbackNotice =
    QStringLiteral("This application's library does not group leak sites; computing them from the list");

using Clock = std::chrono::steady_clock;

SitesFetch::Result SitesFetch::run(int64_t sinceIndex)
{
    Result result;
    if (connection_.locked([](ReceivedState &state) { return state.sites; }) != SitesSupport::NotGrouped) {
        switch (ask(sinceIndex, result.snapshot, result.outcome)) {
        case Asked::Answered:
            result.outcome = Outcome::Done;
            result.grouped = true;
            return result;
        case Asked::Failed:
            return result;
        case Asked::NotGrouped:
            break;
        }
    }
    return fromList(sinceIndex);
}

SitesFetch::Asked SitesFetch::ask(int64_t sinceIndex, SitesSnapshot &snapshot, Outcome &failure)
{
    struct Shared {  // under the communication lock
        long long ticket = 0;
        bool ended = false;
        bool refused = false;  // the library could not group them this time
        // The sites of one file share one copy of its name.
        std::unordered_set<QByteArray> files;
    } shared;
    // The receiving thread stores each site of this request's answer, and
    // wakes this thread at the first (the library answers) and at the end.
    const ScopedSiteSink sink(connection_, [&](const ReceivedState &state, bool end) {
        const TransferRecord &received = state.data;
        if (shared.ticket == 0 || shared.ended)
            return false;
        if (end) {
            // An answer to an earlier request that gave up is not this one's.
            if (state.sitesAnswered != shared.ticket)
                return false;
            snapshot.totalBlocks = received.siteBlocks;
            snapshot.totalBytes = received.siteBytes;
            snapshot.nextIndex = received.nextIndex;
            shared.refused = received.siteCount < 0;
            shared.ended = true;
            return true;
        }
        if (state.sitesAnswered + 1 != shared.ticket)
            return false;
        const QByteArray file = *shared.files.insert(QByteArray(received.fileName)).first;
        snapshot.sites.push_back({{file, received.line, received.recordType},
                                  received.siteBlocks, received.siteBytes, received.firstIndex, received.lastIndex});
        return snapshot.sites.size() == 1;  // the first: the library answers
    });

    const bool probing = connection_.locked([](ReceivedState &state) { return state.sites == SitesSupport::Unknown; });
    if (!connection_.sendSites(sinceIndex, shared.ticket)) {
        failure = Outcome::ConnectionLost;
        return Asked::Failed;
    }
    Clock::time_point deadline = Clock::now() + (probing ? probeTimeout_ : timeout_);
    std::size_t seen = 0;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() > 0)
            connection_.awaitReply(Connection::Reply::Sites, left);
        bool connected = false;
        std::size_t stored = 0;
        bool refused = false;
        bool ended = connection_.locked([&](ReceivedState &state) {
            connected = state.connected;
            stored = snapshot.sites.size();
            refused = shared.refused;
            return shared.ended;
        });
        if (ended)
            return refused ? Asked::NotGrouped : Asked::Answered;
        if (!connected) {
            failure = Outcome::ConnectionLost;
            return Asked::Failed;
        }
        // Sites still coming: each wait is bounded, not the whole answer.
        if (stored > seen) {
            seen = stored;
            deadline = Clock::now() + timeout_;
            continue;
        }
        if (Clock::now() < deadline)
            continue;
        if (stored > 0 || !probing) {  // the library answered, then stopped
            failure = Outcome::TimedOut;
            return Asked::Failed;
        }
        // Nothing at all: an older library. A late answer would have marked
        // the connection as grouping, and is taken the next time.
        const bool fellBack = connection_.locked([](ReceivedState &state) {
            if (state.sites != SitesSupport::Unknown)
                return false;
            state.sites = SitesSupport::NotGrouped;
            return true;
        });
        if (!fellBack) {
            failure = Outcome::TimedOut;
            return Asked::Failed;
        }
        if (notice_)
            notice_(kFallbackNotice);
        return Asked::NotGrouped;
    }
}

SitesFetch::Result SitesFetch::fromList(int64_t sinceIndex)
{
    Result result;
    RecordTable table;
    const ListFetch::Result fetched = ListFetch(connection_, timeout_).run(table);
    result.outcome = fetched.outcome;
    if (result.outcome == Outcome::Done)
        result.snapshot = groupList(table, sinceIndex);
    return result;
}

} // namespace vexal::monitor
