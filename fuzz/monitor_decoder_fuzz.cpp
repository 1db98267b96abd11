// SPDX-License-Identifier: MIT
// Fuzz target for the monitor's decoding of library messages. The input is
// one message area (cut or zero-padded to 1024 bytes) decoded into a
// received state that starts out connected, with continuous summary running
// and a pending command.
//
// Checked: nothing is read or written outside the message and the state;
// the file name stays terminated within its field; only the fields of the
// message's number change, and a number outside the protocol changes
// nothing; the pending command is never touched.
#include "MessageDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using vexal::monitor::decodeMessage;
using vexal::monitor::ReceivedState;
using vexal::monitor::Wake;

namespace {

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "monitor_decoder_fuzz: %s\n", what);
        std::abort();
    }
}

bool sameRecord(const TransferRecord &a, const TransferRecord &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Exactly sized, so that any read past the area is caught.
    auto message = std::make_unique<char[]>(SOCKETDATA_SIZE);
    std::memset(message.get(), 0, SOCKETDATA_SIZE);
    if (size > 0)
        std::memcpy(message.get(), data, size < SOCKETDATA_SIZE ? size : SOCKETDATA_SIZE);

    ReceivedState state;
    state.connected = true;
    state.continuous = true;
    state.data.command = MSG_LIST_NEXT;
    std::memset(state.data.fileName, 'x', sizeof state.data.fileName - 1);
    const ReceivedState before = state;

    const auto &area = *reinterpret_cast<const char(*)[SOCKETDATA_SIZE]>(message.get());
    const Wake wake = decodeMessage(area, state);
    char field[SOCKETDATA_SIZE];
    extractSocketData(message.get(), 0, field);
    const int number = string2int(field);

    check(state.data.command == MSG_LIST_NEXT, "the pending command changed");
    check(std::memchr(state.data.fileName, '\0', sizeof state.data.fileName) != nullptr, "file name not terminated");
    check(state.statusCall.file.size() < static_cast<qsizetype>(sizeof state.data.fileName), "status call site too long");
    check(state.listCall.file.size() < static_cast<qsizetype>(sizeof state.data.fileName), "list call site too long");
    if (number < MSG_DISCONNECT || number > MSG_SHOW_LIST) {
        check(wake == Wake::Nothing, "an unknown number woke someone");
        check(sameRecord(state.data, before.data) && state.connected && state.continuous, "an unknown number changed the state");
    }
    if (number != MSG_DISCONNECT && number != MSG_SHOW_STATUS && number != MSG_SHOW_LIST)
        check(state.connected && state.continuous, "the flags changed");
    if (number == MSG_PAUSE || number == MSG_RELEASE)
        check(sameRecord(state.data, before.data), "an acknowledgement stored data");
    return 0;
}
