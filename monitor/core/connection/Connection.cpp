// SPDX-License-Identifier: MIT
#include "Connection.h"

#include <Protocol.h>

#include <atomic>
#include <system_error>

namespace vexal::monitor {

// The objects of one connection. Both of its threads hold it, so it outlives
// the disconnect, which waits for the sending thread only.
struct Connection::Session {
    explicit Session(unsigned long long id) : generation(id) {}

    const unsigned long long generation;
    AutoResetEvent command;
    AutoResetEvent summaryReply;
    AutoResetEvent listReply;
    AutoResetEvent controlReply;
    AutoResetEvent sitesReply;
    std::atomic<bool> ended{false};  // closed: waiters and a woken sender give up
    DoneEvent receiverEnded;
    DoneEvent senderEnded;  // the sending thread is done with the socket
    std::atomic<int> senderResult{0};
    // A reply of each kind was stored and its wait has not taken it yet;
    // under the communication lock. What tells a reply from the wake-up of
    // a connection's end, which may follow it at once.
    bool arrived[4] = {};

    AutoResetEvent &reply(Reply which)
    {
        switch (which) {
        case Reply::Summary:
            return summaryReply;
        case Reply::List:
            return listReply;
        case Reply::Sites:
            return sitesReply;
        case Reply::Control:
            break;
        }
        return controlReply;
    }

    // Under the communication lock.
    void deliver(Reply which)
    {
        arrived[int(which)] = true;
        reply(which).set();
    }

    void end()
    {
        ended = true;
        summaryReply.set();
        listReply.set();
        controlReply.set();
        sitesReply.set();
    }
};

namespace {

// Sending thread results.
constexpr int kSentAll = 0;
constexpr int kWriteFailed = 4;

std::thread startStdThread(std::function<void()> work) { return std::thread(std::move(work)); }

struct RequestMessage {
    int command;
    Connection::Reply reply;
};

RequestMessage messageOf(Connection::Request request)
{
    using Request = Connection::Request;
    using Reply = Connection::Reply;
    switch (request) {
    case Request::Summary:
        return {MSG_SUMMARY, Reply::Summary};
    case Request::ListStart:
        return {MSG_LIST_START, Reply::List};
    case Request::ListNext:
        return {MSG_LIST_NEXT, Reply::List};
    case Request::ListEnd:
        return {MSG_LIST_END, Reply::List};
    case Request::Pause:
        return {MSG_PAUSE, Reply::Control};
    case Request::Release:
        break;
    }
    return {MSG_RELEASE, Reply::Control};
}

} // namespace

Connection::Connection(ConnectionListener *listener, ThreadStarter starter)
    : listener_(listener), startThread_(starter ? std::move(starter) : ThreadStarter(startStdThread))
{
}

Connection::~Connection()
{
    sendDisconnect();
    awaitSenderEnd();
    retireThreads();
}

Connection::OpenResult Connection::connectEndpoint(const QByteArray &address, int port)
{
    // The endpoint is process-global: the last connection's threads must be
    // gone before it is set up again.
    retireThreads();
    std::lock_guard life(lifecycle_);
    if (setupSocket(protocol::kSocketBufferSize, protocol::kSocketBufferSize, port, address.constData())
        != SOCKETCOM_OK) {
        closeSocket();
        return OpenResult::SocketFailed;
    }
    if (connectClientToServer() != SOCKETCOM_OK) {
        closeSocket();
        return OpenResult::NotReachable;
    }
    return OpenResult::Connected;
}

Connection::OpenResult Connection::startThreads()
{
    std::lock_guard life(lifecycle_);
    std::shared_ptr<Session> session;
    try {
        session = std::make_shared<Session>(++generations_);
    } catch (const std::exception &) {
        closeSocket();
        return OpenResult::EventsFailed;
    }
    {
        std::lock_guard endpoint(endpointMutex_);
        endpointOwner_ = session->generation;
    }
    locked([&](ReceivedState &state) {
        state.data = TransferRecord{};
        state.connected = true;
        state.sites = SitesSupport::Unknown;
        state.sitesAsked = 0;
        state.sitesAnswered = 0;
        commands_.clear();
        session_ = session;
    });
    threadsSession_ = session;

    try {
        receiver_ = startThread_([this, session] { receiveLoop(session); });
    } catch (const std::system_error &) {
        locked([&](ReceivedState &state) { state.connected = false; });
        session->end();
        closeSocket();
        return OpenResult::ThreadsFailed;
    }
    try {
        sender_ = startThread_([this, session] {
            sendLoop(session);
            session->senderEnded.set();
        });
    } catch (const std::system_error &) {
        locked([&](ReceivedState &state) { state.connected = false; });
        session->end();
        session->senderEnded.set();
        // The receiving thread waits in a read: ask the library to end the
        // connection, as the sending thread would have, and let the thread
        // end on the library's answer.
        SocketData bye;
        protocol::encodeCommand(MSG_DISCONNECT, bye);
        writeSocketData(&bye);
        if (session->receiverEnded.wait(kReplyTimeout)) {
            receiver_.join();
        } else {
            receiver_.detach();
            closeEndpoint(*session);
        }
        return OpenResult::ThreadsFailed;
    }
    return OpenResult::Connected;
}

void Connection::sendDisconnect()
{
    std::shared_ptr<Session> session = locked([this](ReceivedState &state) {
        state.connected = false;
        state.continuous = false;
        // Whatever was still queued is dropped: the library would end the
        // connection before answering it.
        commands_.replaceAll({MSG_DISCONNECT, 1, 0});
        return std::exchange(session_, nullptr);
    });
    if (!session)
        return;
    session->command.set();
    // Replies can no longer come: nobody waits the full time for one.
    session->summaryReply.set();
    session->listReply.set();
    session->controlReply.set();
    session->sitesReply.set();
}

void Connection::awaitSenderEnd()
{
    std::lock_guard life(lifecycle_);
    if (sender_.joinable())
        sender_.join();
}

bool Connection::isConnected()
{
    return locked([](ReceivedState &state) { return state.connected; });
}

// Under the communication lock.
std::shared_ptr<Connection::Session> Connection::queue(const CommandQueue::Command &command, bool joinSameKind)
{
    if (!state_.connected)
        return nullptr;
    commands_.add(command, joinSameKind);
    return session_;
}

void Connection::send(int command)
{
    std::shared_ptr<Session> session = locked([&](ReceivedState &) { return queue({command, 1, 0}, false); });
    if (session)
        session->command.set();
}

void Connection::sendMore(int command, int copies)
{
    if (copies <= 0)
        return;
    std::shared_ptr<Session> session = locked([&](ReceivedState &) { return queue({command, copies, 0}, true); });
    if (session)
        session->command.set();
}

bool Connection::sendSites(long long sinceIndex, long long &ticket)
{
    std::shared_ptr<Session> session = locked([&](ReceivedState &state) {
        std::shared_ptr<Session> queued = queue({MSG_SITES, 1, sinceIndex}, false);
        if (queued)
            ticket = ++state.sitesAsked;
        return queued;
    });
    if (session)
        session->command.set();
    return session != nullptr;
}

void Connection::setRecordSink(RecordSink sink)
{
    locked([&](ReceivedState &) { recordSink_ = std::move(sink); });
}

void Connection::setSiteSink(SiteSink sink)
{
    locked([&](ReceivedState &) { siteSink_ = std::move(sink); });
}

bool Connection::awaitReply(Reply reply, std::chrono::milliseconds timeout)
{
    std::shared_ptr<Session> session = locked([this](ReceivedState &) { return session_; });
    if (!session)
        return false;
    // A connection that ended wakes every waiter: that is no reply, but a
    // reply stored before the end is one.
    return session->reply(reply).wait(timeout)
           && locked([&](ReceivedState &) { return std::exchange(session->arrived[int(reply)], false); });
}

bool Connection::request(Request request, std::chrono::milliseconds timeout)
{
    const RequestMessage message = messageOf(request);
    send(message.command);
    return awaitReply(message.reply, timeout);
}

bool Connection::isValidAddress(const QByteArray &address)
{
    int octets[4];
    return string2IP4(address.constData(), octets) != 0;
}

bool Connection::awaitReceiverEnd(std::chrono::milliseconds timeout)
{
    std::shared_ptr<Session> session;
    {
        std::lock_guard life(lifecycle_);
        session = threadsSession_;
    }
    return !session || session->receiverEnded.wait(timeout);
}

void Connection::sendLoop(const std::shared_ptr<Session> &session)
{
    for (;;) {
        session->command.wait();
        if (session->ended)
            break;
        // Empty when written at an earlier wake.
        const std::vector<CommandQueue::Command> work = locked([&](ReceivedState &) { return commands_.take(); });
        bool disconnected = false;
        for (const CommandQueue::Command &command : work) {
            if (!CommandQueue::write(command)) {
                locked([&](ReceivedState &state) {
                    if (isCurrent(session.get()))
                        state.connected = false;
                });
                session->senderResult = kWriteFailed;
                return;
            }
            disconnected = command.number == MSG_DISCONNECT;
            if (disconnected)
                break;
        }
        // Only a sent disconnect ends the thread: leaving on a cleared flag
        // alone could leave the library without the disconnect command.
        if (disconnected)
            break;
    }
    session->senderResult = kSentAll;
}

void Connection::receiveLoop(const std::shared_ptr<Session> &session)
{
    SocketData message;
    int code = readSocketData(&message);
    for (;;) {
        bool lost = false;
        bool stop = false;
        locked([&](ReceivedState &state) {
            if (!isCurrent(session.get())) {
                stop = true;
                return;
            }
            if (code != SOCKETCOM_OK) {
                state.connected = false;
                lost = true;
                return;
            }
            const bool wasContinuous = state.continuous;
            const Wake kind = receiveMessage(message.data, state);
            switch (kind) {
            case Wake::SummaryReply:
                session->deliver(Reply::Summary);
                break;
            case Wake::ListReply:
                session->deliver(Reply::List);
                break;
            case Wake::ListRecord:
                if (!recordSink_ || recordSink_(state.data))
                    session->deliver(Reply::List);
                break;
            case Wake::ControlReply:
                session->deliver(Reply::Control);
                break;
            case Wake::Site:
            case Wake::SitesEnd: {
                const bool end = kind == Wake::SitesEnd;
                if (siteSink_ ? siteSink_(state, end) : end)
                    session->deliver(Reply::Sites);
                break;
            }
            case Wake::StatusCall:
                if (listener_)
                    listener_->reportCall(Wake::StatusCall, wasContinuous);
                statusCallEvent_.set();
                break;
            case Wake::ListCall:
                if (listener_)
                    listener_->reportCall(Wake::ListCall, wasContinuous);
                listCallEvent_.set();
                break;
            case Wake::Disconnected:
            case Wake::Nothing:
                break;
            }
        });
        if (stop)
            break;
        if (lost) {
            if (listener_)
                listener_->connectionLost();
            break;
        }
        code = readSocketData(&message);
    }
    // Closed only once the sender has left the socket (its number could be a
    // new socket's by then); the shutdown ends a send stuck on a full peer.
    shutdownEndpoint(*session);
    session->end();
    session->command.set();
    session->senderEnded.wait(kReplyTimeout);
    closeEndpoint(*session);
    session->receiverEnded.set();
}

void Connection::retireThreads()
{
    std::thread sender, receiver;
    std::shared_ptr<Session> session;
    {
        std::lock_guard life(lifecycle_);
        sender = std::move(sender_);
        receiver = std::move(receiver_);
        session = threadsSession_;
    }
    if (sender.joinable()) {
        // Left over only when the connection ended without a disconnect.
        session->end();
        session->command.set();
        sender.join();
    }
    if (!receiver.joinable())
        return;
    if (session->receiverEnded.wait(kReplyTimeout)) {
        receiver.join();
        return;
    }
    // A peer that neither answers nor closes: let the thread go, and take the
    // endpoint away from it so that it cannot close a later one.
    receiver.detach();
    closeEndpoint(*session);
}

void Connection::shutdownEndpoint(const Session &owner)
{
    std::lock_guard endpoint(endpointMutex_);
    if (endpointOwner_ == owner.generation)
        shutdownConnection();
}

void Connection::closeEndpoint(const Session &owner)
{
    std::lock_guard endpoint(endpointMutex_);
    if (endpointOwner_ != owner.generation)
        return;
    closeSocket();
    endpointOwner_ = 0;
}

} // namespace vexal::monitor
