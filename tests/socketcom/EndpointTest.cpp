// SPDX-License-Identifier: MIT
#include "SocketCom.h"

#include "LoopbackPeer.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

using namespace socketcom_test;

namespace {

const std::string kMessage = bytes("1\x01" "42\x01\0");

// The module as server, one raw peer connected to it.
struct ServerEndpoint : testing::Test {
    int port = -1;
    Fd peer;
    SocketData sd{};

    void SetUp() override
    {
        port = moduleServer();
        ASSERT_GT(port, 0);
        peer.fd = rawConnect(port);
        ASSERT_TRUE(peer.valid());
        ASSERT_EQ(receiveConnectAttemptFromClient(), SOCKETCOM_OK);
    }
    void TearDown() override { EXPECT_EQ(closeSocket(), SOCKETCOM_OK); }
};

// The module as client of a raw server.
struct ClientEndpoint : testing::Test {
    int port = -1;
    Fd listener, peer;
    SocketData sd{};

    void SetUp() override
    {
        listener.fd = rawBind(port);
        ASSERT_TRUE(listener.valid());
        ASSERT_EQ(setupSocket(1024, 1024, port, "127.0.0.1"), SOCKETCOM_OK);
        ASSERT_EQ(connectClientToServer(), SOCKETCOM_OK);
        peer.fd = rawAccept(listener.fd);
        ASSERT_TRUE(peer.valid());
    }
    void TearDown() override { EXPECT_EQ(closeSocket(), SOCKETCOM_OK); }
};

// Sends the pieces one by one with short pauses, so that they tend to arrive
// in separate receives; the results checked do not depend on how they arrive.
void sendPaced(Socket fd, const std::vector<std::string> &pieces)
{
    for (const std::string &piece : pieces) {
        sendAll(fd, piece);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

TEST(EndpointSetup, SetupReleasesThePreviousEndpointAndCloseAlwaysSucceeds)
{
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
    const int port = moduleServer();
    ASSERT_GT(port, 0);
    EXPECT_EQ(setupSocket(1024, 1024, port, nullptr), SOCKETCOM_OK);  // the old listener is gone
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
}

TEST(EndpointSetup, InvalidAddressTextIsRefusedBeforeAnyConnect)
{
    for (const char *text : {"1.2.3", "1.2.3.4.5", "1.2.3.4.", "256.1.1.1", "1234.1.1.1", " 1.2.3.4", "1.2.3.a"}) {
        EXPECT_EQ(setupSocket(1024, 1024, 5913, text), SOCKETCOM_INVALID_ADDRESS) << text;
        EXPECT_EQ(connectClientToServer(), SOCKETCOM_CONNECT_FAILED) << text;
        EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
    }
}

TEST(EndpointSetup, PlatformFailuresGiveTheirCodeAndErrorNumber)
{
    int port = 0;
    Fd taken(rawBind(port));
    ASSERT_TRUE(taken.valid());
    EXPECT_EQ(setupSocket(1024, 1024, port, nullptr), SOCKETCOM_BIND_FAILED);
    EXPECT_EQ(getErrorStatus(), vxlsock::kAddressInUse);
#if defined(_WIN32)
    EXPECT_STREQ(getErrorMessage(), "Address already in use.");
#else
    EXPECT_STREQ(getErrorMessage(), std::strerror(EADDRINUSE));
#endif
    EXPECT_EQ(receiveConnectAttemptFromClient(), SOCKETCOM_ACCEPT_FAILED);
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);

    Fd silent(rawBind(port, false));  // bound, not listening: connects are refused
    ASSERT_TRUE(silent.valid());
    ASSERT_EQ(setupSocket(1024, 1024, port, "127.0.0.1"), SOCKETCOM_OK);
    EXPECT_EQ(connectClientToServer(), SOCKETCOM_CONNECT_FAILED);
    EXPECT_EQ(getErrorStatus(), vxlsock::kRefused);
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);

#if !defined(_WIN32)  // no descriptor limit to lower on Windows
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit none = limit;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    const int serverCode = setupSocket(1024, 1024, port, nullptr);
    const int serverError = getErrorStatus();
    const int clientCode = setupSocket(1024, 1024, port, "127.0.0.1");
    ::setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(serverCode, SOCKETCOM_CREATE_FAILED);
    EXPECT_EQ(serverError, EMFILE);
    EXPECT_EQ(clientCode, SOCKETCOM_CREATE_FAILED);
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
#endif
}

TEST(EndpointSetup, OnlyTheLow16BitsOfThePortCount)
{
    const int port = moduleServer(65536);  // e.g. 70000 listens on 4464
    ASSERT_GT(port, 0);
    Fd client(rawConnect(port));
    ASSERT_TRUE(client.valid());
    EXPECT_EQ(receiveConnectAttemptFromClient(), SOCKETCOM_OK);
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);

    int rawPort = 0;
    Fd listener(rawBind(rawPort));
    ASSERT_TRUE(listener.valid());
    ASSERT_EQ(setupSocket(1024, 1024, rawPort + 3 * 65536, "127.0.0.1"), SOCKETCOM_OK);
    EXPECT_EQ(connectClientToServer(), SOCKETCOM_OK);
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
}

TEST(EndpointSetup, ServerAcceptsTheNextClientAfterCloseAndNewSetup)
{
    for (int round = 0; round < 3; ++round) {
        const int port = moduleServer();
        ASSERT_GT(port, 0);
        Fd client(rawConnect(port));
        ASSERT_TRUE(client.valid());
        ASSERT_EQ(receiveConnectAttemptFromClient(), SOCKETCOM_OK);
        ASSERT_TRUE(sendAll(client.fd, kMessage));
        SocketData sd;
        ASSERT_EQ(readSocketData(&sd), SOCKETCOM_OK);
        EXPECT_EQ(messageOf(sd), kMessage);
        EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
    }
}

TEST(EndpointSetup, PortOfAConnectionTheServerClosedFirstCanBeListenedOnAgainAtOnce)
{
    const int port = moduleServer();
    ASSERT_GT(port, 0);
    {
        Fd client(rawConnect(port));
        ASSERT_TRUE(client.valid());
        ASSERT_EQ(receiveConnectAttemptFromClient(), SOCKETCOM_OK);
        EXPECT_EQ(closeSocket(), SOCKETCOM_OK);  // first: the lingering end is the server's
        EXPECT_EQ(receiveBytes(client.fd, 1), "");
    }
    EXPECT_EQ(setupSocket(1024, 1024, port, nullptr), SOCKETCOM_OK);
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
}

#if !defined(_WIN32)  // finds the module's socket among the descriptors
TEST_F(ServerEndpoint, AcceptedSocketSendsSmallSegmentsAtOnce)
{
    EXPECT_TRUE(noDelayIsSet(findModuleSocket(port, 0, peer.fd)));
}

TEST_F(ClientEndpoint, ClientSocketSendsSmallSegmentsAtOnce)
{
    EXPECT_TRUE(noDelayIsSet(findModuleSocket(0, port, peer.fd)));
}
#endif

TEST_F(ServerEndpoint, AnotherClientIsRefusedWhileOneIsConnected)
{
    Fd second(rawConnect(port));
    EXPECT_FALSE(second.valid());
    EXPECT_EQ(vxlsock::lastError(), vxlsock::kRefused);
}

TEST_F(ServerEndpoint, RawReceiveReportsBytesThenPeerClosedNotFailure)
{
    ASSERT_TRUE(sendAll(peer.fd, "abc"));
    char destination[1024];
    int length = 0;
    ASSERT_EQ(receiveData(destination, &length), SOCKETCOM_OK);
    EXPECT_EQ(std::string(destination, static_cast<std::size_t>(length)), "abc");
    peer.reset();
    EXPECT_EQ(receiveData(destination, &length), SOCKETCOM_PEER_CLOSED);
}

TEST_F(ClientEndpoint, WrittenMessagesArriveByteExactAndSendsFailAfterClose)
{
    clearSocketData(&sd);
    ASSERT_EQ(writeSocketData(&sd), SOCKETCOM_OK);
    addIntSocketData(&sd, 1);
    addIntSocketData(&sd, 42);
    ASSERT_EQ(writeSocketData(&sd), SOCKETCOM_OK);
    sd.size = SOCKETDATA_SIZE + 1;
    EXPECT_EQ(writeSocketData(&sd), SOCKETCOM_MESSAGE_TOO_LONG);
    ASSERT_EQ(closeSocket(), SOCKETCOM_OK);
    EXPECT_EQ(receiveBytes(peer.fd, 100), std::string(1, '\0') + kMessage);
    EXPECT_EQ(sendData("x", 1), SOCKETCOM_SEND_FAILED);
    char destination[1024];
    int length = 0;
    EXPECT_EQ(receiveData(destination, &length), SOCKETCOM_RECEIVE_FAILED);
}

TEST_F(ServerEndpoint, ReadReassemblesMessagesSplitByThePeer)
{
    std::thread sender(sendPaced, peer.fd,
                       std::vector<std::string>{"1", "\x01", "4", "2", "\x01", bytes("\0" "7"), "\x01job.c",
                                                bytes("\x01" "80\x01\0" "8\x01"), bytes("\0")});
    ASSERT_EQ(readSocketData(&sd), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), kMessage);
    ASSERT_EQ(readSocketData(&sd), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), bytes("7\x01job.c\x01" "80\x01\0"));
    ASSERT_EQ(readSocketData(&sd), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), bytes("8\x01\0"));
    sender.join();
}

TEST_F(ServerEndpoint, SecondMessageOfOneSendIsReadWithoutWaitingForThePeer)
{
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    // The peer stays silent until both reads are over; should the second read
    // wait on the network, the peer's bounded wait ends in a close and the
    // read fails instead of hanging.
    std::thread holder([&] {
        sendAll(peer.fd, kMessage + kMessage);
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; });
        shutdownBoth(peer.fd);
    });
    EXPECT_EQ(readSocketData(&sd), SOCKETCOM_OK);
    EXPECT_EQ(readSocketData(&sd), SOCKETCOM_OK);
    EXPECT_EQ(messageOf(sd), kMessage);
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    cv.notify_one();
    holder.join();
}

TEST_F(ServerEndpoint, PeerClosingMidMessageEndsTheRead)
{
    ASSERT_TRUE(sendAll(peer.fd, kMessage + "3\x01" "1"));
    peer.reset();
    ASSERT_EQ(readSocketData(&sd), SOCKETCOM_OK);
    EXPECT_EQ(readSocketData(&sd), SOCKETCOM_PEER_CLOSED);
}

TEST_F(ServerEndpoint, OversizeMessageGives15AndStaysInBounds)
{
    std::thread sender(sendPaced, peer.fd,
                       std::vector<std::string>{std::string(SOCKETDATA_SIZE - 1, 'x') + '\0',
                                                std::string(700, 'y'), std::string(700, 'y'), std::string(1, '\0')});
    ASSERT_EQ(readSocketData(&sd), SOCKETCOM_OK);
    EXPECT_EQ(sd.size, SOCKETDATA_SIZE);
    EXPECT_EQ(readSocketData(&sd), SOCKETCOM_MESSAGE_TOO_LONG);
    EXPECT_LE(sd.size, SOCKETDATA_SIZE);
    sender.join();
}

TEST_F(ClientEndpoint, SendingAndReceivingThreadsShareTheConnection)
{
    // The raw server echoes whatever comes, in whatever pieces it comes.
    std::thread echo([fd = peer.fd] {
        char chunk[333];
        for (;;) {
            const long got = vxlsock::receiveSome(fd, chunk, sizeof chunk);
            if (got <= 0 || !sendAll(fd, std::string_view(chunk, static_cast<std::size_t>(got))))
                break;
        }
    });
    std::vector<std::string> sent;
    std::mt19937 random(7u);
    for (int i = 0; i < 400; ++i) {
        SocketData out;
        clearSocketData(&out);
        for (int f = static_cast<int>(random() % 60); f > 0; --f)
            addBigIntSocketData(&out, static_cast<long long>(random()) * 1000003);
        sent.push_back(messageOf(out));
    }
    std::thread writer([&] {
        for (const std::string &message : sent) {
            SocketData out;
            std::memcpy(out.data, message.data(), message.size());
            out.size = static_cast<int>(message.size());
            ASSERT_EQ(writeSocketData(&out), SOCKETCOM_OK);
        }
    });
    for (const std::string &expected : sent) {
        ASSERT_EQ(readSocketData(&sd), SOCKETCOM_OK);
        ASSERT_EQ(messageOf(sd), expected);
    }
    writer.join();
    // The module's close ends the echo: its receive sees the peer gone.
    EXPECT_EQ(closeSocket(), SOCKETCOM_OK);
    echo.join();
}
