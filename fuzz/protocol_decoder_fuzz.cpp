// SPDX-License-Identifier: MIT
// Fuzz target for the decoding of the library's messages, as the monitor
// receives them. The input is one message area (cut or zero-padded to 1024
// bytes) decoded into a record that holds a pending command and a full-length
// file name.
//
// Checked: nothing is read or written outside the message and the record;
// the file name stays terminated within its field; only the fields of the
// message's number change, and a number outside the protocol changes
// nothing; the pending command is never touched; and what was decoded
// encodes to a message that decodes to the same values.
#include "Protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "protocol_decoder_fuzz: %s\n", what);
        std::abort();
    }
}

bool sameRecord(const TransferRecord &a, const TransferRecord &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vexal::protocol;
    // Exactly sized, so that any read past the area is caught.
    auto message = std::make_unique<char[]>(SOCKETDATA_SIZE);
    std::memset(message.get(), 0, SOCKETDATA_SIZE);
    if (size > 0)
        std::memcpy(message.get(), data, size < SOCKETDATA_SIZE ? size : SOCKETDATA_SIZE);
    const auto &area = *reinterpret_cast<const char(*)[SOCKETDATA_SIZE]>(message.get());

    TransferRecord before;
    std::memset(&before, 0, sizeof before);
    before.command = MSG_LIST_NEXT;
    std::memset(before.fileName, 'x', sizeof before.fileName - 1);
    TransferRecord decoded;
    std::memcpy(&decoded, &before, sizeof decoded);

    const int number = decodeReply(area, decoded);
    check(number == decodeCommand(area), "the number differs between the two decoders");
    check(decoded.command == MSG_LIST_NEXT, "the pending command changed");
    check(std::memchr(decoded.fileName, '\0', sizeof decoded.fileName) != nullptr, "file name not terminated");
    if (!isMessage(number) || number == MSG_DISCONNECT || number == MSG_PAUSE || number == MSG_RELEASE) {
        check(sameRecord(decoded, before), "a message without fields stored data");
        return 0;
    }

    TransferRecord outgoing;
    std::memcpy(&outgoing, &decoded, sizeof outgoing);
    outgoing.command = number;
    SocketData again;
    check(encodeReply(outgoing, again), "a decoded message does not encode");
    check(again.size >= 1 && again.size <= SOCKETDATA_SIZE && again.data[again.size - 1] == '\0',
          "the encoded message is not whole");
    TransferRecord redecoded;
    std::memcpy(&redecoded, &before, sizeof redecoded);
    check(decodeReply(again.data, redecoded) == number, "the number changed on the way back");
    check(sameRecord(redecoded, decoded), "the values changed on the way back");
    return 0;
}
