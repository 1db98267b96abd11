// SPDX-License-Identifier: MIT
// The protocol both sides speak: every message of the library decodes to the
// values it was encoded from, at the extremes of their widths, and writes no
// field it does not carry; the monitor's commands are their number alone.
#include "Protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace vexal::protocol;

namespace {

constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr int kMin32 = std::numeric_limits<int>::min();
constexpr int kMax32 = std::numeric_limits<int>::max();

// What a message carries after its number.
enum Carries : unsigned { kNothing = 0, kStatus = 1, kLength = 2, kRecord = 4, kCallSite = 8 };

// A record none of whose fields a decoder would write by chance.
TransferRecord untouched()
{
    TransferRecord r;
    std::memset(&r, 0x5a, sizeof r);
    r.fileName[sizeof r.fileName - 1] = '\0';
    return r;
}

// Every status value different, and each width's extremes among them.
TransferRecord withStatus(TransferRecord r)
{
    std::int64_t i = 0;
    auto next = [&i] { const std::int64_t v = i % 2 == 0 ? kMax64 - i : kMin64 + (i - 1); ++i; return v; };
    for (std::int64_t &v : r.calls)
        v = next();
    for (std::int64_t &v : r.stillAllocated)
        v = next();
    r.freeFailed = next();
    r.addressNotStored = next();
    r.internalUse = next();
    return r;
}

TransferRecord withName(TransferRecord r, const std::string &name)
{
    copyFileName(r.fileName, name.c_str());
    return r;
}

void copyCarried(unsigned carries, const TransferRecord &from, TransferRecord &to)
{
    if (carries & kStatus) {
        std::memcpy(to.calls, from.calls, sizeof to.calls);
        std::memcpy(to.stillAllocated, from.stillAllocated, sizeof to.stillAllocated);
        to.freeFailed = from.freeFailed;
        to.addressNotStored = from.addressNotStored;
        to.internalUse = from.internalUse;
    }
    if (carries & kLength)
        to.listLength = from.listLength;
    if (carries & kRecord) {
        to.recordType = from.recordType;
        to.recordSize = from.recordSize;
        to.address = from.address;
        to.recordIndex = from.recordIndex;
        to.threadId = from.threadId;
    }
    if (carries & (kRecord | kCallSite)) {
        std::memcpy(to.fileName, from.fileName, sizeof to.fileName);
        to.line = from.line;
    }
}

std::string described(const TransferRecord &r)
{
    std::ostringstream out;
    out << "command " << r.command << "\nstatus";
    for (std::int64_t v : r.calls)
        out << ' ' << v;
    for (std::int64_t v : r.stillAllocated)
        out << ' ' << v;
    out << ' ' << r.freeFailed << ' ' << r.addressNotStored << ' ' << r.internalUse << "\nlength " << r.listLength
        << "\nrecord " << r.recordType << ' ' << r.recordSize << ' ' << r.line << ' ' << r.address << ' '
        << r.recordIndex << ' ' << r.threadId << "\nfile '" << r.fileName << "'";
    return out.str();
}

struct Case {
    const char *what;
    int number;
    unsigned carries;
    TransferRecord sent;
    std::string arrives;  // the file name as the monitor gets it
};

// The status values of withStatus; every other field at one end of its width
// or the other.
TransferRecord withExtremes(bool lowFirst)
{
    TransferRecord r = withStatus(untouched());
    r.listLength = r.recordType = r.threadId = lowFirst ? kMin32 : kMax32;
    r.line = lowFirst ? kMax32 : kMin32;
    r.recordSize = r.recordIndex = lowFirst ? kMax64 : kMin64;
    r.address = lowFirst ? kMin64 : kMax64;
    return r;
}

std::vector<Case> everyMessage()
{
    const TransferRecord record = withExtremes(true);
    const TransferRecord other = withExtremes(false);
    const std::string longest = std::string(TRANSFER_FILENAME_SIZE - 2, 'f') + 'z';
    const std::string separators = "/src/\x01lib\x01.c";
    const std::string escaped = "/src/?lib?.c";

    return {
        {"disconnect echo", MSG_DISCONNECT, kNothing, record, ""},
        {"summary reply", MSG_SUMMARY, kStatus, record, ""},
        {"list start, lowest length", MSG_LIST_START, kLength, record, ""},
        {"list start, highest length", MSG_LIST_START, kLength, other, ""},
        {"record with the longest name", MSG_LIST_NEXT, kRecord, withName(record, longest), longest},
        {"record with a name too long", MSG_LIST_NEXT, kRecord, withName(other, longest + "cut"), longest},
        {"record with separators in its name", MSG_LIST_NEXT, kRecord, withName(other, separators), escaped},
        {"list end reply", MSG_LIST_END, kStatus, record, ""},
        {"pause acknowledgement", MSG_PAUSE, kNothing, record, ""},
        {"release acknowledgement", MSG_RELEASE, kNothing, record, ""},
        {"status notice", MSG_SHOW_STATUS, kCallSite, withName(record, separators), escaped},
        {"list notice", MSG_SHOW_LIST, kCallSite, withName(other, longest), longest},
        {"no message of the protocol", 9, kNothing, record, ""},
    };
}

} // namespace

TEST(Protocol, EveryLibraryMessageDecodesToWhatItCarriedAndWritesNothingElse)
{
    for (Case c : everyMessage()) {
        SCOPED_TRACE(c.what);
        c.sent.command = c.number;
        SocketData wire;
        EXPECT_EQ(encodeReply(c.sent, wire), isMessage(c.number));
        ASSERT_EQ(wire.data[wire.size - 1], '\0');

        TransferRecord decoded = untouched();
        decoded.command = MSG_LIST_NEXT;  // the monitor's pending command stays
        TransferRecord expected = decoded;
        copyCarried(c.carries, c.sent, expected);
        if (c.carries & (kRecord | kCallSite))
            copyFileName(expected.fileName, c.arrives.c_str());

        EXPECT_EQ(decodeReply(wire.data, decoded), c.number);
        EXPECT_EQ(described(decoded), described(expected));
    }
}

TEST(Protocol, CommandsAreTheirNumberAlone)
{
    for (int command = MSG_DISCONNECT; command <= MSG_RELEASE; ++command) {
        SocketData wire;
        encodeCommand(command, wire);
        const std::string alone{char('0' + command), '\x01', '\0'};
        EXPECT_EQ(std::string(wire.data, std::size_t(wire.size)), alone);
        EXPECT_EQ(decodeCommand(wire.data), command);
    }
}
