// SPDX-License-Identifier: MIT
// The library's communication threads: listen for a monitor, serve its
// commands, send the application's report notices, pause and release.
#include "Communication.h"

#include "SocketCom.h"
#include "TransferRecord.h"
#include "VexalInternal.h"

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <thread>

namespace vexal::comm {
namespace {

// Every wait for an acknowledgement is bounded by this; only the sender's
// wait for new work is not.
constexpr auto kReplyTimeout = std::chrono::milliseconds(10000);
constexpr int kSocketBufferSize = 1024;

// A process-private counting signal with a bounded wait.
class Signal {
public:
    void post()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++count_;
        cond_.notify_one();
    }

    // True when signalled, false when the time ran out.
    bool wait(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cond_.wait_for(lock, limit, [this] { return count_ > 0; }))
            return false;
        --count_;
        return true;
    }

    void reset()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        count_ = 0;
    }

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    int count_ = 0;
};

// Waits a little for `ready` without sleeping. The two threads of a
// connection answer each other within microseconds; putting a thread to
// sleep and waking it costs far more than that on a loaded or virtual host.
template <typename Ready>
bool spinFor(Ready ready)
{
    constexpr auto kSpinTime = std::chrono::microseconds(50);
    const auto until = std::chrono::steady_clock::now() + kSpinTime;
    do {
        if (ready())
            return true;
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < until);
    return ready();
}

// Hands one outgoing message at a time from whoever built it (the receiver
// or an application thread) to the sender, the only writer to the socket.
// Tickets rather than bare counts tie each "sent" to its own message, so a
// wait that once timed out cannot make a later one return early. Counters
// change only under the mutex; they are atomic so that a waiter can watch
// them without it before it goes to sleep.
class Outbox {
public:
    void open()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        posted_ = 0;
        taken_ = 0;
        sent_ = 0;
        open_ = true;
    }

    // After this, deliveries return at once and the sender's take() fails.
    void close()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = false;
        sigNewData_.notify_all();
        sigDataSent_.notify_all();
    }

    // Queues `message`; with waitUntilSent, returns once the sender has
    // written it, the sender is gone, or the time ran out.
    void deliver(const TransferRecord &message, bool waitUntilSent)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!sigDataSent_.wait_for(lock, kReplyTimeout, [this] { return !open_ || taken_ == posted_; }) ||
            !open_)
            return;
        s2c_ = message;
        const std::uint64_t ticket = posted_ + 1;
        posted_ = ticket;
        sigNewData_.notify_one();
        if (!waitUntilSent)
            return;
        lock.unlock();
        if (spinFor([&] { return !open_ || sent_ >= ticket; }))
            return;
        lock.lock();
        sigDataSent_.wait_for(lock, kReplyTimeout, [&] { return !open_ || sent_ >= ticket; });
    }

    // Sender: waits, without limit, for the next message. False once closed.
    bool take(TransferRecord &out)
    {
        spinFor([this] { return !open_ || posted_ > taken_; });
        std::unique_lock<std::mutex> lock(mutex_);
        sigNewData_.wait(lock, [this] { return !open_ || posted_ > taken_; });
        if (!open_)
            return false;
        out = s2c_;
        taken_ = taken_ + 1;
        sigDataSent_.notify_all();  // the slot is free again
        return true;
    }

    void markSent()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        sent_ = sent_ + 1;
        sigDataSent_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable sigNewData_;
    std::condition_variable sigDataSent_;
    TransferRecord s2c_{};
    std::atomic<std::uint64_t> posted_{0}, taken_{0}, sent_{0};
    std::atomic<bool> open_{false};
};

// Connection state. Allocated once and never destroyed: the threads may
// still run while the process exits, and must not meet destroyed objects.
struct State {
    std::mutex launchMutex;
    bool launched = false;             // guarded by launchMutex
    platform::Thread thrLauchThreads;  // guarded by launchMutex
    Outbox outbox;
    Signal sigStatusRequest;
    Signal sigListRequest;
    std::atomic<int> freezeEnabled{0};
    std::atomic<int> sentStatusRequestToClient{0};
    std::atomic<int> sentListRequestToClient{0};
};

State &state()
{
    static State *instance = new State;
    return *instance;
}

void say(const char *format, ...)
{
    if (vxlLog.load(std::memory_order_relaxed) == 0)
        return;
    va_list args;
    va_start(args, format);
    os.write([&](std::FILE *out) { std::vfprintf(out, format, args); });
    va_end(args);
}

void sayReason() { say("\tReason: %s\n", getErrorMessage()); }

// The global lock held on the monitor's behalf. Whoever clears the flag
// gives the lock back, so a hold is released exactly once even when the
// sender (after a failed write) and the receiver (at its end) race for it.
bool holding() { return clientHasEnabledGlobalMutex.load() != 0; }

void takeHold()
{
    mutGlobalData.lock();
    clientHasEnabledGlobalMutex.store(1);
}

void releaseHold()
{
    if (clientHasEnabledGlobalMutex.exchange(0) != 0)
        mutGlobalData.unlock();
}

// Copies a file name into the message field: cut to fit, and without the
// field separator byte, which would split the message's fields.
void copyFileName(char (&field)[TRANSFER_FILENAME_SIZE], const char *file)
{
    std::size_t i = 0;
    for (; file != nullptr && file[i] != '\0' && i < TRANSFER_FILENAME_SIZE - 1; ++i)
        field[i] = file[i] == '\x01' ? '?' : file[i];
    field[i] = '\0';
}

void packStatus(TransferRecord &message)
{
    for (int row = 0; row < TRANSFER_STATUS_ROWS; ++row) {
        message.calls[row] = counts[row].calls;
        message.stillAllocated[row] = counts[row].stillAllocated;
    }
    message.freeFailed = freeFailed;
    message.addressNotStored = addressNotStored;
    message.internalUse = internalUse;
}

void addStatusFields(SocketData &data, const TransferRecord &message)
{
    for (std::int64_t value : message.calls)
        addBigIntSocketData(&data, value);
    for (std::int64_t value : message.stillAllocated)
        addBigIntSocketData(&data, value);
    addBigIntSocketData(&data, message.freeFailed);
    addBigIntSocketData(&data, message.addressNotStored);
    addBigIntSocketData(&data, message.internalUse);
}

int sender()
{
    State &st = state();
    int code = 0;
    TransferRecord message;
    // Not gated on goOnSending: the receiver clears it before it hands over
    // the echo of a disconnect, which must still go out.
    while (st.outbox.take(message)) {
        SocketData data;
        clearSocketData(&data);
        addIntSocketData(&data, message.command);
        switch (message.command) {
        case MSG_DISCONNECT:
            goOnSending.store(0);  // the echo is the last message
            break;
        case MSG_SUMMARY:
        case MSG_LIST_END:
            addStatusFields(data, message);
            break;
        case MSG_LIST_START:
            addIntSocketData(&data, message.listLength);
            break;
        case MSG_LIST_NEXT:
            addIntSocketData(&data, message.recordType);
            addBigIntSocketData(&data, message.recordSize);
            addIntSocketData(&data, message.line);
            addBigIntSocketData(&data, message.address);
            addSocketData(&data, message.fileName);
            addBigIntSocketData(&data, message.recordIndex);
            addIntSocketData(&data, message.threadId);
            break;
        case MSG_PAUSE:
            st.freezeEnabled.store(1);
            break;
        case MSG_RELEASE:
            st.freezeEnabled.store(0);
            break;
        case MSG_SHOW_STATUS:
        case MSG_SHOW_LIST:
            addSocketData(&data, message.fileName);
            addIntSocketData(&data, message.line);
            break;
        default:
            say("Tried to send the invalid command: %d!!!\n", message.command);
            break;
        }
        code = writeSocketData(&data);
        st.outbox.markSent();
        if (code != 0) {
            goOnSending.store(0);
            releaseHold();
        }
        if (code != 0 || message.command == MSG_DISCONNECT)
            break;
    }
    st.outbox.close();  // nobody may wait on a sender that is gone
    return code;
}

// Lets an application thread waiting in VexalShowStatus/VexalShowList go on:
// the monitor has fetched the data, or will not.
void wakeReportWaiters()
{
    State &st = state();
    if (st.sentListRequestToClient.load() != 0)
        st.sigListRequest.post();
    if (st.sentStatusRequestToClient.load() != 0)
        st.sigStatusRequest.post();
}

TransferRecord reply(int command)
{
    TransferRecord message{};
    message.command = command;
    return message;
}

// Serves one command. Returns false when the connection is to end.
bool serve(int command, Link *&cursor, int &lastRecordType)
{
    State &st = state();
    switch (command) {
    case MSG_DISCONNECT:
        goOnSending.store(0);
        // Waiting (bounded) for the echo to go out lets the connection end
        // and the next listen start at once, whatever the monitor does next.
        st.outbox.deliver(reply(MSG_DISCONNECT), true);
        return false;
    case MSG_SUMMARY: {
        // Already held (paused, or a list transfer left without its end):
        // the lock is not recursive, so it is neither taken nor given back.
        const bool took = !holding();
        if (took)
            takeHold();
        TransferRecord message = reply(MSG_SUMMARY);
        packStatus(message);
        st.outbox.deliver(message, true);
        if (took)
            releaseHold();
        break;
    }
    case MSG_LIST_START: {
        if (!holding())
            takeHold();
        TransferRecord message = reply(MSG_LIST_START);
        message.listLength = startAnchor != nullptr ? LinkedListLength(startAnchor) : 0;
        cursor = startAnchor != nullptr ? LinkedListGetFirst(startAnchor) : nullptr;
        st.outbox.deliver(message, true);
        break;
    }
    case MSG_LIST_NEXT: {
        TransferRecord message = reply(MSG_LIST_NEXT);
        // The cursor is only meaningful while the hold keeps the list still.
        if (cursor != nullptr && holding()) {
            const AllocationRecord &rec = *recordOf(cursor);
            message.recordType = rec.type;
            message.recordSize = static_cast<std::int64_t>(rec.size);
            message.line = rec.line;
            message.address = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(rec.address));
            copyFileName(message.fileName, rec.file);
            message.recordIndex = static_cast<std::int64_t>(rec.index);
            message.threadId = static_cast<int>(rec.threadId);
            lastRecordType = rec.type;
            cursor = LinkedListGetNext(cursor);
        } else {
            message.recordType = lastRecordType;
            copyFileName(message.fileName, " Internal Error!!!");
        }
        st.outbox.deliver(message, true);
        break;
    }
    case MSG_LIST_END: {
        if (!holding())
            takeHold();  // the counters are read under the lock in any case
        TransferRecord message = reply(MSG_LIST_END);
        packStatus(message);
        st.outbox.deliver(message, true);
        cursor = nullptr;
        if (st.freezeEnabled.load() == 0)
            releaseHold();
        wakeReportWaiters();
        break;
    }
    case MSG_PAUSE:
        if (!holding())
            takeHold();
        st.outbox.deliver(reply(MSG_PAUSE), true);
        break;
    case MSG_RELEASE:
        st.outbox.deliver(reply(MSG_RELEASE), true);
        cursor = nullptr;
        releaseHold();
        break;
    default:
        say("The command %d is not valid!\n", command);
        break;
    }
    return true;
}

// Ends a connection, whatever ended it: the sender is woken to finish, the
// application never stays stopped, and the next monitor starts unpaused.
void endConnection()
{
    State &st = state();
    goOnSending.store(0);
    st.outbox.deliver(reply(MSG_DISCONNECT), true);
    st.outbox.close();
    releaseHold();
    st.freezeEnabled.store(0);
    wakeReportWaiters();
    closeSocket();
}

int receiver()
{
    Link *cursor = nullptr;
    int lastRecordType = 0;
    SocketData data;
    int code;
    while ((code = readSocketData(&data)) == 0) {
        if (goOnSending.load() == 0) {
            code = 0;
            break;
        }
        char field[kSocketBufferSize];
        extractSocketData(data.data, 0, field);
        if (!serve(string2int(field), cursor, lastRecordType)) {
            code = 0;
            break;
        }
    }
    endConnection();
    return code;
}

void sayBadSetup(int code)
{
    switch (code) {
    case 1: say("Failed to initialize the Windows Socket DLL!\n"); break;
    case 2: say("Socket version not supported!\n"); break;
    case 3: say("Failed to create socket!\n"); break;
    case 4: say("Failed to bind to socket!\n"); break;
    case 5: say("Failed to listen to socket!\n"); break;
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
    st.sigStatusRequest.reset();
    st.sigListRequest.reset();
    goOnSending.store(1);
    platform::Thread thrSender, thrReceiver;
    thrSender.start(sender);
    thrReceiver.start(receiver);
    const bool started = thrSender.started() && thrReceiver.started();
    if (!started) {
        say("Could not launch communication threads towards the client!\n");
        goOnSending.store(0);
        st.outbox.close();
        if (!thrReceiver.started())
            closeSocket();  // a started receiver closes it itself
    }
    thrSender.join();
    thrReceiver.join();
    return started;
}

int launchComThreads()
{
    for (;;) {
        int port = portNumber.load();
        int code = setupSocket(kSocketBufferSize, kSocketBufferSize, port, nullptr);
#if !defined(_WIN32)
        // No address reuse is asked for: each new monitor gets the next port
        // (unless VexalInit chose another port meanwhile).
        portNumber.compare_exchange_strong(port, port + 1);
#endif
        if (code != 0) {
            sayBadSetup(code);
            closeSocket();
            return 1;
        }
        say("Server socket created.\n");
        say("Waits for a client to connect...\n");
        code = receiveConnectAttemptFromClient();
        if (code != 0) {
            if (code == 7)
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

bool launch()
{
    State &st = state();
    std::lock_guard<std::mutex> guard(st.launchMutex);
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
    if (goOnSending.load() == 0)
        return false;
    const bool status = message == MSG_SHOW_STATUS;
    std::atomic<int> &waiting = status ? st.sentStatusRequestToClient : st.sentListRequestToClient;
    waiting.store(1);
    TransferRecord notice = reply(message);
    notice.line = line;
    copyFileName(notice.fileName, file);
    st.outbox.deliver(notice, true);
    mutGlobalData.unlock();
    const bool fetched = (status ? st.sigStatusRequest : st.sigListRequest).wait(kReplyTimeout);
    waiting.store(0);
    if (signalled != nullptr)
        *signalled = fetched;
    return true;
}

} // namespace vexal::comm
