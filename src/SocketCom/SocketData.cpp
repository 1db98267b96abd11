// SPDX-License-Identifier: MIT
// Message fields: building, taking apart and moving whole messages over the
// endpoint. No allocation on this path: a message lives in its SocketData.
#include "SocketCom.h"

#include "MessageAssembler.h"
#include "SocketEndpoint.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr char kSeparator = '\x01';
constexpr char kEnd = '\0';

template <typename Number>
void formatDecimal(char *out, Number value, std::size_t capacity)
{
    if (out == nullptr)
        return;
    // Same text as "%i" / "%lli", without the C locale or printf.
    const auto result = std::to_chars(out, out + capacity - 1, value);
    *result.ptr = '\0';
}

bool isBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Like strtol in base 10, but saturating without touching errno, which the
// caller may still want to read through getErrorStatus.
template <typename Number>
Number parseDecimal(const char *text)
{
    if (text == nullptr)
        return 0;
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    while (isBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    constexpr Number lowest = std::numeric_limits<Number>::min();
    constexpr Number highest = std::numeric_limits<Number>::max();
    // Accumulated as a negative number, so that the lowest value fits.
    Number value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const int digit = *p - '0';
        if (value < (lowest + digit) / 10)
            return negative ? lowest : highest;
        value = static_cast<Number>(value * 10 - digit);
    }
    if (negative)
        return value;
    return value == lowest ? highest : static_cast<Number>(-value);
}

} // namespace

using namespace vexal::socketcom;

extern "C" {

void clearSocketData(SocketData *sd)
{
    if (sd == nullptr)
        return;
    sd->data[0] = kEnd;
    sd->size = 1;
}

int addSocketData(SocketData *sd, const char *text)
{
    if (sd == nullptr || text == nullptr)
        return -1;
    const int s = sd->size;
    if (s < 1 || s > SOCKETDATA_SIZE)
        return -1;
    // The field goes over the old end byte; its separator and a new end byte
    // follow, so it needs length + 1 more bytes.
    const std::size_t length = std::strlen(text);
    const std::size_t room = static_cast<std::size_t>(SOCKETDATA_SIZE - s);
    if (length >= room)
        return -1;
    const int l = static_cast<int>(length);
    std::memcpy(sd->data + s - 1, text, length);
    sd->data[s + l - 1] = kSeparator;
    sd->data[s + l] = kEnd;
    sd->size = s + l + 1;
    return l;
}

int addIntSocketData(SocketData *sd, int value)
{
    char text[SOCKETCOM_INT_TEXT_SIZE];
    int2string(text, value);
    return addSocketData(sd, text);
}

int addBigIntSocketData(SocketData *sd, long long value64)
{
    char text[SOCKETCOM_BIGINT_TEXT_SIZE];
    bigint2string(text, value64);
    return addSocketData(sd, text);
}

void extractSocketData(const char *bytes, int index, char *out)
{
    if (out == nullptr)
        return;
    out[0] = kEnd;
    if (bytes == nullptr || index < 0)
        return;
    // Position of the next separator at or after `from`, or -1 when the end
    // byte or the end of the buffer comes first.
    auto separatorFrom = [bytes](int from) {
        for (int p = from; p < SOCKETDATA_SIZE; ++p) {
            if (bytes[p] == kSeparator)
                return p;
            if (bytes[p] == kEnd)
                return -1;
        }
        return -1;
    };
    int start = 0;
    for (int field = 0; field < index; ++field) {
        const int separator = separatorFrom(start);
        if (separator < 0)
            return;
        start = separator + 1;
    }
    const int separator = separatorFrom(start);
    if (separator < 0)
        return;
    const int length = separator - start;  // at most SOCKETDATA_SIZE - 1
    std::memcpy(out, bytes + start, static_cast<std::size_t>(length));
    out[length] = kEnd;
}

void int2string(char *out, int value) { formatDecimal(out, value, SOCKETCOM_INT_TEXT_SIZE); }

void bigint2string(char *out, long long value64) { formatDecimal(out, value64, SOCKETCOM_BIGINT_TEXT_SIZE); }

int string2int(const char *text) { return parseDecimal<int>(text); }

long long string2bigint(const char *text) { return parseDecimal<long long>(text); }

int writeSocketData(const SocketData *sd)
{
    if (sd == nullptr || sd->size < 1 || sd->size > SOCKETDATA_SIZE)
        return SOCKETCOM_MESSAGE_TOO_LONG;
    return sendData(sd->data, sd->size);
}

int writeSocketDataWithin(const SocketData *sd, int timeoutMs)
{
    if (sd == nullptr || sd->size < 1 || sd->size > SOCKETDATA_SIZE)
        return SOCKETCOM_MESSAGE_TOO_LONG;
    return sendDataWithin(sd->data, sd->size, timeoutMs);
}

int readSocketData(SocketData *sd)
{
    if (sd == nullptr)
        return SOCKETCOM_RECEIVE_FAILED;
    return readMessage(leftOver(), *sd, receiveChunk);
}

void showSocketData(const SocketData *sd)
{
    if (sd == nullptr)
        return;
    std::printf("size = %d\n", sd->size);
    std::fputs("| ", stdout);
    for (int p = 0; p < SOCKETDATA_SIZE && sd->data[p] != kEnd; ++p)
        std::printf("%c | ", sd->data[p]);
    std::fputs(" |\n", stdout);
}

} // extern "C"
