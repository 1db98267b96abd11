// SPDX-License-Identifier: MIT
// The conversation between the library and its monitor, one module for both
// sides: the limits they share and, for each message, the one description of
// the fields it carries that both its encoder and its decoder follow. Bytes
// in and out, no sockets: the library's threads, the monitor's connection and
// the fuzz targets use the same code.
//
// The monitor sends commands 0 to 6, each its number alone, and 9 with an
// index bound. The library answers a command with a message that repeats the
// number and carries the data after it (9: one message per call site, then
// 10 with the totals), and sends the notices 7 and 8 on its own
// (TransferRecord.h names the numbers).
#pragma once

#include "SocketCom.h"
#include "TransferRecord.h"

#include <chrono>
#include <cstdint>

namespace vexal::protocol {

// Where the library listens when the application asks for the default port.
inline constexpr int kDefaultPort = 5913;
// Every wait for a reply or an acknowledgement is bounded by this, on both
// sides.
inline constexpr std::chrono::milliseconds kReplyTimeout{10000};
// Each side's send and receive buffer: one message area.
inline constexpr int kSocketBufferSize = SOCKETDATA_SIZE;

constexpr bool isMessage(int number) { return number >= MSG_DISCONNECT && number <= MSG_SITES_END; }

// A command of the monitor: its number alone.
void encodeCommand(int command, SocketData &out);
// The number in field 0 of `bytes`; a message without fields reads as 0.
int decodeCommand(const char (&bytes)[SOCKETDATA_SIZE]);

// The request for the leak sites (9): only blocks with an index of
// `sinceIndex` or more are counted.
void encodeSitesRequest(std::int64_t sinceIndex, SocketData &out);
// Its bound; a request without one (or with a negative one) counts every block.
std::int64_t decodeSitesRequest(const char (&bytes)[SOCKETDATA_SIZE]);

// A message of the library (a reply, the echo of 0, or a notice 7 or 8):
// message.command and the fields its number carries. A number outside the
// protocol goes out alone; the result is false then.
bool encodeReply(const TransferRecord &message, SocketData &out);
// Reads a message of the library into `into`: only the fields its number
// carries are written, `command` never (the monitor keeps its pending command
// there). Returns the number; one outside the protocol changes nothing.
int decodeReply(const char (&bytes)[SOCKETDATA_SIZE], TransferRecord &into);

// A file name as a message carries it: cut to fit the field with its end
// byte; a null name is empty.
void copyFileName(char (&field)[TRANSFER_FILENAME_SIZE], const char *file);

} // namespace vexal::protocol
