// SPDX-License-Identifier: MIT
// Fixture and helpers of the monitor-connection tests: one library session
// per test process, served on its own port, with a wire-level client.
#ifndef VEXAL_COMM_TEST_SUPPORT_H
#define VEXAL_COMM_TEST_SUPPORT_H

#include "TestPlatform.h"
#include "WireClient.h"

#include <LinkedList.h>
#include <Vexal.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vxlcomm {

using vxlwire::Message;
using namespace std::chrono_literals;

// Only a guard against hangs: a thread the library should let go is given
// this long before the test fails instead of waiting forever.
constexpr auto kHangGuard = 30s;

// A thread the library lets go (a release, a list end, a connection's end)
// goes on within this, well inside the library's own 10-second bounds that
// would end its wait anyway: a let-go that does not happen cannot pass for
// one that came late.
constexpr auto kReleaseBound = 1s;

inline int occurrences(const std::string &text, const std::string &part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The id the library records for the calling thread, as the wire carries it.
inline std::string threadIdText() { return std::to_string(static_cast<int>(vxltest::currentThreadId())); }

// The port of the library's next listen: the next one on POSIX, where each
// new monitor gets the next port; the same one on Windows.
inline int nextListenPort(int port) { return vxltest::kWindows ? port : port + 1; }

// A block of a kind that only this build offers (valloc and memalign on
// POSIX, GlobalAlloc and HeapAlloc on Windows), for the rows and records of
// one platform only.
struct PlatformBlock {
    void *block;
    int type;
};

inline PlatformBlock platformBlockA(size_t size, const char *file, int line)
{
#if defined(_WIN32)
    return {VexalGlobalAlloc(0, size, file, line), VXL_GLOBALALLOC};
#else
    return {VexalValloc(size, file, line), VXL_VALLOC};
#endif
}

inline PlatformBlock platformBlockB(size_t size, const char *file, int line)
{
#if defined(_WIN32)
    return {VexalHeapAlloc(GetProcessHeap(), 0, size, file, line), VXL_HEAPALLOC};
#else
    return {VexalMemalign(64, size, file, line), VXL_MEMALIGN};
#endif
}

// Frees such a block without the library, by its own release function.
inline void releasePlatformBlock(const PlatformBlock &b)
{
#if defined(_WIN32)
    if (b.type == VXL_GLOBALALLOC)
        GlobalFree(b.block);
    else
        HeapFree(GetProcessHeap(), 0, b.block);
#else
    std::free(b.block);
#endif
}

inline std::string addressText(const void *p)
{
    return std::to_string(static_cast<long long>(reinterpret_cast<intptr_t>(p)));
}

// The library's bookkeeping per live record, as the status values report it.
constexpr long long kAnchorsUse = 2 * static_cast<long long>(sizeof(Link));
inline long long recordUse(const char *file)
{
    return static_cast<long long>(sizeof(AllocationRecord) + sizeof(Link) + std::strlen(file) + 1);
}

// The 27 status values a summary or list-end reply carries.
struct Status {
    std::array<long long, 12> calls{};
    std::array<long long, 12> still{};
    long long freeFailed = 0;
    long long notStored = 0;
    long long internalUse = kAnchorsUse;

    void allocated(int type, long long size, const char *file)
    {
        calls[static_cast<size_t>(type)] += 1;
        still[static_cast<size_t>(type)] += size;
        internalUse += recordUse(file);
    }

    void released(int type, long long size, const char *file)
    {
        still[static_cast<size_t>(type)] -= size;
        internalUse -= recordUse(file);
    }

    std::vector<std::string> fields(int number) const
    {
        std::vector<std::string> out{std::to_string(number)};
        for (long long v : calls)
            out.push_back(std::to_string(v));
        for (long long v : still)
            out.push_back(std::to_string(v));
        out.push_back(std::to_string(freeFailed));
        out.push_back(std::to_string(notStored));
        out.push_back(std::to_string(internalUse));
        return out;
    }
};

// One list record reply, field by field.
inline std::vector<std::string> recordFields(int type, long long size, int line, const void *address,
                                             const std::string &file, unsigned long long index,
                                             const std::string &threadId)
{
    return {"3", std::to_string(type), std::to_string(size), std::to_string(line), addressText(address),
            file, std::to_string(index), threadId};
}

inline std::vector<std::string> fillerFields(int type)
{
    return {"3", std::to_string(type), "0", "0", "0", " Internal Error!!!", "0", "0"};
}

// An application thread: runs `work` and flags when it is done. Lets a test
// watch a tracked call that the monitor is expected to hold up.
class AppThread {
public:
    explicit AppThread(std::function<void()> work)
        : thread_([this, work = std::move(work)] {
              started_.store(true);
              work();
              done_.store(true);
          })
    {
        while (!started_.load())
            std::this_thread::yield();
        // Gives the thread the chance to reach the point where it must wait;
        // no assertion depends on this lasting long enough.
        std::this_thread::sleep_for(50ms);
    }

    ~AppThread()
    {
        if (finishes(kHangGuard))
            thread_.join();
        else
            thread_.detach();  // the test has failed already
    }

    bool done() const { return done_.load(); }

    // True when the thread's work is done within `bound` from now.
    bool finishes(std::chrono::milliseconds bound = kReleaseBound)
    {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!done_.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        return done_.load();
    }

private:
    std::atomic<bool> started_{false};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class CommSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_ = vxlwire::basePort();
        path_ = ::testing::TempDir() + "vexal_comm_" + std::to_string(vxltest::processId()) + ".log";
    }

    void TearDown() override
    {
        // A monitor goes before VexalFinish; this also lets go of any
        // application thread a failed test left waiting.
        if (client_.connected() && client_.sendCommand(0))
            client_.read();
        client_.close();
        if (active_)
            VexalFinish();
        for (void *block : blocks_)
            std::free(block);
        for (const PlatformBlock &b : platformBlocks_)
            releasePlatformBlock(b);
        std::remove(path_.c_str());
    }

    // Starts the library and connects the first monitor.
    void start(int log = 0)
    {
        VexalInit(1, log, path_.c_str(), port_);
        active_ = true;
        ASSERT_TRUE(client_.connect(port_)) << "no listener on port " << port_;
    }

    // The client's connect completes before the library has accepted it;
    // one round trip makes sure this monitor is being served.
    void waitUntilServed() { ask(1); }

    std::string finish()
    {
        VexalFinish();
        active_ = false;
        return vxltest::readFile(path_);
    }

    // Sends one command and returns its reply, which must carry its number.
    Message ask(int number)
    {
        EXPECT_TRUE(client_.sendCommand(number));
        Message reply = client_.read();
        EXPECT_TRUE(reply.ok()) << "no reply to " << number << ": " << reply.statusName();
        EXPECT_EQ(reply.number(), std::to_string(number));
        return reply;
    }

    // Ends the connection with a clean disconnect and connects the next monitor.
    void reconnect()
    {
        EXPECT_EQ(ask(0).fields, std::vector<std::string>{"0"});
        EXPECT_TRUE(client_.waitForClose());
        port_ = nextListenPort(port_);
        ASSERT_TRUE(client_.connect(port_)) << "no listener on port " << port_;
    }

    template <typename T>
    T *keep(T *block)
    {
        blocks_.push_back(static_cast<void *>(block));
        return block;
    }

    PlatformBlock keep(const PlatformBlock &b)
    {
        platformBlocks_.push_back(b);
        return b;
    }

    int port_ = 0;
    std::string path_;
    bool active_ = false;
    vxlwire::WireClient client_;
    std::vector<void *> blocks_;
    std::vector<PlatformBlock> platformBlocks_;
};

} // namespace vxlcomm

#endif
