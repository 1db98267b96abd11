// SPDX-License-Identifier: MIT
// What the monitor's threads share about the connection: the pending command,
// the values of the last replies, the flags and the application's call sites.
// Guarded by the connection's communication lock (Connection::locked).
#pragma once

#include <QByteArray>

#include <TransferRecord.h>

namespace vexal::monitor {

// Where the application called VexalShowStatus or VexalShowList; the file
// name is kept as the bytes received.
struct CallSite {
    QByteArray file;
    int line = 0;

    bool operator==(const CallSite &) const = default;
};

struct ReceivedState {
    // `command` is the pending command to send; the other fields hold the
    // values of the last status reply, list length and list record.
    TransferRecord data{};
    bool connected = false;
    bool continuous = false;
    CallSite statusCall;
    CallSite listCall;
    int recordsToLoad = 0;
};

} // namespace vexal::monitor
