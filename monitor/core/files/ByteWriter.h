// SPDX-License-Identifier: MIT
// Output of reports that may run to a million lines: bytes gather in one
// fixed buffer and go on to their destination a full buffer at a time, so
// that no line costs an allocation or a write of its own.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

namespace vexal::monitor {

class ByteWriter {
public:
    // Bytes gathered before they go on.
    static constexpr qsizetype kBufferBytes = 64 * 1024;
    // Takes the next piece of the output; false when it could not be
    // written, after which the writer drops whatever follows.
    using Drain = std::function<bool(QByteArrayView bytes)>;

    explicit ByteWriter(Drain drain) : drain_(std::move(drain)), buffer_(new char[size_t(kBufferBytes)]) {}
    ByteWriter(const ByteWriter &) = delete;
    ByteWriter &operator=(const ByteWriter &) = delete;

    void append(QByteArrayView bytes)
    {
        if (bytes.size() <= kBufferBytes - used_) {
            if (bytes.isEmpty()) // the view of a null array has no pointer to copy from
                return;
            std::memcpy(buffer_.get() + used_, bytes.data(), size_t(bytes.size()));
            used_ += bytes.size();
        } else {
            appendLong(bytes);
        }
    }
    void append(char c)
    {
        if (used_ == kBufferBytes)
            drainBuffer();
        buffer_[size_t(used_++)] = c;
    }
    // `count` copies of `c`; nothing for a count of 0 or less.
    void fill(qsizetype count, char c);
    // In plain decimal, a minus sign ahead of a negative number.
    void appendNumber(int64_t value);

    // Hands on what is gathered. False once any piece could not be written.
    bool flush();
    bool failed() const { return failed_; }

private:
    void appendLong(QByteArrayView bytes);
    void drainBuffer();

    Drain drain_;
    std::unique_ptr<char[]> buffer_;
    qsizetype used_ = 0;
    bool failed_ = false;
};

// What `write` writes, as one array: for callers that want the bytes whole.
QByteArray collectBytes(const std::function<void(ByteWriter &out)> &write);

} // namespace vexal::monitor
