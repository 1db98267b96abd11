// SPDX-License-Identifier: MIT
#include "ReceivedState.h"

namespace vexal::monitor {

namespace {

CallSite callSite(const TransferRecord &data) { return {QByteArray(data.fileName), data.line}; }

} // namespace

Wake receiveMessage(const char (&message)[SOCKETDATA_SIZE], ReceivedState &state)
{
    // The whole number decides: a value outside 0 to 10 is not taken modulo
    // anything, it is simply not a message of the protocol.
    switch (protocol::decodeReply(message, state.data)) {
    case MSG_DISCONNECT:
        state.connected = false;
        state.continuous = false;
        return Wake::Disconnected;
    case MSG_SUMMARY:
        return Wake::SummaryReply;
    case MSG_LIST_START:
        state.recordsToLoad = state.data.listLength;
        return Wake::ListReply;
    case MSG_LIST_NEXT:
        return Wake::ListRecord;
    case MSG_LIST_END:
        return Wake::ListReply;
    case MSG_PAUSE:
    case MSG_RELEASE:
        return Wake::ControlReply;
    case MSG_SHOW_STATUS:
        state.continuous = false;
        state.statusCall = callSite(state.data);
        return Wake::StatusCall;
    case MSG_SHOW_LIST:
        state.continuous = false;
        state.listCall = callSite(state.data);
        return Wake::ListCall;
    case MSG_SITES:
        state.sites = SitesSupport::Grouped;
        return Wake::Site;
    case MSG_SITES_END:
        state.sites = SitesSupport::Grouped;
        ++state.sitesAnswered;
        return Wake::SitesEnd;
    default:
        return Wake::Nothing;
    }
}

} // namespace vexal::monitor
