// SPDX-License-Identifier: MIT
// Raw-socket peers on 127.0.0.1 for driving the process's one endpoint.
#pragma once

#include "RawSocket.h"
#include "SocketCom.h"
#include "TestPlatform.h"
#include "TestPorts.h"

#include <algorithm>
#include <string>
#include <string_view>

#if !defined(_WIN32)
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace socketcom_test {

using vxlsock::Socket;

// Ports from this process's own block; a taken port is skipped.
inline int nextPort()
{
    static int next = 0;
    return vxltest::testPort(next++, 32);
}

struct Fd {
    Socket fd = vxlsock::kNone;
    Fd() = default;
    explicit Fd(Socket handle) : fd(handle) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    bool valid() const { return fd != vxlsock::kNone; }
    void reset()
    {
        if (fd != vxlsock::kNone)
            vxlsock::closeSocket(fd);
        fd = vxlsock::kNone;
    }
};

// A socket bound to a free loopback port; listening unless told otherwise.
inline Socket rawBind(int &port, bool listening = true)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        port = nextPort();
        const Socket fd = vxlsock::bindLoopback(port, listening);
        if (fd != vxlsock::kNone)
            return fd;
    }
    return vxlsock::kNone;
}

inline Socket rawConnect(int port) { return vxlsock::connectLoopback(port); }

inline Socket rawAccept(Socket listener) { return ::accept(listener, nullptr, nullptr); }

using vxlsock::shutdownBoth;

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

inline bool sendAll(Socket fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const long sent = vxlsock::sendSome(fd, bytes.data(), bytes.size());
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Up to `count` bytes, fewer if the peer closes first.
inline std::string receiveBytes(Socket fd, std::size_t count)
{
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < count) {
        const long got = vxlsock::receiveSome(fd, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (got <= 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

#if !defined(_WIN32)
// The module's own connected socket: the one open descriptor whose far end is
// (farPort set) or whose near end is (nearPort set) the given loopback port,
// and which is not `exclude`. Descriptors are small numbers on POSIX only.
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
#endif

// The bytes of a literal, embedded zeros included.
template <std::size_t N>
std::string bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

inline std::string messageOf(const SocketData &sd) { return std::string(sd.data, static_cast<std::size_t>(sd.size)); }

} // namespace socketcom_test
