// SPDX-License-Identifier: MIT
#include "Protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexal::protocol {

namespace {

constexpr char kSeparator = '\x01';

// Appends fields to the message being built: the encoder's side.
class Writer {
public:
    explicit Writer(SocketData &out) : out_(out) {}

    void int32(int value) { addIntSocketData(&out_, value); }
    void int64(std::int64_t value) { addBigIntSocketData(&out_, value); }
    // Reads no further than the field. The separator byte would split the
    // field in two and shift every later one: it goes out as '?'.
    void text(const char (&field)[TRANSFER_FILENAME_SIZE])
    {
        char escaped[TRANSFER_FILENAME_SIZE];
        std::size_t i = 0;
        for (; i < sizeof field - 1 && field[i] != '\0'; ++i)
            escaped[i] = field[i] == kSeparator ? '?' : field[i];
        escaped[i] = '\0';
        addSocketData(&out_, escaped);
    }

private:
    SocketData &out_;
};

// Takes a received message's fields in order, from field 1 on: the
// decoder's side. A missing field reads as empty text, and so as 0. Each
// field is found from where the last one ended: a list of a million
// records is decoded field by field, not from the start of each message
// again for each field.
class Reader {
public:
    explicit Reader(const char (&bytes)[SOCKETDATA_SIZE]) : bytes_(bytes) { skip(); }

    void int32(int &value) { value = string2int(next()); }
    void int64(std::int64_t &value) { value = string2bigint(next()); }
    void text(char (&field)[TRANSFER_FILENAME_SIZE]) { copyFileName(field, next()); }

private:
    // The end of the field that starts at start_ (its separator), or -1 when
    // the message ends first; the message's end ends every later field too.
    int fieldEnd()
    {
        for (int p = start_; p >= 0 && p < SOCKETDATA_SIZE; ++p) {
            if (bytes_[p] == kSeparator)
                return p;
            if (bytes_[p] == '\0')
                break;
        }
        start_ = -1;
        return -1;
    }
    void skip()
    {
        if (const int end = fieldEnd(); end >= 0)
            start_ = end + 1;
    }
    const char *next()
    {
        field_[0] = '\0';
        if (const int end = fieldEnd(); end >= 0) {
            std::memcpy(field_, bytes_ + start_, std::size_t(end - start_));
            field_[end - start_] = '\0';
            start_ = end + 1;
        }
        return field_;
    }

    const char *bytes_;
    int start_ = 0;  // of the next field; -1 once the message ended
    char field_[SOCKETDATA_SIZE];
};

// The fields of each message after its number, in their order on the wire.
// Written once for both directions: Fields is a Writer (Record const) or a
// Reader, so encoder and decoder cannot drift apart.

template <class Fields, class Record>
void statusFields(Fields &fields, Record &r)
{
    for (auto &calls : r.calls)
        fields.int64(calls);
    for (auto &bytes : r.stillAllocated)
        fields.int64(bytes);
    fields.int64(r.freeFailed);
    fields.int64(r.addressNotStored);
    fields.int64(r.internalUse);
}

template <class Fields, class Record>
void listLengthFields(Fields &fields, Record &r)
{
    fields.int32(r.listLength);
}

template <class Fields, class Record>
void listRecordFields(Fields &fields, Record &r)
{
    fields.int32(r.recordType);
    fields.int64(r.recordSize);
    fields.int32(r.line);
    fields.int64(r.address);
    fields.text(r.fileName);
    fields.int64(r.recordIndex);
    fields.int32(r.threadId);
}

template <class Fields, class Record>
void callSiteFields(Fields &fields, Record &r)
{
    fields.text(r.fileName);
    fields.int32(r.line);
}

template <class Fields, class Record>
void sitesRequestFields(Fields &fields, Record &r)
{
    fields.int64(r.sinceIndex);
}

template <class Fields, class Record>
void siteFields(Fields &fields, Record &r)
{
    fields.text(r.fileName);
    fields.int32(r.line);
    fields.int32(r.recordType);
    fields.int64(r.siteBlocks);
    fields.int64(r.siteBytes);
    fields.int64(r.firstIndex);
    fields.int64(r.lastIndex);
}

template <class Fields, class Record>
void sitesEndFields(Fields &fields, Record &r)
{
    fields.int64(r.siteCount);
    fields.int64(r.siteBlocks);
    fields.int64(r.siteBytes);
    fields.int64(r.nextIndex);
}

template <class Fields, class Record>
void messageFields(int number, Fields &fields, Record &r)
{
    switch (number) {
    case MSG_SUMMARY:
    case MSG_LIST_END:
        statusFields(fields, r);
        break;
    case MSG_LIST_START:
        listLengthFields(fields, r);
        break;
    case MSG_LIST_NEXT:
        listRecordFields(fields, r);
        break;
    case MSG_SHOW_STATUS:
    case MSG_SHOW_LIST:
        callSiteFields(fields, r);
        break;
    case MSG_SITES:
        siteFields(fields, r);
        break;
    case MSG_SITES_END:
        sitesEndFields(fields, r);
        break;
    default:  // 0, 5 and 6 carry nothing; other numbers are no message
        break;
    }
}

} // namespace

void encodeCommand(int command, SocketData &out)
{
    clearSocketData(&out);
    addIntSocketData(&out, command);
}

int decodeCommand(const char (&bytes)[SOCKETDATA_SIZE])
{
    char field[SOCKETDATA_SIZE];
    extractSocketData(bytes, 0, field);
    return string2int(field);
}

void encodeSitesRequest(std::int64_t sinceIndex, SocketData &out)
{
    encodeCommand(MSG_SITES, out);
    TransferRecord request{};
    request.sinceIndex = sinceIndex;
    Writer writer(out);
    sitesRequestFields(writer, request);
}

std::int64_t decodeSitesRequest(const char (&bytes)[SOCKETDATA_SIZE])
{
    TransferRecord request{};
    Reader reader(bytes);
    sitesRequestFields(reader, request);
    return request.sinceIndex < 0 ? 0 : request.sinceIndex;
}

bool encodeReply(const TransferRecord &message, SocketData &out)
{
    encodeCommand(message.command, out);
    Writer writer(out);
    messageFields(message.command, writer, message);
    return isMessage(message.command);
}

int decodeReply(const char (&bytes)[SOCKETDATA_SIZE], TransferRecord &into)
{
    const int number = decodeCommand(bytes);
    Reader reader(bytes);
    messageFields(number, reader, into);
    return number;
}

void copyFileName(char (&field)[TRANSFER_FILENAME_SIZE], const char *file)
{
    std::size_t length = 0;
    for (; file != nullptr && file[length] != '\0' && length < sizeof field - 1; ++length)
        field[length] = file[length];
    field[length] = '\0';
}

} // namespace vexal::protocol
