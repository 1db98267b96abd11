// SPDX-License-Identifier: MIT
// The library's output stream. Every write goes through write(), which keeps
// lines of different threads whole and makes writing after VexalFinish closed
// the stream a no-op instead of a use of a closed FILE.
#pragma once

#include <cstdio>
#include <mutex>

namespace vexal {

class Output {
public:
    // Opens `path` for writing, or uses the standard stream for null. Returns
    // false when the file cannot be opened (the standard stream is used then).
    bool open(const char *path)
    {
        std::FILE *file = path != nullptr ? std::fopen(path, append_ ? "a" : "w") : nullptr;
        std::lock_guard<std::mutex> guard(mutex_);
        if (stream_ != nullptr && stream_ != standard_)
            std::fclose(stream_);  // a stream left open by an earlier start
        stream_ = file != nullptr ? file : standard_;
        return path == nullptr || file != nullptr;
    }

    // For the next open(): the stream used without a path (standard output
    // unless set), and whether a named file is appended to, not truncated.
    void configure(std::FILE *standard, bool append)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        standard_ = standard;
        append_ = append;
    }

    void close()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (stream_ != nullptr && stream_ != standard_)
            std::fclose(stream_);
        else if (stream_ != nullptr)
            std::fflush(stream_);
        stream_ = nullptr;
    }

    template <typename Writer>
    void write(Writer &&writer)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (stream_ != nullptr)
            writer(stream_);
    }

private:
    std::mutex mutex_;
    std::FILE *stream_ = nullptr;
    std::FILE *standard_ = stdout;
    bool append_ = false;
};

} // namespace vexal
