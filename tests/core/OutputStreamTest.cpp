// SPDX-License-Identifier: MIT
// Where the library writes: its output file, or standard output.
#include "VexalTestSupport.h"

#include <fcntl.h>
#include <unistd.h>

using namespace vxltest;

namespace {

// Redirects standard output (the descriptor) into a file while alive.
class StdoutCapture {
public:
    StdoutCapture() {
        static std::atomic<int> serial{0};
        path_ = ::testing::TempDir() +
                format("vexal_stdout_%d_%d.txt", processId(), serial.fetch_add(1));
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    ~StdoutCapture() {
        if (saved_ >= 0) stop();
        std::remove(path_.c_str());
    }
    std::string stop() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
        return readFile(path_);
    }

private:
    std::string path_;
    int saved_ = -1;
};

// Runs a short session on whatever stream the library chose.
std::string shortSession(void *&block) {
    block = VexalMalloc(12, "o.c", 1);
    VexalFree(block, "o.c", 2);
    VexalShowList("o.c", 3);
    VexalFinish();
    return allocLine("o.c", 1, VXL_MALLOC, 12, 1, block) +
           freeLine("o.c", 2, VXL_MALLOC, 12, currentThreadId(), 0, block) +
           listReport("o.c", 3, {});
}

TEST(OutputStream, UnopenableFileFallsBackToStdoutWithANotice) {
    const std::string bad = "/nonexistent-vexal-dir/sub/out.log";
    void *block = nullptr;
    StdoutCapture capture;
    VexalInit(1, 1, bad.c_str(), -1);
    const std::string session = shortSession(block);
    // Standard output is left open by VexalFinish.
    const int after = std::fputs("after finish\n", stdout);
    const std::string text = capture.stop();

    EXPECT_GE(after, 0);
    EXPECT_EQ(text, "Sorry, but the output file '" + bad + "' could not be opened!\n" +
                        "Instead, 'stdout' will be used as output stream.\n" + session +
                        "after finish\n");
}

TEST(OutputStream, NullPathWritesToStdout) {
    void *block = nullptr;
    StdoutCapture capture;
    VexalInit(1, 1, nullptr, -1);
    const std::string session = shortSession(block);
    const int after = std::fputs("after finish\n", stdout);
    const std::string text = capture.stop();
    EXPECT_GE(after, 0);
    EXPECT_EQ(text, session + "after finish\n");
}

class OutputFile : public VexalSession {};

TEST_F(OutputFile, IsTruncatedByTheNextSession) {
    {
        std::FILE *f = std::fopen(path_.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("stale text that must go\n", f);
        std::fclose(f);
    }
    start(1, 1);
    VexalShowList("t.c", 1);
    EXPECT_EQ(finish(), listReport("t.c", 1, {}));
    start(1, 1);
    EXPECT_EQ(finish(), "");
}

}  // namespace
