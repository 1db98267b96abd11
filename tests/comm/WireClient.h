// SPDX-License-Identifier: MIT
// A minimal monitor for tests and benchmarks: raw POSIX sockets on loopback,
// speaking only the wire format (text fields each followed by 0x01, a message
// ends with 0x00). It does not use the socket module, which is the one
// endpoint of the process and belongs to the library under test.
#ifndef VEXAL_WIRE_CLIENT_H
#define VEXAL_WIRE_CLIENT_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vxlwire {

// Ports derived from the process id, below the ephemeral range, so that
// parallel test processes and the clients' own local ports do not collide.
// Each process may use a few consecutive ports, as the library moves to the
// next one for every new listen.
inline int basePort() { return 20000 + static_cast<int>((getpid() * 7) % 12000); }

inline std::string command(int number) { return std::to_string(number) + '\x01' + '\0'; }

struct Message {
    enum Status { Ok, Timeout, Closed, Error } status = Error;
    std::vector<std::string> fields;  // field 0 is the message number

    bool ok() const { return status == Ok; }
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

    // One connect attempt; 0 on success, otherwise the errno (ECONNREFUSED
    // when nobody listens on the port).
    int connectOnce(int port)
    {
        close();
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0)
            return errno;
        if (receiveBuffer_ > 0)  // before connecting: it sets the window offered
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_, sizeof receiveBuffer_);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            const int error = errno;
            close();
            return error;
        }
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        setReceiveTimeout(receiveTimeout_);
        return 0;
    }

    // The library starts listening asynchronously: retry while refused.
    bool connect(int port, std::chrono::milliseconds patience = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const int error = connectOnce(port);
            if (error == 0)
                return true;
            if (error != ECONNREFUSED || std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // A missing reply then fails the read instead of hanging the test.
    void setReceiveTimeout(std::chrono::milliseconds limit)
    {
        receiveTimeout_ = limit;
        if (fd_ < 0)
            return;
        timeval tv{};
        tv.tv_sec = static_cast<time_t>(limit.count() / 1000);
        tv.tv_usec = static_cast<suseconds_t>((limit.count() % 1000) * 1000);
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }

    // A small buffer makes a client that does not read stall the library's
    // writes soon. Applies from the next connect.
    void setReceiveBuffer(int bytes) { receiveBuffer_ = bytes; }

    bool connected() const { return fd_ >= 0; }

    // Writes all bytes with as few sends as the kernel allows.
    bool send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
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
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n > 0) {
                pending_.append(chunk, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || errno == ECONNRESET)
                message.status = Message::Closed;
            else if (errno == EAGAIN || errno == EWOULDBLOCK)
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
        if (fd_ >= 0)
            ::shutdown(fd_, SHUT_RDWR);
    }

    // Drops the connection with a reset instead of an orderly close, as a
    // monitor that crashes or loses its network does.
    void abort()
    {
        if (fd_ >= 0) {
            const linger hard{1, 0};
            ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        }
        close();
    }

    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
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

    int fd_ = -1;
    std::string pending_;
    size_t scanned_ = 0;  // bytes of pending_ already searched for the end byte
    std::chrono::milliseconds receiveTimeout_{15000};
    int receiveBuffer_ = 0;  // 0: the system's default
};

} // namespace vxlwire

#endif
