// SPDX-License-Identifier: MIT
#include "MessageAssembler.h"

#include <cstring>

namespace vexal::socketcom {

namespace {

// Bytes up to and including the first end byte, or all of them.
int messagePart(const char *bytes, int length, bool &ended)
{
    const void *end = std::memchr(bytes, 0, static_cast<std::size_t>(length));
    ended = end != nullptr;
    return ended ? static_cast<int>(static_cast<const char *>(end) - bytes) + 1 : length;
}

} // namespace

// The stream is out of step after this; nothing of it is kept.
Assembly MessageAssembler::overflow(SocketData &sd) noexcept
{
    leftOverSize = 0;
    sd.size = 0;
    return Assembly::overflow;
}

bool MessageAssembler::holdsMessage() const noexcept
{
    return leftOverSize > 0 && std::memchr(leftOverBuffer, 0, static_cast<std::size_t>(leftOverSize)) != nullptr;
}

Assembly MessageAssembler::start(SocketData &sd) noexcept
{
    sd.size = 0;
    if (leftOverSize <= 0) {
        leftOverSize = 0;
        return Assembly::needMore;
    }
    bool ended = false;
    const int taken = messagePart(leftOverBuffer, leftOverSize, ended);
    if (taken > SOCKETDATA_SIZE)
        return overflow(sd);
    std::memcpy(sd.data, leftOverBuffer, static_cast<std::size_t>(taken));
    sd.size = taken;
    leftOverSize -= taken;
    std::memmove(leftOverBuffer, leftOverBuffer + taken, static_cast<std::size_t>(leftOverSize));
    return ended ? Assembly::complete : Assembly::needMore;
}

Assembly MessageAssembler::feed(SocketData &sd, const char *chunk, int length) noexcept
{
    if (sd.size < 0 || sd.size > SOCKETDATA_SIZE)
        return overflow(sd);
    if (length <= 0)
        return Assembly::needMore;
    bool ended = false;
    const int taken = messagePart(chunk, length, ended);
    const int rest = length - taken;
    if (taken > SOCKETDATA_SIZE - sd.size || rest > leftOverCapacity - leftOverSize)
        return overflow(sd);
    std::memcpy(sd.data + sd.size, chunk, static_cast<std::size_t>(taken));
    sd.size += taken;
    std::memcpy(leftOverBuffer + leftOverSize, chunk + taken, static_cast<std::size_t>(rest));
    leftOverSize += rest;
    return ended ? Assembly::complete : Assembly::needMore;
}

} // namespace vexal::socketcom
