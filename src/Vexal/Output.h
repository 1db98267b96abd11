// SPDX-License-Identifier: MIT
// The library's output stream. Every write goes through write(), which keeps
// lines of different threads whole and makes writing after VexalFinish closed
// the stream a no-op instead of a use of a closed FILE.
#pragma once

#include <cstddef>
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
        if (file != nullptr && wholeWrites_)
            std::setvbuf(file, nullptr, _IOFBF, kWholeWriteBuffer);
        std::lock_guard<std::mutex> guard(mutex_);
        if (stream_ != nullptr && stream_ != standard_)
            std::fclose(stream_);  // a stream left open by an earlier start
        stream_ = file != nullptr ? file : standard_;
        return path == nullptr || file != nullptr;
    }

    // Room for a whole report or log line in a stream that writes whole.
    static constexpr std::size_t kWholeWriteBuffer = std::size_t{64} << 10;

    // For the next open(): the stream used without a path (standard output
    // unless set), whether a named file is appended to, not truncated, and
    // whether each write goes out at once in one piece (up to
    // kWholeWriteBuffer; a standard stream given then has such a buffer):
    // what processes sharing one file need to keep their reports apart.
    void configure(std::FILE *standard, bool append, bool wholeWrites)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        standard_ = standard;
        append_ = append;
        wholeWrites_ = wholeWrites;
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
        if (stream_ == nullptr)
            return;
        writer(stream_);
        if (wholeWrites_)
            std::fflush(stream_);
    }

    // Around fork(): taken last of the library's locks, so that no line is
    // half written. Flushed, so that the child does not write the parent's
    // buffered lines a second time. The forking thread holds it in the
    // child as well, so both sides give it back alike.
    void holdForFork()
    {
        mutex_.lock();
        if (stream_ != nullptr)
            std::fflush(stream_);
    }
    void resumeAfterFork() { mutex_.unlock(); }

private:
    std::mutex mutex_;
    std::FILE *stream_ = nullptr;
    std::FILE *standard_ = stdout;
    bool append_ = false;
    bool wholeWrites_ = false;
};

} // namespace vexal
