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
    // Opens `path` for writing, or uses standard output for null. Returns
    // false when the file cannot be opened (standard output is used then).
    bool open(const char *path)
    {
        std::FILE *file = path != nullptr ? std::fopen(path, "w") : nullptr;
        std::lock_guard<std::mutex> guard(mutex_);
        if (stream_ != nullptr && stream_ != stdout)
            std::fclose(stream_);  // a stream left open by an earlier start
        stream_ = file != nullptr ? file : stdout;
        return path == nullptr || file != nullptr;
    }

    void close()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (stream_ != nullptr && stream_ != stdout)
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
};

} // namespace vexal
