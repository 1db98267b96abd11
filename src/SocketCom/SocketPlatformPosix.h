// SPDX-License-Identifier: MIT
// BSD sockets. Small deviations from plain calls, all to keep a tracked
// application healthy: sockets are close-on-exec (a child process must not
// keep the port), sends never raise SIGPIPE (a vanished monitor must not kill
// the application), and a call interrupted by a signal before it moved any
// data is repeated instead of breaking the connection.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace vexal::socketcom::platform {

using Handle = int;
inline constexpr Handle kNoSocket = -1;
using Address = sockaddr_in;
inline constexpr int kListenBacklog = 5;

// Both roles pass an address length of 16 bytes.
static_assert(sizeof(Address) == 16);

inline int startNetworking(bool &started)
{
    started = false;
    return 0;
}

inline bool stopNetworking() { return true; }

inline Handle createStreamSocket()
{
#if defined(SOCK_CLOEXEC)
    Handle handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
    Handle handle = ::socket(AF_INET, SOCK_STREAM, 0);
    if (handle >= 0)
        ::fcntl(handle, F_SETFD, FD_CLOEXEC);
#endif
#if defined(SO_NOSIGPIPE)
    if (handle >= 0) {
        int on = 1;
        ::setsockopt(handle, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
    }
#endif
    return handle;
}

// Only servers bind. A connection the server closed first lingers on its port
// for a minute (TIME_WAIT); without SO_REUSEADDR an application restarted on
// that port could not listen until then. A port someone listens on stays
// refused all the same.
inline bool bindTo(Handle handle, const Address &address)
{
    const int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return ::bind(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

inline bool listenOn(Handle handle) { return ::listen(handle, kListenBacklog) == 0; }

inline Handle acceptFrom(Handle listening, Address &peer)
{
    for (;;) {
        socklen_t length = sizeof peer;
#if defined(SOCK_CLOEXEC) && defined(__linux__)
        Handle handle = ::accept4(listening, reinterpret_cast<sockaddr *>(&peer), &length, SOCK_CLOEXEC);
#else
        Handle handle = ::accept(listening, reinterpret_cast<sockaddr *>(&peer), &length);
        if (handle >= 0)
            ::fcntl(handle, F_SETFD, FD_CLOEXEC);
#endif
        if (handle >= 0 || errno != EINTR)
            return handle < 0 ? kNoSocket : handle;
    }
}

// Not repeated on EINTR: the connection attempt goes on in the background and
// a second connect would fail anyway.
inline bool connectTo(Handle handle, const Address &address)
{
    return ::connect(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

// Replies are a few hundred bytes and each side waits for the other's answer,
// so Nagle's delay would only add latency. A failure costs speed, not
// correctness, and is ignored.
inline void setNoDelay(Handle handle)
{
    int on = 1;
    ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

inline long sendSome(Handle handle, const char *bytes, int length)
{
#if defined(MSG_NOSIGNAL)
    constexpr int flags = MSG_NOSIGNAL;
#else
    constexpr int flags = 0;
#endif
    for (;;) {
        ssize_t sent = ::send(handle, bytes, static_cast<size_t>(length), flags);
        if (sent >= 0 || errno != EINTR)
            return static_cast<long>(sent);
    }
}

// Sends everything within `timeoutMs`: first without waiting, which is all a
// reply usually needs, then waiting for room as long as time is left.
inline bool sendAllWithin(Handle handle, const char *bytes, int length, int timeoutMs)
{
#if defined(MSG_NOSIGNAL)
    constexpr int flags = MSG_NOSIGNAL | MSG_DONTWAIT;
#else
    constexpr int flags = MSG_DONTWAIT;
#endif
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const long long deadline = now.tv_sec * 1000LL + now.tv_nsec / 1000000 + timeoutMs;
    while (length > 0) {
        const ssize_t sent = ::send(handle, bytes, static_cast<size_t>(length), flags);
        if (sent > 0) {
            bytes += sent;
            length -= static_cast<int>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long long left = deadline - (now.tv_sec * 1000LL + now.tv_nsec / 1000000);
        if (left <= 0)
            return false;
        pollfd writable{handle, POLLOUT, 0};
        if (::poll(&writable, 1, static_cast<int>(left)) < 0 && errno != EINTR)
            return false;
    }
    return true;
}

// Both directions; a thread blocked on the socket returns at once.
inline void shutdownHandle(Handle handle) { ::shutdown(handle, SHUT_RDWR); }

inline long receiveSome(Handle handle, char *destination, int capacity)
{
    for (;;) {
        ssize_t received = ::recv(handle, destination, static_cast<size_t>(capacity), 0);
        if (received >= 0 || errno != EINTR)
            return static_cast<long>(received);
    }
}

inline bool closeHandle(Handle handle) { return ::close(handle) == 0; }

inline int lastError() { return errno; }

namespace detail {
// strerror_r comes in two flavours; overloading on its result picks the one
// the C library has.
inline const char *chosenText(int result, const char *buffer)
{
    return result == 0 ? buffer : "Unknown error";
}
inline const char *chosenText(const char *text, const char *) { return text; }
} // namespace detail

// strerror itself may share one buffer between threads.
inline const char *errorText(int number)
{
    thread_local char buffer[256];
    buffer[0] = '\0';
    return detail::chosenText(::strerror_r(number, buffer, sizeof buffer), buffer);
}

} // namespace vexal::socketcom::platform
