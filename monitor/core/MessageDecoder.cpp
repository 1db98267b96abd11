// SPDX-License-Identifier: MIT
#include "MessageDecoder.h"

#include <algorithm>
#include <cstring>

namespace vexal::monitor {

namespace {

class Fields {
public:
    explicit Fields(const char (&message)[SOCKETDATA_SIZE]) : message_(message) {}

    const char *text(int index)
    {
        extractSocketData(message_, index, field_);
        return field_;
    }
    int integer(int index) { return string2int(text(index)); }
    int64_t bigInteger(int index) { return string2bigint(text(index)); }

private:
    const char *message_;
    char field_[SOCKETDATA_SIZE];
};

void readStatus(Fields &fields, TransferRecord &data)
{
    int field = 1;
    for (int64_t &calls : data.calls)
        calls = fields.bigInteger(field++);
    for (int64_t &bytes : data.stillAllocated)
        bytes = fields.bigInteger(field++);
    data.freeFailed = fields.bigInteger(field++);
    data.addressNotStored = fields.bigInteger(field++);
    data.internalUse = fields.bigInteger(field);
}

// A name longer than the record's field is cut to fit with its end byte.
void copyFileName(const char *text, TransferRecord &data)
{
    const std::size_t length = std::min(std::strlen(text), sizeof data.fileName - 1);
    std::memcpy(data.fileName, text, length);
    data.fileName[length] = '\0';
}

void readCallSite(Fields &fields, TransferRecord &data, CallSite &site)
{
    copyFileName(fields.text(1), data);
    data.line = fields.integer(2);
    site.file = QByteArray(data.fileName);
    site.line = data.line;
}

} // namespace

Wake decodeMessage(const char (&message)[SOCKETDATA_SIZE], ReceivedState &state)
{
    Fields fields(message);
    TransferRecord &data = state.data;
    // The whole number decides: a value outside 0 to 8 is not taken modulo
    // anything, it is simply not a message of the protocol.
    switch (fields.integer(0)) {
    case MSG_DISCONNECT:
        state.connected = false;
        state.continuous = false;
        return Wake::Disconnected;
    case MSG_SUMMARY:
        readStatus(fields, data);
        return Wake::SummaryReply;
    case MSG_LIST_START:
        data.listLength = fields.integer(1);
        state.recordsToLoad = data.listLength;
        return Wake::ListReply;
    case MSG_LIST_NEXT:
        data.recordType = fields.integer(1);
        data.recordSize = fields.bigInteger(2);
        data.line = fields.integer(3);
        data.address = fields.bigInteger(4);
        copyFileName(fields.text(5), data);
        data.recordIndex = fields.bigInteger(6);
        data.threadId = fields.integer(7);
        return Wake::ListReply;
    case MSG_LIST_END:
        readStatus(fields, data);
        return Wake::ListReply;
    case MSG_PAUSE:
    case MSG_RELEASE:
        return Wake::ControlReply;
    case MSG_SHOW_STATUS:
        state.continuous = false;
        readCallSite(fields, data, state.statusCall);
        return Wake::StatusCall;
    case MSG_SHOW_LIST:
        state.continuous = false;
        readCallSite(fields, data, state.listCall);
        return Wake::ListCall;
    default:
        return Wake::Nothing;
    }
}

} // namespace vexal::monitor
