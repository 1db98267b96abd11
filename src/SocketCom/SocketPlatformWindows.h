// SPDX-License-Identifier: MIT
// Windows Sockets 2.2. As on POSIX, sockets are not inherited by child
// processes (a child must not keep the port).
#pragma once

#include "WinsockErrorText.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace vexal::socketcom::platform {

using Handle = SOCKET;
inline constexpr Handle kNoSocket = INVALID_SOCKET;
using Address = sockaddr_in;
inline constexpr int kListenBacklog = SOMAXCONN;

// Both roles pass an address length of 16 bytes.
static_assert(sizeof(Address) == 16);

// Every endpoint setup starts the socket library, every close cleans it up:
// WSAStartup and WSACleanup count, so the module's references never meet
// the application's own.
inline int startNetworking(bool &started)
{
    started = false;
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 1;
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        ::WSACleanup();  // started all the same: give the reference back
        return 2;
    }
    started = true;
    return 0;
}

inline bool stopNetworking() { return ::WSACleanup() == 0; }

inline Handle createStreamSocket()
{
    const Handle handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle != kNoSocket)
        ::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    return handle;
}

inline bool bindTo(Handle handle, const Address &address)
{
    return ::bind(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

inline bool listenOn(Handle handle) { return ::listen(handle, kListenBacklog) == 0; }

inline Handle acceptFrom(Handle listening, Address &peer)
{
    int length = sizeof peer;
    const Handle handle = ::accept(listening, reinterpret_cast<sockaddr *>(&peer), &length);
    if (handle != kNoSocket)
        ::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    return handle;
}

inline bool connectTo(Handle handle, const Address &address)
{
    return ::connect(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

// Replies are a few hundred bytes and each side waits for the other's answer,
// so Nagle's delay would only add latency. A failure costs speed only.
inline void setNoDelay(Handle handle)
{
    const BOOL on = TRUE;
    ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
}

inline long sendSome(Handle handle, const char *bytes, int length)
{
    const int sent = ::send(handle, bytes, length, 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

inline long receiveSome(Handle handle, char *destination, int capacity)
{
    const int received = ::recv(handle, destination, capacity, 0);
    return received == SOCKET_ERROR ? -1 : received;
}

// Sends everything within `timeoutMs`. Winsock has no non-blocking send per
// call, and switching the socket to non-blocking would fail the receiver's
// blocking read as well: a send timeout bounds each blocking send instead. A
// send that timed out leaves the connection unusable, which ends it anyway.
inline bool sendAllWithin(Handle handle, const char *bytes, int length, int timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    while (length > 0) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        // Set before every send, for what is left of the bound: the option
        // belongs to the socket, and each connection has a new one.
        const DWORD left = static_cast<DWORD>(deadline - now);  // above 0: a timeout of 0 means none
        if (::setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&left), sizeof left) != 0)
            return false;
        const int sent = ::send(handle, bytes, length, 0);
        if (sent == SOCKET_ERROR)
            return false;
        bytes += sent;
        length -= sent;
    }
    return true;
}

// Both directions. Unlike on POSIX, shutdown does not end a send or receive
// another thread is blocked in: those are cancelled. A call that starts
// later fails at once, as the socket is shut down.
inline void shutdownHandle(Handle handle)
{
    ::shutdown(handle, SD_BOTH);
    ::CancelIoEx(reinterpret_cast<HANDLE>(handle), nullptr);
}

inline bool closeHandle(Handle handle) { return ::closesocket(handle) == 0; }

inline int lastError() { return ::WSAGetLastError(); }

inline const char *errorText(int number) { return winsockErrorText(number); }

} // namespace vexal::socketcom::platform
