// SPDX-License-Identifier: MIT
#include "WinsockErrorText.h"

namespace vexal::socketcom {

namespace {

struct ErrorText {
    int number;
    const char *text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, "No Error"},
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block."},
    {10036, "Operation now in progress. This error is returned if any Windows Sockets API "
            "function is called while a blocking function is in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on nonsocket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Protocol not available."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down. This error may be reported at any time if the Windows Sockets "
            "implementation detects an underlying failure."},
    {10051, "Network is unreachable."},
    {10052, "Network dropped connection on reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send after socket shutdown."},
    {10059, "Too many references: cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10091, "Returned by WSAStartup(), indicating that the network subsystem is unusable."},
    {10092, "Returned by WSAStartup(), indicating that the Windows Sockets DLL cannot support "
            "this application."},
    {10093, "Winsock not initialized. This message is returned by any function except "
            "WSAStartup(), indicating that a successful WSAStartup() has not yet been performed."},
    {10101, "Disconnect."},
    {11001, "Host not found. This message indicates that the key (name, address, and so on) "
            "was not found."},
    {11002, "Nonauthoritative host not found. This error may suggest that the name service "
            "itself is not functioning."},
    {11003, "Nonrecoverable error. This error may suggest that the name service itself is not "
            "functioning."},
    {11004, "Valid name, no data record of requested type. This error indicates that the key "
            "(name, address, and so on) was not found."},
};

} // namespace

const char *winsockErrorText(int number) noexcept
{
    for (const ErrorText &entry : kErrorTexts) {
        if (entry.number == number)
            return entry.text;
    }
    return "Unknown Error";
}

} // namespace vexal::socketcom
