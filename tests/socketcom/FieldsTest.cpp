// SPDX-License-Identifier: MIT
#include "SocketCom.h"

#include "LoopbackPeer.h"
#include "WinsockErrorText.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

extern "C" int socketComBuildFromC(SocketData *sd, char *secondField);

using socketcom_test::bytes;
using socketcom_test::messageOf;

namespace {

SocketData example()
{
    SocketData sd;
    clearSocketData(&sd);
    addSocketData(&sd, "1");
    addSocketData(&sd, "42");
    return sd;
}

std::string field(const char *bytes, int index)
{
    char out[SOCKETDATA_SIZE];
    std::memset(out, 'Z', sizeof out);
    extractSocketData(bytes, index, out);
    return out;
}

} // namespace

TEST(MessageBuilding, FieldsAreTextEachClosedBySeparatorThenEndByte)
{
    SocketData sd;
    clearSocketData(&sd);
    EXPECT_EQ(messageOf(sd), bytes("\0"));
    EXPECT_EQ(addSocketData(&sd, "1"), 1);
    EXPECT_EQ(addSocketData(&sd, "42"), 2);
    EXPECT_EQ(messageOf(sd), bytes("\x31\x01\x34\x32\x01\x00"));

    clearSocketData(&sd);
    addIntSocketData(&sd, INT_MIN);
    addBigIntSocketData(&sd, LLONG_MIN);
    addBigIntSocketData(&sd, LLONG_MAX);
    addSocketData(&sd, "");
    EXPECT_EQ(messageOf(sd), bytes("-2147483648\x01-9223372036854775808\x01"
                                   "9223372036854775807\x01\x01\x00"));
}

TEST(MessageBuilding, FieldThatWouldPassTheBufferLeavesMessageUnchanged)
{
    SocketData sd;
    clearSocketData(&sd);
    EXPECT_EQ(addSocketData(&sd, std::string(SOCKETDATA_SIZE - 1, 'a').c_str()), -1);
    EXPECT_EQ(sd.size, 1);
    EXPECT_EQ(addSocketData(&sd, std::string(SOCKETDATA_SIZE - 2, 'a').c_str()), SOCKETDATA_SIZE - 2);
    EXPECT_EQ(sd.size, SOCKETDATA_SIZE);
    EXPECT_EQ(sd.data[SOCKETDATA_SIZE - 1], '\0');
    const SocketData full = sd;
    EXPECT_EQ(addSocketData(&sd, ""), -1);
    EXPECT_EQ(addIntSocketData(&sd, 7), -1);
    EXPECT_EQ(std::memcmp(&sd, &full, sizeof sd), 0);

    // Small fields up to the limit: every one that was accepted reads back.
    clearSocketData(&sd);
    int accepted = 0;
    while (addIntSocketData(&sd, accepted) >= 0)
        ++accepted;
    EXPECT_LE(sd.size, SOCKETDATA_SIZE);
    EXPECT_GT(sd.size, SOCKETDATA_SIZE - 5);
    for (int i = 0; i < accepted; ++i)
        ASSERT_EQ(string2int(field(sd.data, i).c_str()), i);
    EXPECT_EQ(field(sd.data, accepted), "");

    for (int broken : {0, -3, SOCKETDATA_SIZE + 1}) {
        sd.size = broken;
        EXPECT_EQ(addSocketData(&sd, "x"), -1);
        EXPECT_EQ(sd.size, broken);
    }
}

TEST(MessageExtraction, MissingNegativeOrUnclosedFieldsReadAsEmpty)
{
    const SocketData sd = example();
    EXPECT_EQ(field(sd.data, 0), "1");
    EXPECT_EQ(field(sd.data, 1), "42");
    EXPECT_EQ(field(sd.data, 2), "");
    EXPECT_EQ(field(sd.data, 9), "");
    EXPECT_EQ(field(sd.data, -1), "");
    EXPECT_EQ(field(sd.data, INT_MAX), "");
    EXPECT_EQ(field("ab\0\x01", 0), "");
    EXPECT_EQ(field("ab\x01" "cd\0\x01", 1), "");
    EXPECT_EQ(field("\x01\x01x\x01", 1), "");
    EXPECT_EQ(field("\x01\x01x\x01", 2), "x");
}

TEST(MessageExtraction, NeverReadsOrWritesPastTheMessageBuffer)
{
    // Exactly sized heap blocks, so that the address sanitizer sees any step
    // past them.
    auto bytes = std::make_unique<char[]>(SOCKETDATA_SIZE);
    auto out = std::make_unique<char[]>(SOCKETDATA_SIZE);
    std::memset(bytes.get(), 'a', SOCKETDATA_SIZE);
    extractSocketData(bytes.get(), 0, out.get());
    EXPECT_STREQ(out.get(), "");

    bytes[SOCKETDATA_SIZE - 1] = '\x01';
    extractSocketData(bytes.get(), 0, out.get());
    EXPECT_EQ(std::strlen(out.get()), static_cast<std::size_t>(SOCKETDATA_SIZE - 1));
    extractSocketData(bytes.get(), 1, out.get());
    EXPECT_STREQ(out.get(), "");
}

TEST(NumberText, DecimalConversionSkipsBlanksStopsAtNonDigitsAndSaturates)
{
    char text[SOCKETCOM_BIGINT_TEXT_SIZE];
    for (int value : {0, -1, 42, INT_MAX, INT_MIN}) {
        int2string(text, value);
        EXPECT_EQ(string2int(text), value) << text;
    }
    for (long long value : {0LL, -7LL, LLONG_MAX, LLONG_MIN}) {
        bigint2string(text, value);
        EXPECT_EQ(string2bigint(text), value) << text;
    }
    EXPECT_EQ(string2int(" \t\n-17x5"), -17);
    EXPECT_EQ(string2int("+8"), 8);
    EXPECT_EQ(string2int(""), 0);
    EXPECT_EQ(string2int("abc"), 0);
    EXPECT_EQ(string2int("- 5"), 0);
    EXPECT_EQ(string2int(nullptr), 0);
    EXPECT_EQ(string2int("2147483648"), INT_MAX);
    EXPECT_EQ(string2int("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(string2bigint("9223372036854775808"), LLONG_MAX);
    EXPECT_EQ(string2bigint("-9223372036854775809"), LLONG_MIN);
    EXPECT_EQ(string2bigint("  4294967296 "), 4294967296LL);
}

TEST(AddressText, FourGroupsOfAtMostThreeDigitsUpTo255)
{
    struct Valid {
        const char *text;
        int octets[4];
    };
    for (const Valid &valid : {Valid{"127.0.0.1", {127, 0, 0, 1}}, Valid{"1..2.3", {1, 0, 2, 3}},
                               Valid{"...", {0, 0, 0, 0}}, Valid{"255.255.255.255", {255, 255, 255, 255}},
                               Valid{"001.020.3.004", {1, 20, 3, 4}}}) {
        int octets[4] = {-1, -1, -1, -1};
        EXPECT_EQ(string2IP4(valid.text, octets), 1) << valid.text;
        EXPECT_EQ(std::vector<int>(octets, octets + 4), std::vector<int>(valid.octets, valid.octets + 4)) << valid.text;
    }
    for (const char *invalid : {"1.2.3", "1.2.3.4.5", "1.2.3.4.", "256.1.1.1", "1234.1.1.1", " 1.2.3.4", "1.2.3.a",
                                "", "1.2.3.4 ", "1.2.3.-4", "....", "1.2.3.0004"}) {
        int octets[4] = {-1, -1, -1, -1};
        EXPECT_EQ(string2IP4(invalid, octets), 0) << '"' << invalid << '"';
        EXPECT_EQ(octets[0], -1) << invalid;
    }
    int octets[4];
    EXPECT_EQ(string2IP4(nullptr, octets), 0);
}

TEST(MessageDisplay, ShowsSizeThenEachByteUpToTheEndByte)
{
    const SocketData sd = example();
    testing::internal::CaptureStdout();
    showSocketData(&sd);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "size = 6\n| 1 | \x01 | 4 | 2 | \x01 |  |\n");
}

TEST(MessageBuilding, HeaderServesCCallers)
{
    SocketData sd;
    char second[SOCKETDATA_SIZE];
    EXPECT_EQ(socketComBuildFromC(&sd, second), 1);
    EXPECT_EQ(messageOf(sd), messageOf(example()));
}

TEST(WinsockErrorText, KnownNumbersHaveTheirTextOthersAreUnknown)
{
    using vexal::socketcom::winsockErrorText;
    EXPECT_STREQ(winsockErrorText(0), "No Error");
    EXPECT_STREQ(winsockErrorText(10061), "Connection refused.");
    EXPECT_STREQ(winsockErrorText(11004), "Valid name, no data record of requested type. This error indicates that "
                                          "the key (name, address, and so on) was not found.");
    EXPECT_STREQ(winsockErrorText(10000), "Unknown Error");
    EXPECT_STREQ(winsockErrorText(-1), "Unknown Error");
}
