// SPDX-License-Identifier: MIT
// A minimal monitor for tests and benchmarks: raw sockets on loopback,
// speaking only the wire format (text fields each followed by 0x01, a message
// ends with 0x00). It does not use the socket module, which is the one
// endpoint of the process and belongs to the library under test.
#ifndef VEXAL_WIRE_CLIENT_H
#define VEXAL_WIRE_CLIENT_H

#include "RawSocket.h"
#include "TestPlatform.h"
#include "TestPorts.h"

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vxlwire {

// The first of this process's own ports (see TestPorts.h); the library moves
// to the next one for every new listen.
inline int basePort() { return vxltest::testPort(0, 8); }

inline std::string command(int number) { return std::to_string(number) + '\x01' + '\0'; }

struct Message {
    enum Status { Ok, Timeout, Closed, Error } status = Error;
    std::vector<std::string> fields;  // field 0 is the message number

    bool ok() const { return status == Ok; }
    const char *statusName() const
    {
        static const char *const names[] = {"a message", "nothing within the receive time-out",
                                            "the connection closed", "a receive error"};
        return names[status];
    }
    const std::string &number() const
    {
        static const std::string none;
        return fields.empty() ? none : fields[0];
    }
};

class WireClient {
public:
    WireClient() = default;
    WireClient(const WireClient &) = delete;
    WireClient &operator=(const WireClient &) = delete;
    ~WireClient() { close(); }

    // One connect attempt; 0 on success, otherwise the socket error
    // (vxlsock::kRefused when nobody listens on the port).
    int connectOnce(int port, std::uint32_t host = INADDR_LOOPBACK)
    {
        close();
        fd_ = vxlsock::connectLoopback(port, receiveBuffer_, host);
        if (fd_ == vxlsock::kNone)
            return vxlsock::lastError();
        vxlsock::setNoDelay(fd_);
        setReceiveTimeout(receiveTimeout_);
        return 0;
    }

    // The library starts listening asynchronously: retry while refused.
    bool connect(int port, std::chrono::milliseconds patience = std::chrono::seconds(10),
                 std::uint32_t host = INADDR_LOOPBACK)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const int error = connectOnce(port, host);
            if (error == 0)
                return true;
            if (error != vxlsock::kRefused || std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // A missing reply then fails the read instead of hanging the test.
    void setReceiveTimeout(std::chrono::milliseconds limit)
    {
        receiveTimeout_ = limit;
        if (fd_ != vxlsock::kNone)
            vxlsock::setReceiveTimeout(fd_, limit);
    }

    // A small buffer makes a client that does not read stall the library's
    // writes soon. Applies from the next connect.
    void setReceiveBuffer(int bytes) { receiveBuffer_ = bytes; }

    bool connected() const { return fd_ != vxlsock::kNone; }

    // Writes all bytes with as few sends as the kernel allows.
    bool send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const long n = vxlsock::sendSome(fd_, bytes.data(), bytes.size());
            if (n < 0 && vxlsock::interrupted())
                continue;
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

    bool sendCommand(int number) { return send(command(number)); }

    // The next whole message; bytes of later messages are kept for later reads.
    Message read()
    {
        Message message;
        for (;;) {
            const size_t end = pending_.find('\0', scanned_);
            if (end != std::string::npos) {
                split(std::string_view(pending_).substr(0, end), message.fields);
                pending_.erase(0, end + 1);
                scanned_ = 0;
                message.status = Message::Ok;
                return message;
            }
            scanned_ = pending_.size();
            char chunk[4096];
            const long n = vxlsock::receiveSome(fd_, chunk, sizeof chunk);
            if (n > 0) {
                pending_.append(chunk, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && vxlsock::interrupted())
                continue;
            if (n == 0 || vxlsock::lastError() == vxlsock::kReset)
                message.status = Message::Closed;
            else if (vxlsock::timedOut())
                message.status = Message::Timeout;
            else
                message.status = Message::Error;
            return message;
        }
    }

    // Reads until the library ends the connection; false on a timeout.
    bool waitForClose()
    {
        for (;;) {
            const Message message = read();
            if (message.status == Message::Closed)
                return true;
            if (!message.ok())
                return false;
        }
    }

    // Ends both directions without closing the socket: a send or receive
    // another thread is blocked in returns.
    void interrupt()
    {
        if (fd_ != vxlsock::kNone)
            vxlsock::shutdownBoth(fd_);
    }

    // Drops the connection with a reset instead of an orderly close, as a
    // monitor that crashes or loses its network does.
    void abort()
    {
        if (fd_ != vxlsock::kNone)
            vxlsock::abortiveClose(fd_);
        fd_ = vxlsock::kNone;
        close();
    }

    void close()
    {
        if (fd_ != vxlsock::kNone)
            vxlsock::closeSocket(fd_);
        fd_ = vxlsock::kNone;
        pending_.clear();
        scanned_ = 0;
    }

private:
    // Every field is closed by 0x01; text after the last 0x01 would be a
    // broken message and is kept as a last field so that a test sees it.
    static void split(std::string_view bytes, std::vector<std::string> &fields)
    {
        while (!bytes.empty()) {
            const size_t separator = bytes.find('\x01');
            fields.emplace_back(bytes.substr(0, separator));
            if (separator == std::string_view::npos)
                break;
            bytes.remove_prefix(separator + 1);
        }
    }

    vxlsock::Socket fd_ = vxlsock::kNone;
    std::string pending_;
    size_t scanned_ = 0;  // bytes of pending_ already searched for the end byte
    std::chrono::milliseconds receiveTimeout_{15000};
    int receiveBuffer_ = 0;  // 0: the system's default
};

} // namespace vxlwire

#endif
