// SPDX-License-Identifier: MIT
#include "MessageAssembler.h"

#include "LoopbackPeer.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using socketcom_test::bytes;
using socketcom_test::messageOf;
using vexal::socketcom::Assembly;
using vexal::socketcom::MessageAssembler;
using vexal::socketcom::readMessage;

namespace {

// Plays back a list of receives; after the last one the peer has closed.
struct ScriptedPeer {
    std::vector<std::string> chunks;
    std::size_t next = 0;
    int errorCode = SOCKETCOM_PEER_CLOSED;
    int forcedLength = 0;  // reported instead of the real count when not 0

    int operator()(char *chunk, int capacity, int *length)
    {
        if (next == chunks.size())
            return errorCode;
        const std::string &bytes = chunks[next++];
        EXPECT_LE(bytes.size(), static_cast<std::size_t>(capacity));
        std::memcpy(chunk, bytes.data(), bytes.size());
        *length = forcedLength != 0 ? forcedLength : static_cast<int>(bytes.size());
        return SOCKETCOM_OK;
    }
};

const std::string kFirst = bytes("1\x01" "42\x01");
const std::string kSecond = bytes("7\x01job.c\x01" "80\x01");
const std::string kEnd(1, '\0');

struct MessageAssemblerTest : testing::Test {
    MessageAssembler assembler;
    ScriptedPeer peer;
    SocketData sd{};

    int read() { return readMessage(assembler, sd, peer); }
};

} // namespace

TEST_F(MessageAssemblerTest, MessageArrivingOneBytePerReceiveIsReturnedWhole)
{
    for (char c : kFirst + kEnd)
        peer.chunks.emplace_back(1, c);
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), kFirst + kEnd);
    EXPECT_EQ(peer.next, peer.chunks.size());
    EXPECT_EQ(assembler.carriedOver(), 0);
}

TEST_F(MessageAssemblerTest, MessageOverThreeReceivesIsReturnedWhole)
{
    peer.chunks = {"7", kSecond.substr(1, 6), kSecond.substr(7) + kEnd};
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), kSecond + kEnd);
    EXPECT_EQ(assembler.carriedOver(), 0);
}

TEST_F(MessageAssemblerTest, SecondMessageOfOneReceiveComesWithoutReceivingAgain)
{
    peer.chunks = {kFirst + kEnd + kSecond + kEnd};
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), kFirst + kEnd);
    EXPECT_EQ(assembler.carriedOver(), static_cast<int>(kSecond.size() + 1));
    EXPECT_TRUE(assembler.holdsMessage());
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), kSecond + kEnd);
    EXPECT_EQ(peer.next, 1u);
    EXPECT_EQ(assembler.carriedOver(), 0);
    EXPECT_FALSE(assembler.holdsMessage());
}

TEST_F(MessageAssemblerTest, CarriedOverPieceIsCompletedByTheNextReceive)
{
    peer.chunks = {kFirst + kEnd + kSecond.substr(0, 4), kSecond.substr(4) + kEnd + "5", bytes("\x01\0")};
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_FALSE(assembler.holdsMessage());  // only a piece is waiting
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), kSecond + kEnd);
    EXPECT_EQ(peer.next, 2u);
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), bytes("5\x01\0"));
    EXPECT_EQ(assembler.carriedOver(), 0);
}

TEST_F(MessageAssemblerTest, AnyCuttingOfTheStreamYieldsTheSameMessages)
{
    std::mt19937 random(20240611u);
    std::vector<std::string> sent;
    std::string stream;
    for (int i = 0; i < 300; ++i) {
        std::string message;
        const int fields = static_cast<int>(random() % 30);
        for (int f = 0; f < fields; ++f)
            message += std::to_string(random() % 100000) + '\x01';
        sent.push_back(message + kEnd);
        stream += sent.back();
    }
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t length = 1 + random() % (random() % 4 == 0 ? 1024 : 12);
        peer.chunks.push_back(stream.substr(at, length));
        at += length;
    }
    for (const std::string &expected : sent) {
        ASSERT_EQ(read(), SOCKETCOM_OK);
        ASSERT_EQ(messageOf(sd), expected);
        ASSERT_GE(assembler.carriedOver(), 0);
    }
    EXPECT_EQ(peer.next, peer.chunks.size());
    EXPECT_EQ(assembler.carriedOver(), 0);
    EXPECT_EQ(read(), SOCKETCOM_PEER_CLOSED);
}

TEST_F(MessageAssemblerTest, ReceiveFailuresEndTheReadWithTheirCode)
{
    peer.chunks = {kFirst.substr(0, 2)};
    EXPECT_EQ(read(), SOCKETCOM_PEER_CLOSED);
    peer = ScriptedPeer{{}, 0, SOCKETCOM_RECEIVE_FAILED};
    EXPECT_EQ(read(), SOCKETCOM_RECEIVE_FAILED);
    peer = ScriptedPeer{{"x"}, 0, SOCKETCOM_PEER_CLOSED, -1};
    EXPECT_EQ(read(), SOCKETCOM_NEGATIVE_LENGTH);
}

TEST_F(MessageAssemblerTest, MessageOfExactlyTheBufferSizeFitsOneMoreByteDoesNot)
{
    const std::string longest(SOCKETDATA_SIZE - 1, 'x');
    peer.chunks = {longest.substr(0, 1000), longest.substr(1000) + kEnd, longest, "y" + kEnd, "z" + kEnd};
    ASSERT_EQ(read(), SOCKETCOM_OK);
    EXPECT_EQ(sd.size, SOCKETDATA_SIZE);
    EXPECT_EQ(read(), SOCKETCOM_MESSAGE_TOO_LONG);
    EXPECT_LE(sd.size, SOCKETDATA_SIZE);
    EXPECT_EQ(assembler.carriedOver(), 0);
}

TEST_F(MessageAssemblerTest, CarriedOverBytesBeyondTheirBufferAreRefused)
{
    // Chunks this large never come from the endpoint; the assembler must
    // still stay inside its buffers when fed them.
    std::string chunk = kEnd + std::string(MessageAssembler::leftOverCapacity + 1, 'x');
    sd.size = 0;
    EXPECT_EQ(assembler.feed(sd, chunk.data(), static_cast<int>(chunk.size())), Assembly::overflow);
    EXPECT_EQ(assembler.carriedOver(), 0);

    chunk.resize(1 + SOCKETDATA_SIZE + 1);
    ASSERT_EQ(assembler.feed(sd, chunk.data(), static_cast<int>(chunk.size())), Assembly::complete);
    EXPECT_EQ(assembler.start(sd), Assembly::overflow);
    EXPECT_EQ(sd.size, 0);
    EXPECT_EQ(assembler.carriedOver(), 0);
}
