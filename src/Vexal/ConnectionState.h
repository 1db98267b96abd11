// SPDX-License-Identifier: MIT
// The state of the library's side of the monitor connection: served by the
// communication threads (Communication.cpp), and taken and set up afresh
// around fork() with the library's other locks (Fork.cpp).
#pragma once

#include "Handover.h"
#include "Platform.h"
#include "SocketCom.h"
#include "TransferRecord.h"
#include "VexalInternal.h"

#include <atomic>
#include <mutex>

namespace vexal::comm {

// What the threads of a connection and the report calls tell each other:
// plain flags, read without a lock.
struct ConnectionSwitches {
    std::atomic<int> goOnSending{0};                  // a monitor is being served
    std::atomic<int> clientHasEnabledGlobalMutex{0};  // the receiver holds the global lock for it
    std::atomic<int> freezeEnabled{0};                // it has paused the application
};

inline ConnectionSwitches connection;

// Connection state. Allocated once and never destroyed: the threads may
// still run while the process exits, and must not meet destroyed objects.
struct State {
    std::mutex launchMutex;
    bool launched = false;             // guarded by launchMutex
    platform::Thread thrLauchThreads;  // guarded by launchMutex
    std::atomic<int> portNumber{0};    // read by the launch thread before each listen
    Outbox outbox;
    // Application threads waiting in VexalShowStatus / VexalShowList; each
    // gate counts its waiters, which is what the "request sent to client"
    // flags stood for, so that one list end lets all of them go.
    ReportGate sigStatusRequest;
    ReportGate sigListRequest;
    // The sender's copy of one hand-over and its bytes on the wire, and the
    // receiver's replies not yet handed over: too big for a thread's stack.
    TransferRecord sending[kBatchMax];
    char wire[kBatchMax * SOCKETDATA_SIZE];
    TransferRecord replies[kBatchMax];
};

// The global lock held on the monitor's behalf. Only the receiver takes and
// gives it back, the latter also when the connection ends; the sender never
// does, so the receiver's list walk is never used without the hold.
inline bool holding() { return connection.clientHasEnabledGlobalMutex.load() != 0; }

inline void takeHold()
{
    tracking.mutGlobalData.lock();
    connection.clientHasEnabledGlobalMutex.store(1);
}

inline void releaseHold()
{
    if (connection.clientHasEnabledGlobalMutex.exchange(0) != 0)
        tracking.mutGlobalData.unlock();
}

inline State &state()
{
    static State *instance = new State;
    return *instance;
}

} // namespace vexal::comm
