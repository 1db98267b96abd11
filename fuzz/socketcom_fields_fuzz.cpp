// SPDX-License-Identifier: MIT
// Fuzz target for the message field functions. The input is used whole as
// text for the number and address parsers, as a raw 1024-byte message for
// extraction, and cut at its 0 and 1 bytes into fields for building.
//
// Checked: numbers parse as strtoll does (saturating), int ones clamped;
// an address is accepted exactly when it is four dot-separated groups of at
// most three digits worth at most 255; extraction returns the bytes between
// separators and stays in its buffers; every field that was added reads back.
#include "SocketCom.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "socketcom_fields_fuzz: %s\n", what);
        std::abort();
    }
}

void checkNumbers(const std::string &text)
{
    const int savedErrno = errno;
    const long long expected = std::strtoll(text.c_str(), nullptr, 10);
    errno = savedErrno;
    check(string2bigint(text.c_str()) == expected, "string2bigint differs from strtoll");
    const long long clamped = expected < INT_MIN ? INT_MIN : expected > INT_MAX ? INT_MAX : expected;
    check(string2int(text.c_str()) == clamped, "string2int differs from clamped strtoll");
}

void checkAddress(const std::string &text)
{
    bool wellFormed = true;
    int groups = 1, digits = 0, value = 0, parsed[4] = {0, 0, 0, 0};
    for (char c : text) {
        if (c == '.') {
            if (++groups > 4)
                wellFormed = false;
            digits = value = 0;
        } else if (c >= '0' && c <= '9' && digits < 3) {
            ++digits;
            value = value * 10 + (c - '0');
            if (value > 255)
                wellFormed = false;
            else if (groups <= 4)
                parsed[groups - 1] = value;
        } else {
            wellFormed = false;
        }
    }
    wellFormed = wellFormed && groups == 4;
    int octets[4] = {-1, -1, -1, -1};
    const int valid = string2IP4(text.c_str(), octets);
    check(valid == (wellFormed ? 1 : 0), "string2IP4 accepts the wrong texts");
    if (valid)
        check(std::memcmp(octets, parsed, sizeof parsed) == 0, "string2IP4 octets wrong");
}

void checkExtraction(const std::uint8_t *data, std::size_t size)
{
    // Exactly sized blocks, so that any step past them is caught.
    auto message = std::make_unique<char[]>(SOCKETDATA_SIZE);
    auto out = std::make_unique<char[]>(SOCKETDATA_SIZE);
    std::memset(message.get(), 'm', SOCKETDATA_SIZE);
    if (size > 0)
        std::memcpy(message.get(), data, size < SOCKETDATA_SIZE ? size : SOCKETDATA_SIZE);
    const int lastIndex = size > 0 ? static_cast<int>(data[0] % 64) : 0;
    int start = 0;
    for (int index = -1; index <= lastIndex; ++index) {
        extractSocketData(message.get(), index, out.get());
        const std::size_t length = std::strlen(out.get());
        check(length < SOCKETDATA_SIZE, "extracted field too long");
        if (index < 0) {
            check(length == 0, "negative index gave a field");
            continue;
        }
        // The field must be closed by a separator before any end byte.
        int p = start;
        while (p >= 0 && p < SOCKETDATA_SIZE && message[p] != '\x01' && message[p] != '\0')
            ++p;
        const bool present = p >= 0 && p < SOCKETDATA_SIZE && message[p] == '\x01';
        if (present) {
            check(length == static_cast<std::size_t>(p - start) && std::memcmp(out.get(), message.get() + start, length) == 0,
                  "extracted field differs");
            start = p + 1;
        } else {
            check(length == 0, "missing field not empty");
            start = -1;
        }
    }
}

void checkBuilding(const std::uint8_t *data, std::size_t size)
{
    SocketData sd;
    clearSocketData(&sd);
    std::vector<std::string> added;
    std::string current;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] > 1) {
            current += static_cast<char>(data[i]);
            continue;
        }
        const SocketData before = sd;
        const int result = addSocketData(&sd, current.c_str());
        check(sd.size >= 1 && sd.size <= SOCKETDATA_SIZE, "built size out of bounds");
        if (result < 0) {
            check(std::memcmp(&before, &sd, sizeof sd) == 0, "refused field changed the message");
        } else {
            check(result == static_cast<int>(current.size()), "wrong field length");
            added.push_back(current);
        }
        current.clear();
    }
    char out[SOCKETDATA_SIZE];
    for (std::size_t i = 0; i < added.size(); ++i) {
        extractSocketData(sd.data, static_cast<int>(i), out);
        check(added[i] == out, "added field does not read back");
    }
    extractSocketData(sd.data, static_cast<int>(added.size()), out);
    check(out[0] == '\0', "field past the last one not empty");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text = size > 0 ? std::string(reinterpret_cast<const char *>(data), size) : std::string();
    const std::string upToZero(text.c_str());
    checkNumbers(upToZero);
    checkAddress(upToZero);
    checkExtraction(data, size);
    checkBuilding(data, size);
    return 0;
}
