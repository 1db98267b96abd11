// SPDX-License-Identifier: MIT
#include "ByteWriter.h"

#include <algorithm>
#include <charconv>

namespace vexal::monitor {

void ByteWriter::fill(qsizetype count, char c)
{
    while (count > 0) {
        if (used_ == kBufferBytes)
            drainBuffer();
        const qsizetype now = std::min(count, kBufferBytes - used_);
        std::memset(buffer_.get() + used_, c, size_t(now));
        used_ += now;
        count -= now;
    }
}

void ByteWriter::appendNumber(int64_t value)
{
    char digits[24];
    const char *end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    append(QByteArrayView(digits, end - digits));
}

bool ByteWriter::flush()
{
    drainBuffer();
    return !failed_;
}

void ByteWriter::appendLong(QByteArrayView bytes)
{
    // What does not fit goes on with what is gathered, without a copy.
    drainBuffer();
    if (bytes.size() < kBufferBytes) {
        append(bytes);
        return;
    }
    if (!failed_)
        failed_ = !drain_(bytes);
}

void ByteWriter::drainBuffer()
{
    if (used_ > 0 && !failed_)
        failed_ = !drain_(QByteArrayView(buffer_.get(), used_));
    used_ = 0;
}

QByteArray collectBytes(const std::function<void(ByteWriter &out)> &write)
{
    QByteArray bytes;
    ByteWriter out([&bytes](QByteArrayView piece) {
        bytes.append(piece);
        return true;
    });
    write(out);
    out.flush();
    return bytes;
}

} // namespace vexal::monitor
