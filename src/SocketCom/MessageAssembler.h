// SPDX-License-Identifier: MIT
// Cuts whole messages out of the received byte stream. Pure byte handling,
// no sockets: readSocketData feeds it from the endpoint, the fuzz target from
// its input. Bytes received past a message's end byte are carried over to
// the next message.
#pragma once

#include "SocketCom.h"

namespace vexal::socketcom {

enum class Assembly {
    complete,  // sd holds one message, its end byte last
    needMore,  // sd holds the start of a message; feed the next chunk
    overflow,  // the message or the carried-over bytes would not fit
};

class MessageAssembler {
public:
    static constexpr int leftOverCapacity = 2048;

    // Forgets carried-over bytes; a new connection starts clean.
    void reset() noexcept { leftOverSize = 0; }

    int carriedOver() const noexcept { return leftOverSize; }

    // Whether the carried-over bytes already hold a whole message, which
    // start() then returns without another receive.
    bool holdsMessage() const noexcept;

    // Begins a message in sd (its size becomes 0) from the carried-over bytes,
    // up to and including the first end byte among them.
    Assembly start(SocketData &sd) noexcept;

    // Appends one received chunk to the message begun by start(). Bytes after
    // the first end byte of the chunk are carried over.
    Assembly feed(SocketData &sd, const char *chunk, int length) noexcept;

private:
    Assembly overflow(SocketData &sd) noexcept;

    char leftOverBuffer[leftOverCapacity];
    int leftOverSize = 0;
};

// One whole message into sd. `receive(chunk, capacity, &length)` returns a
// status code and stores the count of bytes it put into chunk; it is called
// only while the carried-over bytes hold no complete message.
template <typename Receive>
int readMessage(MessageAssembler &assembler, SocketData &sd, Receive &&receive)
{
    char chunk[SOCKETDATA_SIZE];
    Assembly state = assembler.start(sd);
    while (state == Assembly::needMore) {
        int length = 0;
        const int code = receive(chunk, static_cast<int>(sizeof chunk), &length);
        if (code != SOCKETCOM_OK)
            return code;
        if (length < 0)
            return SOCKETCOM_NEGATIVE_LENGTH;
        if (length > static_cast<int>(sizeof chunk))
            return SOCKETCOM_MESSAGE_TOO_LONG;
        state = assembler.feed(sd, chunk, length);
    }
    return state == Assembly::complete ? SOCKETCOM_OK : SOCKETCOM_MESSAGE_TOO_LONG;
}

} // namespace vexal::socketcom
