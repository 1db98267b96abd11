// SPDX-License-Identifier: MIT
// VEXAL_LISTEN: the address the monitor port listens on.
#include "CommTestSupport.h"

#include <cstdio>

namespace vxlcomm {
namespace {

using Fields = std::vector<std::string>;

// Sets VEXAL_LISTEN for this process; "" unsets it.
void setListen(const char *value)
{
#if defined(_WIN32)
    ::_putenv_s("VEXAL_LISTEN", value);
#else
    if (value[0] == '\0')
        ::unsetenv("VEXAL_LISTEN");
    else
        ::setenv("VEXAL_LISTEN", value, 1);
#endif
}

class CommListen : public CommSession {
protected:
    void TearDown() override
    {
        CommSession::TearDown();
        setListen("");
    }
};

#if defined(__linux__)
// Linux answers on all of 127.0.0.0/8: a second local address to be refused on.
constexpr std::uint32_t kSecondLoopback = 0x7F000002;

// The local address (as /proc/net/tcp writes it) of the socket listening on
// `port`, once there is one; "" if none comes before the deadline.
std::string listeningAddress(int port)
{
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    do {
        std::istringstream table(vxltest::readFile("/proc/net/tcp"));
        std::string line;
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (state == "0A" && local.size() == 13 && local.compare(8, 5, wanted) == 0)
                return local.substr(0, 8);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return "";
}

TEST_F(CommListen, AListenAddressServesMonitorsOnThatAddressOnlyOnEveryPort)
{
    setListen("127.0.0.2");
    VexalInit(1, 0, path_.c_str(), port_);
    active_ = true;
    ASSERT_EQ(listeningAddress(port_), "0200007F");
    vxlwire::WireClient elsewhere;
    EXPECT_EQ(elsewhere.connectOnce(port_), vxlsock::kRefused);
    ASSERT_TRUE(client_.connect(port_, std::chrono::seconds(10), kSecondLoopback));
    EXPECT_EQ(ask(1).fields, Status{}.fields(1));
    EXPECT_EQ(ask(0).fields, Fields{"0"});
    EXPECT_TRUE(client_.waitForClose());
    EXPECT_EQ(listeningAddress(nextListenPort(port_)), "0200007F");
}
#endif

TEST_F(CommListen, AnInvalidAddressIsSaidAndTheProgramRunsOnTrackedWithoutAMonitor)
{
    setListen("127.0.0.256");
    VexalInit(1, 0, path_.c_str(), port_);
    active_ = true;
    keep(VexalMalloc(24, "kept.c", 7));
    VexalShowStatus("s.c", 1);  // no monitor: written to the output at once
    const std::string output = finish();
    EXPECT_EQ(occurrences(output, "Invalid VEXAL_LISTEN address: 127.0.0.256\n"), 1) << output;
    EXPECT_NE(output.find("Present status of registered memory accesses"), std::string::npos) << output;
    EXPECT_NE(output.find("24"), std::string::npos) << output;
    vxlwire::WireClient monitor;
    EXPECT_EQ(monitor.connectOnce(port_), vxlsock::kRefused);
}

} // namespace
} // namespace vxlcomm
