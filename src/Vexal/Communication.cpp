// SPDX-License-Identifier: MIT
// The library's communication threads: listen for a monitor, serve its
// commands, send the application's report notices, pause and release.
#include "Communication.h"

#include "ConnectionState.h"
#include "Protocol.h"
#include "SiteGrouping.h"
#include "VexalInternal.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

namespace vexal::comm {
namespace {

constexpr int kReplyTimeoutMs = static_cast<int>(kReplyTimeout.count());

void say(const char *format, ...)
{
    if (tracking.vxlLog.load(std::memory_order_relaxed) == 0)
        return;
    va_list args;
    va_start(args, format);
    tracking.os.write([&](std::FILE *out) { std::vfprintf(out, format, args); });
    va_end(args);
}

void sayReason() { say("\tReason: %s\n", getErrorMessage()); }

void packStatus(TransferRecord &message)
{
    for (int row = 0; row < TRANSFER_STATUS_ROWS; ++row) {
        message.calls[row] = tracking.counts[row].calls;
        message.stillAllocated[row] = tracking.counts[row].stillAllocated;
    }
    message.freeFailed = tracking.freeFailed;
    message.addressNotStored = tracking.addressNotStored;
    message.internalUse = tracking.internalUse;
}

// Encodes `message` and does what its sending means to this side.
void encode(const TransferRecord &message, SocketData &data)
{
    if (!protocol::encodeReply(message, data))
        say("Tried to send the invalid command: %d!!!\n", message.command);
    switch (message.command) {
    case MSG_DISCONNECT:
        connection.goOnSending.store(0);  // the echo is the last message
        break;
    case MSG_PAUSE:
        connection.freezeEnabled.store(1);
        break;
    case MSG_RELEASE:
        connection.freezeEnabled.store(0);
        break;
    default:
        break;
    }
}

int sender()
{
    State &st = state();
    int code = 0;
    int count;
    // Not gated on goOnSending: the receiver clears it before it hands over
    // the echo of a disconnect, which must still go out.
    while ((count = st.outbox.take(st.sending)) > 0) {
        int length = 0;
        bool last = false;
        for (int i = 0; i < count && !last; ++i) {
            SocketData data;
            encode(st.sending[i], data);
            std::memcpy(st.wire + length, data.data, static_cast<std::size_t>(data.size));
            length += data.size;
            last = st.sending[i].command == MSG_DISCONNECT;
        }
        // Bounded like the wait of whoever handed the messages over: a
        // monitor that stops reading cannot block the sender for longer.
        code = sendDataWithin(st.wire, length, kReplyTimeoutMs);
        if (code != 0) {
            connection.goOnSending.store(0);
            break;  // the outbox closes below, so nobody waits for this write
        }
        st.outbox.markSent();
        if (last)
            break;
    }
    st.outbox.close();  // nobody may wait on a sender that is gone
    shutdownConnection();  // and the receiver's read must end too
    return code;
}

// Lets the application threads waiting in VexalShowStatus/VexalShowList go
// on, all of them: the monitor has fetched the data, or will not.
void wakeReportWaiters()
{
    State &st = state();
    st.sigListRequest.open();
    st.sigStatusRequest.open();
}

TransferRecord reply(int command)
{
    TransferRecord message{};
    message.command = command;
    return message;
}

// What serving one command left of the connection.
enum class Served {
    Continue,
    Disconnect,  // the monitor asked to end it
    Broken       // a reply could not be written in time: nothing more is sent
};

Served sent(bool written) { return written ? Served::Continue : Served::Broken; }

// The reply to a 3: the record the list walk stands on, which moves on.
TransferRecord nextRecord(RecordWalk &walk, int &lastRecordType)
{
    TransferRecord message = reply(MSG_LIST_NEXT);
    // The walk is only meaningful while the hold keeps the records still.
    const Record *current = holding() ? walk.current() : nullptr;
    if (current != nullptr) {
        const Record &rec = *current;
        message.recordType = static_cast<int>(rec.type);
        message.recordSize = static_cast<std::int64_t>(exactSize(rec));
        message.line = rec.line;
        message.address = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(rec.address));
        protocol::copyFileName(message.fileName, fileOf(rec));
        message.recordIndex = static_cast<std::int64_t>(rec.index);
        message.threadId = static_cast<int>(rec.threadId);
        lastRecordType = static_cast<int>(rec.type);
        walk.next();
    } else {
        message.recordType = lastRecordType;
        protocol::copyFileName(message.fileName, " Internal Error!!!");
    }
    return message;
}

// Serves one command other than a 3: the receiver answers those in batches.
Served serve(int command, RecordWalk &walk)
{
    State &st = state();
    switch (command) {
    case MSG_DISCONNECT:
        connection.goOnSending.store(0);
        // Waiting (bounded) for the echo to go out lets the connection end
        // and the next listen start at once, whatever the monitor does next.
        st.outbox.deliver(reply(MSG_DISCONNECT));
        return Served::Disconnect;
    case MSG_SUMMARY: {
        // Already held (paused, or a list transfer left without its end):
        // the lock is not recursive, so it is neither taken nor given back.
        const bool took = !holding();
        if (took)
            takeHold();
        TransferRecord message = reply(MSG_SUMMARY);
        packStatus(message);
        if (!st.outbox.deliver(message))
            return Served::Broken;  // the hold goes with the connection
        if (took)
            releaseHold();
        return Served::Continue;
    }
    case MSG_LIST_START: {
        if (!holding())
            takeHold();
        TransferRecord message = reply(MSG_LIST_START);
        message.listLength = tracking.started ? static_cast<int>(recordCount()) : 0;
        if (tracking.started)
            startWalk(walk);
        else
            walk.clear();
        return sent(st.outbox.deliver(message));
    }
    case MSG_LIST_END: {
        if (!holding())
            takeHold();  // the counters are read under the lock in any case
        TransferRecord message = reply(MSG_LIST_END);
        packStatus(message);
        if (!st.outbox.deliver(message))
            return Served::Broken;
        walk.clear();
        // Waiters go first: while the hold lasts, no new notice can enter a
        // gate and be let through by this list end, which is not its own.
        wakeReportWaiters();
        if (connection.freezeEnabled.load() == 0)
            releaseHold();
        return Served::Continue;
    }
    case MSG_PAUSE:
        if (!holding())
            takeHold();
        return sent(st.outbox.deliver(reply(MSG_PAUSE)));
    case MSG_RELEASE:
        if (!st.outbox.deliver(reply(MSG_RELEASE)))
            return Served::Broken;
        walk.clear();
        releaseHold();
        return Served::Continue;
    default:
        say("The command %d is not valid!\n", command);
        return Served::Continue;
    }
}

// The leak sites: grouped in one short hold, sent after it.
Served serveSites(std::int64_t sinceIndex)
{
    const bool took = !holding();  // not when paused, or within a list transfer
    if (took)
        takeHold();
    sites::Grouping grouping;
    const bool grouped = grouping.collect(std::uint64_t(sinceIndex));
    const std::uint64_t nextIndex = tracking.globalIndex.load(std::memory_order_relaxed);
    if (took)
        releaseHold();
    if (grouped)
        grouping.merge();
    else
        say("Could not group the leak sites: out of memory!\n");
    return sent(sites::send(grouping, grouped, nextIndex, state().outbox));
}

// Ends a connection, whatever ended it: the application never stays stopped,
// its report calls return, the next monitor starts unpaused, and the sender
// is woken to finish. The socket is closed once both threads are done with it.
void endConnection(bool farewell)
{
    State &st = state();
    connection.goOnSending.store(0);
    releaseHold();
    connection.freezeEnabled.store(0);
    wakeReportWaiters();
    // A monitor whose reading side is still open gets a final 0. Not after
    // a reply that could not be written: that would only wait again.
    if (farewell)
        st.outbox.deliver(reply(MSG_DISCONNECT));
    st.outbox.close();
    shutdownConnection();  // a sender blocked in a write returns at once
}

int receiver()
{
    State &st = state();
    RecordWalk walk;
    int lastRecordType = 0;
    int pending = 0;  // answered 3s in st.replies, not handed over yet
    SocketData data;
    int code;
    bool farewell = true;
    while ((code = readSocketData(&data)) == 0) {
        if (connection.goOnSending.load() == 0)
            break;
        const int command = protocol::decodeCommand(data.data);
        Served served = Served::Continue;
        if (command == MSG_LIST_NEXT) {
            // The answers to 3s that arrived together go out in one write:
            // a monitor that asks for many records at once gets them at the
            // speed of the connection, not of one hand-over per record.
            st.replies[pending++] = nextRecord(walk, lastRecordType);
            if (pending < kBatchMax && socketDataWaiting() != 0)
                continue;
        }
        if (pending > 0) {  // before anything else is answered
            served = sent(st.outbox.deliver(st.replies, pending));
            pending = 0;
        }
        if (command == MSG_SITES && served == Served::Continue)
            served = serveSites(protocol::decodeSitesRequest(data.data));
        else if (command != MSG_LIST_NEXT && served == Served::Continue)
            served = serve(command, walk);
        if (served != Served::Continue) {
            // The commands the monitor queued behind are dropped unread.
            farewell = served == Served::Disconnect;
            break;
        }
    }
    endConnection(farewell);
    return code;
}

void sayBadSetup(int code)
{
    switch (code) {
    case SOCKETCOM_WINSOCK_START_FAILED: say("Failed to initialize the Windows Socket DLL!\n"); break;
    case SOCKETCOM_WINSOCK_VERSION: say("Socket version not supported!\n"); break;
    case SOCKETCOM_CREATE_FAILED: say("Failed to create socket!\n"); break;
    case SOCKETCOM_BIND_FAILED: say("Failed to bind to socket!\n"); break;
    case SOCKETCOM_LISTEN_FAILED: say("Failed to listen to socket!\n"); break;
    default: say("Got an undocumented error code: %d!\n", code); break;
    }
    sayReason();
}

// Runs one connection's sender and receiver to their end. False when the
// threads could not be started.
bool serveConnection()
{
    State &st = state();
    st.outbox.open();
    connection.goOnSending.store(1);
    platform::Thread thrSender, thrReceiver;
    thrSender.start(sender);
    thrReceiver.start(receiver);
    const bool started = thrSender.started() && thrReceiver.started();
    if (!started) {
        say("Could not launch communication threads towards the client!\n");
        connection.goOnSending.store(0);
        st.outbox.close();
        shutdownConnection();  // a started receiver returns from its read
    }
    thrSender.join();
    thrReceiver.join();
    // Only now: a socket closed while the other thread still used it could be
    // a new socket by the time that thread gets to it.
    closeSocket();
    return started;
}

int launchComThreads()
{
    State &st = state();
    for (;;) {
        int port = st.portNumber.load();
        int code = setupSocket(protocol::kSocketBufferSize, protocol::kSocketBufferSize, port, nullptr);
#if !defined(_WIN32)
        // Each new monitor gets the next port (unless VexalInit chose
        // another port meanwhile).
        st.portNumber.compare_exchange_strong(port, port + 1);
#endif
        if (code != 0) {
            sayBadSetup(code);
            closeSocket();
            return 1;
        }
        say("Server socket created.\n");
        say("Waits for a client to connect...\n");
        code = receiveConnectAttemptFromClient();
        if (code != SOCKETCOM_OK) {
            if (code == SOCKETCOM_ACCEPT_FAILED)
                say("Failed to accept an incoming connect attempt from a client!\n");
            else
                say("Got an undocumented error code: %d!\n", code);
            sayReason();
            closeSocket();
            return 2;
        }
        say("Client connected successfully.\n");
        if (!serveConnection())
            return 1;
    }
}

int launchThreadMain()
{
    const int result = launchComThreads();
    State &st = state();
    std::lock_guard<std::mutex> guard(st.launchMutex);
    st.launched = false;  // a later VexalInit may try again
    return result;
}

} // namespace

bool launch(int port)
{
    State &st = state();
    std::lock_guard<std::mutex> guard(st.launchMutex);
    st.portNumber.store(port);
    if (st.launched)
        return true;
    st.thrLauchThreads.detach();  // an earlier launch thread that has ended
    if (!st.thrLauchThreads.start(launchThreadMain))
        return false;
    st.launched = true;
    return true;
}

void closeThreadHandles()
{
    State &st = state();
    std::lock_guard<std::mutex> guard(st.launchMutex);
    st.thrLauchThreads.detach();
}

bool announceReport(int message, const char *file, int line, bool *signalled)
{
    State &st = state();
    if (connection.goOnSending.load() == 0)
        return false;
    ReportGate &gate = message == MSG_SHOW_STATUS ? st.sigStatusRequest : st.sigListRequest;
    const std::uint64_t entered = gate.enter();
    TransferRecord notice = reply(message);
    notice.line = line;
    protocol::copyFileName(notice.fileName, file);
    if (!st.outbox.deliver(notice)) {
        // No monitor took the notice (its connection is ending): the report
        // is printed here after all.
        gate.leave();
        return false;
    }
    // Every level this thread holds goes, also that of a records walk it is
    // in (Windows), or the monitor could not take the lock to fetch the
    // data; the walk's levels come back afterwards, the report's own not.
    const std::uint32_t levels = tracking.mutGlobalData.unlockAll();
    const bool fetched = gate.wait(entered, kReplyTimeout);
    gate.leave();
    tracking.mutGlobalData.relock(levels > 0 ? levels - 1 : 0);
    if (signalled != nullptr)
        *signalled = fetched;
    return true;
}

} // namespace vexal::comm
