// SPDX-License-Identifier: MIT
// Raw-socket peers on 127.0.0.1 for driving the process's one endpoint.
#pragma once

#include "SocketCom.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace socketcom_test {

// Each test process takes ports from its own range, derived from its id, so
// that tests run in parallel rarely meet; a taken port is skipped.
inline int nextPort()
{
    static int next = 20000 + static_cast<int>(::getpid() % 1500) * 20;
    return next++;
}

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int handle) : fd(handle) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

inline sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A socket bound to a free loopback port; listening unless told otherwise.
inline int rawBind(int &port, bool listening = true)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        port = nextPort();
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(port);
        if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
            (!listening || ::listen(fd, 5) == 0))
            return fd;
        ::close(fd);
    }
    return -1;
}

inline int rawConnect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sets the module up as a server on a free port (plus `shift`, which only
// changes bits above the low 16) and returns the port, or -1.
inline int moduleServer(int shift = 0)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int port = nextPort();
        const int code = setupSocket(1024, 1024, port + shift, nullptr);
        if (code == SOCKETCOM_OK)
            return port;
        closeSocket();
        if (code != SOCKETCOM_BIND_FAILED)
            return -1;
    }
    return -1;
}

inline bool sendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Up to `count` bytes, fewer if the peer closes first.
inline std::string receiveBytes(int fd, std::size_t count)
{
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < count) {
        const ssize_t got = ::recv(fd, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
        if (got <= 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

// The module's own connected socket: the one open descriptor whose far end is
// (farPort set) or whose near end is (nearPort set) the given loopback port,
// and which is not `exclude`.
inline int findModuleSocket(int nearPort, int farPort, int exclude)
{
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in near{}, far{};
        socklen_t nearLength = sizeof near, farLength = sizeof far;
        if (fd == exclude || ::getsockname(fd, reinterpret_cast<sockaddr *>(&near), &nearLength) != 0 ||
            ::getpeername(fd, reinterpret_cast<sockaddr *>(&far), &farLength) != 0 || near.sin_family != AF_INET)
            continue;
        if ((nearPort == 0 || ntohs(near.sin_port) == nearPort) && (farPort == 0 || ntohs(far.sin_port) == farPort))
            return fd;
    }
    return -1;
}

inline bool noDelayIsSet(int fd)
{
    int on = 0;
    socklen_t length = sizeof on;
    return ::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &length) == 0 && on != 0;
}

// The bytes of a literal, embedded zeros included.
template <std::size_t N>
std::string bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

inline std::string messageOf(const SocketData &sd) { return std::string(sd.data, static_cast<std::size_t>(sd.size)); }

} // namespace socketcom_test
