// SPDX-License-Identifier: MIT
// The monitor's side of the connection: a sending thread that writes each
// command the window asks for, a receiving thread that stores every reply and
// wakes whoever waits for it, the pending command, the reply events and the
// communication lock. Window code never touches the socket: it stores a
// command, wakes the sender and waits, bounded, for the matching reply.
//
// One Connection serves any number of connections in turn; the socket
// endpoint is process-global, so a process has one Connection.
#pragma once

#include "AutoResetEvent.h"
#include "CommandQueue.h"
#include "ReceivedState.h"

#include <QByteArray>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vexal::monitor {

// The protocol's limits, under the names the core's users know them by.
using protocol::kDefaultPort;
using protocol::kReplyTimeout;

// What the receiving thread tells its owner.
class ConnectionListener {
public:
    virtual ~ConnectionListener() = default;
    // The connection broke while it was up; the connected flag is already
    // clear. Runs on the receiving thread without the lock; the endpoint is
    // closed after it returns.
    virtual void connectionLost() = 0;
    // Notice 7 or 8 was stored (`which` is StatusCall or ListCall); its call
    // event is set right after. Runs on the receiving thread under the
    // communication lock: it must neither block nor take the lock.
    virtual void reportCall(Wake which, bool continuousWasRunning) = 0;
};

class Connection {
public:
    enum class OpenResult { Connected, SocketFailed, NotReachable, EventsFailed, ThreadsFailed };
    enum class Reply { Summary, List, Control, Sites };
    // What the monitor asks of the library, each answered by one reply.
    enum class Request { Summary, ListStart, ListNext, ListEnd, Pause, Release };
    // Starts a thread; replaceable so that tests can make a start fail.
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;

    explicit Connection(ConnectionListener *listener = nullptr, ThreadStarter starter = {});
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Sets up the endpoint, connects it, creates the events and starts the
    // receiving, then the sending thread. A failure leaves nothing open.
    OpenResult open(const QByteArray &address, int port)
    {
        const OpenResult result = connectEndpoint(address, port);
        return result == OpenResult::Connected ? startThreads() : result;
    }
    // The same in two steps, so that a window can reset its views in
    // between: first the endpoint (SocketFailed, NotReachable), then the
    // events and threads (EventsFailed, ThreadsFailed; the endpoint is then
    // closed again).
    OpenResult connectEndpoint(const QByteArray &address, int port);
    OpenResult startThreads();

    // Disconnecting in two steps, as the window does: clear the connected
    // flag and hand the sending thread the disconnect command; later, wait
    // until it has sent it and ended. Waiters for replies are let go.
    void sendDisconnect();
    void awaitSenderEnd();

    bool isConnected();

    // Queues `command` behind the commands not yet written and wakes the
    // sending thread; nothing while not connected (nothing goes after a
    // disconnect). Commands leave in the order they were queued, so that
    // the window, the summary ticker and the sites' refresh never lose one
    // another's requests.
    void send(int command);
    // Queues `copies` requests of `command`, joined to the last queued ones
    // when they are of the same kind, so that they leave in one write.
    void sendMore(int command, int copies);
    // Queues the request for the leak sites counting blocks with an index of
    // `sinceIndex` or more; false while not connected. `ticket` gets the
    // number of sites requests on this connection so far, this one included
    // (ReceivedState::sitesAsked), under the communication lock: before any
    // answer to it can arrive.
    bool sendSites(long long sinceIndex, long long &ticket);
    // Waits for the reply event; false on time-out or when the connection ended.
    bool awaitReply(Reply reply, std::chrono::milliseconds timeout = kReplyTimeout);
    // Sends the request's command and waits for its reply.
    bool request(Request request, std::chrono::milliseconds timeout = kReplyTimeout);

    // Whether `address` is IPv4 text that open() can connect to.
    static bool isValidAddress(const QByteArray &address);

    // The one way into the shared state: `work` runs under the
    // communication lock. It must not wait for an event.
    template <class Work>
    decltype(auto) locked(Work &&work)
    {
        std::lock_guard lock(mutex_);
        return std::forward<Work>(work)(state_);
    }

    // Takes each list record (reply 3) on the receiving thread, under the
    // communication lock, as soon as it is decoded into the received data;
    // the list reply event is set only when the sink returns true. An empty
    // sink (the default) sets it for every record. Must not take the lock.
    using RecordSink = std::function<bool(const TransferRecord &received)>;
    void setRecordSink(RecordSink sink);
    // The same for the leak sites' messages: a site (9), or with `end` the
    // totals (10), in state.data. The sites reply event is set only when the
    // sink returns true; with no sink, at every end.
    using SiteSink = std::function<bool(const ReceivedState &state, bool end)>;
    void setSiteSink(SiteSink sink);

    // Held for a whole list transfer (2, 3..., 4): the library has one list
    // cursor per connection, so two transfers must not interleave.
    std::mutex &listTransferMutex() { return listTransfer_; }

    // Set by notices 7 and 8; they live as long as the Connection.
    AutoResetEvent &statusCallEvent() { return statusCallEvent_; }
    AutoResetEvent &listCallEvent() { return listCallEvent_; }

    // Waits, bounded, until the last connection's receiving thread has ended.
    bool awaitReceiverEnd(std::chrono::milliseconds timeout = kReplyTimeout);

private:
    struct Session;

    void sendLoop(const std::shared_ptr<Session> &session);
    void receiveLoop(const std::shared_ptr<Session> &session);
    bool isCurrent(const Session *session) const { return state_.connected && session_.get() == session; }
    void retireThreads();
    void closeEndpoint(const Session &owner);
    // Ends the owner's connection in both directions, keeping the socket.
    void shutdownEndpoint(const Session &owner);

    std::shared_ptr<Session> queue(const CommandQueue::Command &command, bool joinSameKind);

    ConnectionListener *listener_;
    ThreadStarter startThread_;

    std::mutex mutex_;  // the communication lock: state_, session_, the two below
    ReceivedState state_;
    std::shared_ptr<Session> session_;
    CommandQueue commands_;
    RecordSink recordSink_;
    SiteSink siteSink_;
    std::mutex listTransfer_;

    std::mutex lifecycle_;  // the thread handles
    unsigned long long generations_ = 0;
    std::thread sender_;
    std::thread receiver_;
    std::shared_ptr<Session> threadsSession_;

    std::mutex endpointMutex_;  // which connection may close the endpoint
    unsigned long long endpointOwner_ = 0;  // its session's generation

    AutoResetEvent statusCallEvent_;
    AutoResetEvent listCallEvent_;
};

// Keeps a sink installed for as long as it lives: a fetch's sink must not
// outlive the fetch whose state it writes.
template <class Sink, void (Connection::*Install)(Sink)>
class ScopedSink {
public:
    ScopedSink(Connection &connection, Sink sink) : connection_(connection)
    {
        (connection_.*Install)(std::move(sink));
    }
    ~ScopedSink() { (connection_.*Install)(Sink{}); }
    ScopedSink(const ScopedSink &) = delete;
    ScopedSink &operator=(const ScopedSink &) = delete;

private:
    Connection &connection_;
};

using ScopedRecordSink = ScopedSink<Connection::RecordSink, &Connection::setRecordSink>;
using ScopedSiteSink = ScopedSink<Connection::SiteSink, &Connection::setSiteSink>;

} // namespace vexal::monitor
