// SPDX-License-Identifier: MIT
// The monitor's copy of one live allocation of the application.
#pragma once

#include <cstdint>

namespace vexal::monitor {

// A million of these must fit the monitor's memory budget, so the file name
// is an id into the owning table's pool of names: the records of one call
// site share one name. 40 bytes a record.
struct ListRecord {
    int64_t size = 0;      // bytes of the block
    int64_t index = 0;     // the library's running index when the record was made
    int64_t address = 0;   // the block's address as a signed number
    int32_t line = 0;
    uint32_t threadId = 0; // shown signed, sorted unsigned
    uint32_t fileId = 0;   // into RecordTable's file-name pool
    int32_t type = 0;      // the MemoryAccessType number as received
};

static_assert(sizeof(ListRecord) == 40, "keep the record small: a million are held at once");

} // namespace vexal::monitor
