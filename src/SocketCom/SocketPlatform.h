// SPDX-License-Identifier: MIT
// The seam between the socket module and the host's socket interface. The
// module's code is the same on every host; only the header included here
// differs. Each implementation provides, in namespace
// vexal::socketcom::platform:
//
//   Handle, kNoSocket         socket handle type and its "none" value
//   Address                   an IPv4 socket address (a sockaddr_in)
//   kListenBacklog            backlog for listen
//   startNetworking(started)  start the host's socket library: 0, or the
//                             setup codes 1 / 2; `started` says whether
//                             stopNetworking must be called later
//   stopNetworking()          false when the cleanup failed
//   createStreamSocket()      an IPv4 TCP socket, or kNoSocket
//   bindTo, listenOn, acceptFrom, connectTo, closeHandle
//   setNoDelay(handle)        switch off small-segment coalescing
//   sendSome, receiveSome     one send / receive; negative on failure
//   sendAllWithin(h, bytes, n, ms)  all n bytes within ms milliseconds, or false
//   shutdownHandle(handle)    end both directions; blocked calls return
//   lastError(), errorText(n) the thread's last error number and its text
#pragma once

#if defined(_WIN32)
#include "SocketPlatformWindows.h"
#else
#include "SocketPlatformPosix.h"
#endif
