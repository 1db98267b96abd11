// SPDX-License-Identifier: MIT
#include "CommandQueue.h"

#include <Protocol.h>

#include <algorithm>
#include <cstring>

namespace vexal::monitor {

bool CommandQueue::write(const Command &command)
{
    SocketData one;
    if (command.number == MSG_SITES)
        protocol::encodeSitesRequest(command.sinceIndex, one);
    else
        protocol::encodeCommand(command.number, one);
    int copies = command.copies;
    const int perWrite = SOCKETDATA_SIZE / one.size;
    while (copies > 0) {
        const int now = std::min(copies, perWrite);
        SocketData batch;
        for (int i = 0; i < now; ++i)
            std::memcpy(batch.data + i * one.size, one.data, static_cast<std::size_t>(one.size));
        batch.size = now * one.size;
        if (writeSocketData(&batch) != SOCKETCOM_OK)
            return false;
        copies -= now;
    }
    return true;
}

} // namespace vexal::monitor
