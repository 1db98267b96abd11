// SPDX-License-Identifier: MIT
// Plain TCP sockets on 127.0.0.1 for the tests' own peers, apart from the
// socket module under test (the one endpoint of the process). One definition
// per build: BSD sockets, or Windows Sockets started once for the process,
// so that the module's own start and clean-up never close these.
#ifndef VEXAL_RAW_SOCKET_H
#define VEXAL_RAW_SOCKET_H

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstddef>

namespace vxlsock {

#if defined(_WIN32)

using Socket = SOCKET;
inline const Socket kNone = INVALID_SOCKET;
inline constexpr int kRefused = WSAECONNREFUSED;
inline constexpr int kReset = WSAECONNRESET;
inline constexpr int kAddressInUse = WSAEADDRINUSE;

inline int lastError() { return ::WSAGetLastError(); }
inline bool interrupted() { return false; }
inline bool timedOut() { return lastError() == WSAETIMEDOUT || lastError() == WSAEWOULDBLOCK; }
inline void closeSocket(Socket s) { ::closesocket(s); }

inline Socket openTcp()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : kNone;
}

inline void setReceiveTimeout(Socket s, std::chrono::milliseconds limit)
{
    const DWORD ms = static_cast<DWORD>(limit.count());
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
}

inline long sendSome(Socket s, const char *bytes, std::size_t length)
{
    const int sent = ::send(s, bytes, static_cast<int>(length), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

inline long receiveSome(Socket s, char *buffer, std::size_t capacity)
{
    const int got = ::recv(s, buffer, static_cast<int>(capacity), 0);
    return got == SOCKET_ERROR ? -1 : got;
}

#else

using Socket = int;
inline constexpr Socket kNone = -1;
inline constexpr int kRefused = ECONNREFUSED;
inline constexpr int kReset = ECONNRESET;
inline constexpr int kAddressInUse = EADDRINUSE;

inline int lastError() { return errno; }
inline bool interrupted() { return errno == EINTR; }
inline bool timedOut() { return errno == EAGAIN || errno == EWOULDBLOCK; }
inline void closeSocket(Socket s) { ::close(s); }
inline Socket openTcp() { return ::socket(AF_INET, SOCK_STREAM, 0); }

inline void setReceiveTimeout(Socket s, std::chrono::milliseconds limit)
{
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(limit.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((limit.count() % 1000) * 1000);
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

inline long sendSome(Socket s, const char *bytes, std::size_t length)
{
    return static_cast<long>(::send(s, bytes, length, MSG_NOSIGNAL));
}

inline long receiveSome(Socket s, char *buffer, std::size_t capacity)
{
    return static_cast<long>(::recv(s, buffer, capacity, 0));
}

#endif

// 127.0.0.1, or another loopback address (host order) where a test needs a
// second local address.
inline sockaddr_in loopback(int port, std::uint32_t host = INADDR_LOOPBACK)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(host);
    return address;
}

// A connected socket, or kNone with lastError() telling why. A receive
// buffer size above 0 is set before connecting: it sets the window offered.
inline Socket connectLoopback(int port, int receiveBuffer = 0, std::uint32_t host = INADDR_LOOPBACK)
{
    const Socket s = openTcp();
    if (s == kNone)
        return kNone;
    if (receiveBuffer > 0)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&receiveBuffer), sizeof receiveBuffer);
    const sockaddr_in address = loopback(port, host);
    if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = lastError();
        closeSocket(s);
#if defined(_WIN32)
        ::WSASetLastError(error);
#else
        errno = error;
#endif
        return kNone;
    }
    return s;
}

// A socket bound to 127.0.0.1:port, listening unless told otherwise.
inline Socket bindLoopback(int port, bool listening)
{
    const Socket s = openTcp();
    if (s == kNone)
        return kNone;
    const sockaddr_in address = loopback(port);
    if (::bind(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        (listening && ::listen(s, 5) != 0)) {
        closeSocket(s);
        return kNone;
    }
    return s;
}

inline void setNoDelay(Socket s)
{
    const int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
}

// Ends both directions without closing: a call blocked on it returns.
inline void shutdownBoth(Socket s)
{
#if defined(_WIN32)
    ::shutdown(s, SD_BOTH);
#else
    ::shutdown(s, SHUT_RDWR);
#endif
}

// Closes with a reset instead of an orderly close, as a peer that crashes
// or loses its network does.
inline void abortiveClose(Socket s)
{
    const linger hard{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&hard), sizeof hard);
    closeSocket(s);
}

}  // namespace vxlsock

#endif
