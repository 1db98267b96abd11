// SPDX-License-Identifier: MIT
// The process's one TCP endpoint: a listening server that accepts one client
// at a time, or a client. Handles and flags are atomic because the sending
// thread reads them while the receiving thread may close the connection.
#include "SocketCom.h"

#include "SocketEndpoint.h"
#include "SocketPlatform.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace vexal::socketcom {

namespace {

using platform::Handle;
using platform::kNoSocket;

std::atomic<Handle> serverSocket{kNoSocket};
std::atomic<Handle> clientSocket{kNoSocket};
std::atomic<int> socketIsCreated{0};
std::atomic<int> connectedWithClient{0};
std::atomic<int> connectedWithServer{0};
// Allocated in the sizes callers ask for; sends go straight from the
// caller's bytes, receives pass through receivingBuffer.
char *sendingBuffer = nullptr;
char *receivingBuffer = nullptr;
int maxSendBufSize = 0;
int maxReceBufSize = 0;
platform::Address serverSocketAddr{};
platform::Address clientSocketAddr{};
MessageAssembler leftOverBytes;
int winsockStarted = 0;
// Where servers listen; all zero: every local address. Set before the
// library's threads start a listen, read by them.
std::atomic<std::uint32_t> listenOctets{0};

void freeBuffers()
{
    std::free(sendingBuffer);
    sendingBuffer = nullptr;
    std::free(receivingBuffer);
    receivingBuffer = nullptr;
}

char *allocateBuffer(int size) { return size > 0 ? static_cast<char *>(std::malloc(size)) : nullptr; }

// An IPv4 address from the low 16 bits of port and four address bytes in
// text order.
platform::Address makeAddress(int port, const unsigned char bytes[4])
{
    platform::Address address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port & 0xFFFF));
    std::memcpy(&address.sin_addr, bytes, 4);
    return address;
}

// Closes the handle in `slot` if open; false when the close failed. The
// handle is forgotten either way: a failed POSIX close has released it too,
// and closing the number again could hit a socket opened since.
bool closeSlot(std::atomic<Handle> &slot)
{
    const Handle handle = slot.exchange(kNoSocket);
    return handle == kNoSocket || platform::closeHandle(handle);
}

// Whatever a previous endpoint left open, for a setup without a close before
// it. Nothing can be reported about these, so failures are ignored.
void releaseEndpoint()
{
    freeBuffers();
    closeSlot(serverSocket);
    closeSlot(clientSocket);
    if (winsockStarted != 0)
        platform::stopNetworking();
    winsockStarted = 0;
}

} // namespace

MessageAssembler &leftOver() noexcept { return leftOverBytes; }

int receiveChunk(char *destination, int capacity, int *length) noexcept
{
    if (destination == nullptr || length == nullptr || receivingBuffer == nullptr)
        return SOCKETCOM_RECEIVE_FAILED;
    const int wanted = capacity < maxReceBufSize ? capacity : maxReceBufSize;
    if (wanted <= 0)
        return SOCKETCOM_RECEIVE_FAILED;
    const long received = platform::receiveSome(clientSocket.load(), receivingBuffer, wanted);
    if (received < 0)
        return SOCKETCOM_RECEIVE_FAILED;
    if (received == 0)
        return SOCKETCOM_PEER_CLOSED;
    *length = static_cast<int>(received);
    std::memcpy(destination, receivingBuffer, static_cast<std::size_t>(received));
    return SOCKETCOM_OK;
}

} // namespace vexal::socketcom

using namespace vexal::socketcom;

extern "C" {

int setupSocket(int sendSize, int receiveSize, int port, const char *ipAddress)
{
    releaseEndpoint();
    socketIsCreated.store(0);
    connectedWithClient.store(0);
    connectedWithServer.store(0);
    serverSocketAddr = platform::Address{};
    clientSocketAddr = platform::Address{};

    bool started = false;
    const int startCode = platform::startNetworking(started);
    if (startCode != SOCKETCOM_OK)
        return startCode;
    winsockStarted = started ? 1 : 0;

    maxSendBufSize = sendSize;
    maxReceBufSize = receiveSize;
    sendingBuffer = allocateBuffer(sendSize);
    receivingBuffer = allocateBuffer(receiveSize);

    const int code = ipAddress != nullptr ? setupClientSocket(port, ipAddress) : setupServerSocket(port);
    if (code != SOCKETCOM_OK)
        return code;
    socketIsCreated.store(1);
    return SOCKETCOM_OK;
}

int setupServerSocket(int port)
{
    leftOverBytes.reset();
    const Handle handle = platform::createStreamSocket();
    if (handle == kNoSocket)
        return SOCKETCOM_CREATE_FAILED;
    serverSocket.store(handle);
    const std::uint32_t octets = listenOctets.load();
    unsigned char listenAddress[4];
    std::memcpy(listenAddress, &octets, 4);
    serverSocketAddr = makeAddress(port, listenAddress);
    if (!platform::bindTo(handle, serverSocketAddr))
        return SOCKETCOM_BIND_FAILED;
    if (!platform::listenOn(handle))
        return SOCKETCOM_LISTEN_FAILED;
    return SOCKETCOM_OK;
}

int setListenAddress(const char *ipAddress)
{
    int octets[4] = {0, 0, 0, 0};
    if (ipAddress != nullptr && ipAddress[0] != '\0' && !string2IP4(ipAddress, octets))
        return 0;
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(octets[i]);
    std::uint32_t packed;
    std::memcpy(&packed, bytes, 4);
    listenOctets.store(packed);
    return 1;
}

int setupClientSocket(int port, const char *ipAddress)
{
    leftOverBytes.reset();
    const Handle handle = platform::createStreamSocket();
    if (handle == kNoSocket)
        return SOCKETCOM_CREATE_FAILED;
    clientSocket.store(handle);
    int octets[4];
    if (!string2IP4(ipAddress, octets))
        return SOCKETCOM_INVALID_ADDRESS;
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(octets[i]);
    serverSocketAddr = makeAddress(port, bytes);
    return SOCKETCOM_OK;
}

int string2IP4(const char *text, int octets[4])
{
    if (text == nullptr || octets == nullptr)
        return 0;
    // The text is read as if one '.' were appended, so every group ends at a
    // dot; past that comes the terminator, which is not a digit.
    const std::size_t n = std::strlen(text);
    auto at = [&](std::size_t i) { return i < n ? text[i] : (i == n ? '.' : '\0'); };

    int parsed[4];
    std::size_t p = 0;
    for (int group = 0; group < 4; ++group) {
        int value = 0;
        int digits = 0;
        while (at(p) != '.') {
            const char c = at(p);
            if (c < '0' || c > '9' || digits == 3)
                return 0;
            value = value * 10 + (c - '0');
            ++digits;
            if (++p > n)
                return 0;
        }
        if (value > 255)
            return 0;
        parsed[group] = value;
        ++p;  // the dot
    }
    // Only the appended dot may end the fourth group.
    if (p <= n)
        return 0;
    std::memcpy(octets, parsed, sizeof parsed);
    return 1;
}

int receiveConnectAttemptFromClient(void)
{
    const Handle handle = platform::acceptFrom(serverSocket.load(), clientSocketAddr);
    if (handle == kNoSocket)
        return SOCKETCOM_ACCEPT_FAILED;
    platform::setNoDelay(handle);
    clientSocket.store(handle);
    connectedWithClient.store(1);
    // One client at a time: stop listening, so that another one is refused
    // at once rather than queued and reset when this connection ends (and a
    // client reconnecting to the same port is not caught by a listener that
    // is about to close).
    closeSlot(serverSocket);
    return SOCKETCOM_OK;
}

int connectClientToServer(void)
{
    // Only a complete client setup has an address worth trying.
    const Handle handle = clientSocket.load();
    if (socketIsCreated.load() == 0 || handle == kNoSocket || !platform::connectTo(handle, serverSocketAddr))
        return SOCKETCOM_CONNECT_FAILED;
    platform::setNoDelay(handle);
    connectedWithServer.store(1);
    return SOCKETCOM_OK;
}

int sendData(const char *bytes, int length)
{
    if (length < 0 || (bytes == nullptr && length > 0))
        return SOCKETCOM_SEND_FAILED;
    if (platform::sendSome(clientSocket.load(), bytes, length) < 0)
        return SOCKETCOM_SEND_FAILED;
    return SOCKETCOM_OK;
}

int sendDataWithin(const char *bytes, int length, int timeoutMs)
{
    if (length < 0 || (bytes == nullptr && length > 0))
        return SOCKETCOM_SEND_FAILED;
    if (!platform::sendAllWithin(clientSocket.load(), bytes, length, timeoutMs))
        return SOCKETCOM_SEND_FAILED;
    return SOCKETCOM_OK;
}

int shutdownConnection(void)
{
    const Handle handle = clientSocket.load();
    if (handle != kNoSocket)
        platform::shutdownHandle(handle);  // fails only when the peer is gone already
    return SOCKETCOM_OK;
}

int receiveData(char *destination, int *length)
{
    return receiveChunk(destination, maxReceBufSize, length);
}

int closeSocket(void)
{
    freeBuffers();
    if (!closeSlot(serverSocket))
        return SOCKETCOM_CLOSE_FAILED;
    connectedWithClient.store(0);
    if (!closeSlot(clientSocket))
        return SOCKETCOM_CLOSE_FAILED;
    connectedWithServer.store(0);
    socketIsCreated.store(0);
    if (winsockStarted != 0) {
        if (!platform::stopNetworking())
            return SOCKETCOM_WINSOCK_CLEANUP_FAILED;
        winsockStarted = 0;
    }
    return SOCKETCOM_OK;
}

int getErrorStatus(void) { return platform::lastError(); }

const char *getErrorMessage(void) { return platform::errorText(platform::lastError()); }

} // extern "C"
