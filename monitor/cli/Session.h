// SPDX-License-Identifier: MIT
// vxl's one connection to the application, on the monitor core's
// Connection: connecting with the port scan, requests bounded by the
// reply time-out, a pause that is always released, the application's own
// report calls, the end on a signal, and the one-line error of each failure.
#pragma once

#include "Doorbell.h"
#include "Options.h"
#include "SignalWatcher.h"

#include <connection/Connection.h>

#include <QString>

#include <deque>
#include <mutex>

namespace vexal::cli {

enum class Outcome { Done, Interrupted, NotReachable, Lost, TimedOut };

class Session : private monitor::ConnectionListener {
public:
    Session(const Target &target, SignalWatcher &watcher);
    ~Session() override;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Tries the target's port and the scanned ones after it, again and
    // again until the target's wait has passed. Says on standard error
    // which port answered when it was not the first.
    Outcome open();

    // Sends a command and waits, bounded, for its reply; `what` says what
    // was going on, for an error line ("waiting for the summary").
    Outcome request(monitor::Connection::Request request, const char *what);
    // After a pause the application is held until release() or close().
    Outcome pause();
    Outcome release();
    // Releases a pause still held, disconnects and waits for the threads.
    void close();

    // Waits `period`; false when interrupted or the connection ended first.
    bool sleep(std::chrono::milliseconds period);

    enum class Event { StatusCall, ListCall, Ended, Interrupted };
    // The application's next report call, in the order they came.
    Event nextEvent();

    enum class HoldEnd { Released, Interrupted, Lost };
    // Until Enter on standard input, a signal, the end of the connection,
    // or `limit` if given.
    HoldEnd hold(std::optional<std::chrono::milliseconds> limit);

    bool interrupted() const { return signals_.caught() != 0; }
    // A failure of a request or of a wait: interrupted, lost or timed out.
    Outcome failure();
    // Prints the error line of a failed outcome and gives the exit status.
    int fail(Outcome outcome);
    // What is going on, for the error line of a loss ("following the application").
    void setActivity(const char *what) { what_ = what; }

    monitor::Connection &connection() { return connection_; }
    const Target &target() const { return target_; }
    // "127.0.0.1 port 5914": the port that answered, once connected.
    QString where() const;

private:
    void connectionLost() override;
    void reportCall(monitor::Wake which, bool continuousWasRunning) override;
    void interrupt();

    const Target target_;
    SignalWatcher &signals_;
    Doorbell bell_;
    int port_;
    QString connectError_;
    const char *what_ = "";

    std::mutex mutex_;  // the members below
    std::deque<Event> calls_;
    bool holdsPause_ = false;
    bool closed_ = false;

    monitor::Connection connection_;  // last: its threads call back into the members above
};

} // namespace vexal::cli
