// SPDX-License-Identifier: MIT
// Fuzz target for the message reader. Input: two control bytes, then the byte
// stream as it would come from the peer. The control bytes seed how the
// stream is cut into receives; with the top bit of the first set, chunks up to
// 4 KB go straight into the assembler, larger than any receive can be.
//
// Checked: every message read equals the next 0-terminated piece of the
// stream, however the stream was cut; a message longer than SocketData gives
// 15, a stream ending mid-message 11; a read whose message is already among
// the carried-over bytes receives nothing; sizes stay inside their buffers.
#include "MessageAssembler.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using vexal::socketcom::Assembly;
using vexal::socketcom::MessageAssembler;

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "socketcom_reader_fuzz: %s\n", what);
        std::abort();
    }
}

struct Stream {
    const char *bytes;
    std::size_t size;
    std::size_t delivered = 0;  // handed to the reader so far
    std::uint32_t state;

    // Mostly short chunks, now and then one up to `limit`.
    std::size_t nextLength(std::size_t limit)
    {
        state = state * 1103515245u + 12345u;
        const std::uint32_t r = state >> 8;
        const std::size_t length = (r & 3) == 0 ? r % limit + 1 : r % 16 + 1;
        return length < size - delivered ? length : size - delivered;
    }
};

// Length of the next message of the stream from `at`, end byte included, or
// of the rest when no end byte follows.
std::size_t pieceLength(const Stream &stream, std::size_t at, bool &ended)
{
    const void *end = std::memchr(stream.bytes + at, 0, stream.size - at);
    ended = end != nullptr;
    return ended ? static_cast<std::size_t>(static_cast<const char *>(end) - (stream.bytes + at)) + 1
                 : stream.size - at;
}

void checkBounds(const SocketData &sd, const MessageAssembler &assembler)
{
    check(sd.size >= 0 && sd.size <= SOCKETDATA_SIZE, "message size out of bounds");
    check(assembler.carriedOver() >= 0 && assembler.carriedOver() <= MessageAssembler::leftOverCapacity,
          "carried-over size out of bounds");
}

void checkWholeMessage(const SocketData &sd, const Stream &stream, std::size_t at, std::size_t length)
{
    check(static_cast<std::size_t>(sd.size) == length, "message has the wrong size");
    check(std::memcmp(sd.data, stream.bytes + at, length) == 0, "message differs from the stream");
}

// Through readMessage, with receives no larger than a real one.
void readAsEndpoint(Stream &stream)
{
    MessageAssembler assembler;
    SocketData sd;
    int receives = 0;
    auto receive = [&](char *chunk, int capacity, int *length) {
        ++receives;
        if (stream.delivered == stream.size)
            return static_cast<int>(SOCKETCOM_PEER_CLOSED);
        const std::size_t n = stream.nextLength(static_cast<std::size_t>(capacity));
        std::memcpy(chunk, stream.bytes + stream.delivered, n);
        stream.delivered += n;
        *length = static_cast<int>(n);
        return static_cast<int>(SOCKETCOM_OK);
    };
    for (std::size_t at = 0;;) {
        bool ended = false;
        const std::size_t length = pieceLength(stream, at, ended);
        const bool alreadyCarried =
            std::memchr(stream.bytes + at, 0, stream.delivered - at) != nullptr;
        receives = 0;
        const int code = readMessage(assembler, sd, receive);
        checkBounds(sd, assembler);
        if (at == stream.size) {
            check(code == SOCKETCOM_PEER_CLOSED, "end of stream not reported as closed");
            return;
        }
        if (length > SOCKETDATA_SIZE) {
            check(code == SOCKETCOM_MESSAGE_TOO_LONG, "long message not refused");
            return;
        }
        if (!ended) {
            check(code == SOCKETCOM_PEER_CLOSED, "cut message not reported as closed");
            return;
        }
        check(code == SOCKETCOM_OK, "message not read");
        check(!alreadyCarried || receives == 0, "received although the message was carried over");
        checkWholeMessage(sd, stream, at, length);
        at += length;
    }
}

// Straight into the assembler, with chunks larger than any receive.
void feedDirectly(Stream &stream)
{
    MessageAssembler assembler;
    SocketData sd;
    bool inStep = true;  // no overflow yet, so the stream still lines up
    for (std::size_t at = 0;;) {
        Assembly state = assembler.start(sd);
        while (state == Assembly::needMore && stream.delivered < stream.size) {
            const std::size_t n = stream.nextLength(4096);
            state = assembler.feed(sd, stream.bytes + stream.delivered, static_cast<int>(n));
            stream.delivered += n;
        }
        checkBounds(sd, assembler);
        if (state == Assembly::overflow) {
            inStep = false;
            continue;
        }
        if (state == Assembly::needMore)
            return;
        check(sd.size > 0 && sd.data[sd.size - 1] == '\0', "complete message without end byte");
        check(std::memchr(sd.data, 0, static_cast<std::size_t>(sd.size - 1)) == nullptr,
              "end byte inside a message");
        if (inStep) {
            bool ended = false;
            const std::size_t length = pieceLength(stream, at, ended);
            checkWholeMessage(sd, stream, at, length);
            at += length;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    Stream stream{reinterpret_cast<const char *>(data + 2), size - 2, 0,
                  static_cast<std::uint32_t>(data[0]) << 8 | data[1]};
    if ((data[0] & 0x80) != 0)
        feedDirectly(stream);
    else
        readAsEndpoint(stream);
    return 0;
}
