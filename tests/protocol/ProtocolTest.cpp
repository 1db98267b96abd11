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
enum Carries : unsigned { kNothing = 0, kStatus = 1, kLength = 2, kRecord = 4, kCallSite = 8, kSite = 16, kSitesEnd = 32 };

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
    if (carries & (kRecord | kCallSite | kSite)) {
        std::memcpy(to.fileName, from.fileName, sizeof to.fileName);
        to.line = from.line;
    }
    if (carries & kSite) {
        to.recordType = from.recordType;
        to.firstIndex = from.firstIndex;
        to.lastIndex = from.lastIndex;
    }
    if (carries & (kSite | kSitesEnd)) {
        to.siteBlocks = from.siteBlocks;
        to.siteBytes = from.siteBytes;
    }
    if (carries & kSitesEnd) {
        to.siteCount = from.siteCount;
        to.nextIndex = from.nextIndex;
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
        << r.recordIndex << ' ' << r.threadId << "\nfile '" << r.fileName << "'\nsites " << r.sinceIndex << ' '
        << r.siteBlocks << ' ' << r.siteBytes << ' ' << r.firstIndex << ' ' << r.lastIndex << ' ' << r.siteCount
        << ' ' << r.nextIndex;
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
    r.siteBlocks = r.firstIndex = r.siteCount = lowFirst ? kMin64 : kMax64;
    r.siteBytes = r.lastIndex = r.nextIndex = r.sinceIndex = lowFirst ? kMax64 : kMin64;
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
        {"site with the longest name", MSG_SITES, kSite, withName(record, longest), longest},
        {"site with separators in its name", MSG_SITES, kSite, withName(other, separators), escaped},
        {"sites end, lowest first", MSG_SITES_END, kSitesEnd, record, ""},
        {"sites end, highest first", MSG_SITES_END, kSitesEnd, other, ""},
        {"no message of the protocol", MSG_SITES_END + 1, kNothing, record, ""},
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
        if (c.carries & (kRecord | kCallSite | kSite))
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

TEST(Protocol, TheSitesRequestCarriesItsIndexBoundAndAMissingOrNegativeOneCountsEveryBlock)
{
    for (std::int64_t bound : {std::int64_t{0}, std::int64_t{1}, kMax64}) {
        SocketData wire;
        encodeSitesRequest(bound, wire);
        EXPECT_EQ(decodeCommand(wire.data), MSG_SITES);
        EXPECT_EQ(decodeSitesRequest(wire.data), bound);
    }
    SocketData wire;
    encodeSitesRequest(kMax64, wire);
    EXPECT_EQ(std::string(wire.data, std::size_t(wire.size)), "9\x01" "9223372036854775807\x01" + std::string(1, '\0'));
    encodeCommand(MSG_SITES, wire);
    EXPECT_EQ(decodeSitesRequest(wire.data), 0);
    encodeSitesRequest(-5, wire);
    EXPECT_EQ(decodeSitesRequest(wire.data), 0);
}
