// SPDX-License-Identifier: MIT
// The library's side of the monitor connection: a launch thread that listens
// and, per connection, a sender and a receiver.
#pragma once

namespace vexal::comm {

// Starts the launch thread on `port` unless it already runs (one per
// process; it reads the port anew before every listen, so a running thread
// takes `port` for its next listen). False when the thread cannot be started.
bool launch(int port);

// Called with the global lock held. When a monitor is being served, announces
// a VexalShowStatus (7) or VexalShowList (8) call to it, gives the lock back
// (the caller's own levels of it, if any, are taken again afterwards) and
// waits, bounded, until the monitor has fetched the data; returns true,
// and *signalled says whether the wait ended before its time ran out.
// Otherwise (also when the notice could not be sent) returns false with the
// lock still held: the caller prints locally.
bool announceReport(int message, const char *file, int line, bool *signalled);

// VexalFinish: lets go of the launch thread's handle. The thread runs on.
void closeThreadHandles();

} // namespace vexal::comm
