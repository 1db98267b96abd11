// SPDX-License-Identifier: MIT
// Lists for the monitor core's tests, built as the library sends them.
#ifndef VEXAL_TESTS_MONITORTESTSUPPORT_H
#define VEXAL_TESTS_MONITORTESTSUPPORT_H

#include "TransferRecord.h"
#include <list/RecordTable.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

struct Received {
    const char *file = "main.c";
    int line = 1;
    int64_t size = 16;
    int64_t index = 0;
    int64_t address = 0x1000;
    int type = 0;
    uint32_t threadId = 1;
};

inline TransferRecord toTransfer(const Received &r)
{
    TransferRecord t{};
    t.command = MSG_LIST_NEXT;
    std::strncpy(t.fileName, r.file, sizeof t.fileName - 1);
    t.line = r.line;
    t.recordSize = r.size;
    t.recordIndex = r.index;
    t.address = r.address;
    t.recordType = r.type;
    t.threadId = int(r.threadId);
    return t;
}

inline vexal::monitor::RecordTable tableOf(std::initializer_list<Received> records)
{
    vexal::monitor::RecordTable table;
    table.reset(qsizetype(records.size()));
    qsizetype i = 0;
    for (const Received &r : records)
        table.setRecord(i++, toTransfer(r));
    return table;
}

#endif // VEXAL_TESTS_MONITORTESTSUPPORT_H
