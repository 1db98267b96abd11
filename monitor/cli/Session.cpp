// SPDX-License-Identifier: MIT
#include "Session.h"

#include "Console.h"
#include "ExitStatus.h"

#include <unistd.h>

#include <cstring>
#include <thread>

namespace vexal::cli {

using monitor::Connection;

namespace {

// Between two rounds over the ports while waiting for the application.
constexpr std::chrono::milliseconds kConnectRetry{20};
// After a release, the library gets this long before the disconnect, as
// the window gives it.
constexpr std::chrono::milliseconds kReleaseSettle{100};

QString portRange(int first, int last)
{
    return first == last ? QStringLiteral("port %1").arg(first) : QStringLiteral("ports %1 to %2").arg(first).arg(last);
}

// Standard input can say Enter unless it is a terminal this process may not
// read (a background job would be stopped by reading it).
int enterSource()
{
    if (isTerminal(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) != getpgrp())
        return -1;
    return STDIN_FILENO;
}

} // namespace

Session::Session(const Target &target, SignalWatcher &watcher)
    : target_(target), signals_(watcher), port_(target.port), connection_(this)
{
    signals_.setHandler([this](int) { interrupt(); });
}

Session::~Session()
{
    signals_.setHandler({});
    close();
}

QString Session::where() const
{
    return QString::fromLatin1(target_.address) + QStringLiteral(" port ") + QString::number(port_);
}

Outcome Session::open()
{
    const int first = target_.port;
    const int last = target_.port + target_.scan;
    const Clock::time_point deadline = Clock::now() + target_.wait;
    signals_.setExitAtOnce(true);
    for (;;) {
        for (int port = first; port <= last; ++port) {
            const Connection::OpenResult result = connection_.connectEndpoint(target_.address, port);
            if (result == Connection::OpenResult::NotReachable)
                continue;
            port_ = port;
            if (result == Connection::OpenResult::Connected && connection_.startThreads() == Connection::OpenResult::Connected) {
                signals_.setExitAtOnce(false);
                if (port != first)
                    say(QStringLiteral("nothing answered on %1 of %2; connected on port %3")
                            .arg(portRange(first, port - 1), QString::fromLatin1(target_.address))
                            .arg(port));
                return Outcome::Done;
            }
            connectError_ = result == Connection::OpenResult::SocketFailed
                                ? QStringLiteral("could not set up a socket to connect to %1").arg(where())
                                : QStringLiteral("could not start the connection to %1").arg(where());
            return Outcome::NotReachable;
        }
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::min<Clock::duration>(kConnectRetry, deadline - Clock::now()));
    }
    connectError_ = QStringLiteral("could not connect to %1 on %2")
                        .arg(QString::fromLatin1(target_.address), portRange(first, last));
    if (target_.wait.count() > 0)
        connectError_ += QStringLiteral(" within %1 ms").arg(target_.wait.count());
    return Outcome::NotReachable;
}

Outcome Session::request(Connection::Request request, const char *what)
{
    what_ = what;
    return connection_.request(request, target_.timeout) ? Outcome::Done : failure();
}

Outcome Session::failure()
{
    if (interrupted())
        return Outcome::Interrupted;
    return connection_.isConnected() ? Outcome::TimedOut : Outcome::Lost;
}

Outcome Session::pause()
{
    {
        std::lock_guard lock(mutex_);
        holdsPause_ = true;
    }
    return request(Connection::Request::Pause, "waiting for the pause");
}

Outcome Session::release()
{
    const Outcome outcome = request(Connection::Request::Release, "waiting for the release");
    std::lock_guard lock(mutex_);
    holdsPause_ = false;
    return outcome;
}

void Session::close()
{
    bool paused = false;
    {
        std::lock_guard lock(mutex_);
        if (std::exchange(closed_, true))
            return;
        paused = holdsPause_;
    }
    // The library would give its hold back when the connection ends; the
    // release says so before that.
    if (paused && connection_.isConnected() && release() == Outcome::Done)
        std::this_thread::sleep_for(kReleaseSettle);
    connection_.sendDisconnect();
    connection_.awaitSenderEnd();
    connection_.awaitReceiverEnd(target_.timeout);
}

bool Session::sleep(std::chrono::milliseconds period)
{
    const Clock::time_point deadline = Clock::now() + period;
    while (!interrupted() && connection_.isConnected()) {
        if (bell_.wait(deadline) == Doorbell::Woke::Deadline)
            return true;
    }
    return false;
}

Session::Event Session::nextEvent()
{
    for (;;) {
        if (interrupted())
            return Event::Interrupted;
        {
            std::lock_guard lock(mutex_);
            if (!calls_.empty()) {
                const Event call = calls_.front();
                calls_.pop_front();
                return call;
            }
        }
        if (!connection_.isConnected())
            return Event::Ended;
        bell_.wait(std::nullopt);
    }
}

Session::HoldEnd Session::hold(std::optional<std::chrono::milliseconds> limit)
{
    std::optional<Clock::time_point> deadline;
    if (limit)
        deadline = Clock::now() + *limit;
    int input = enterSource();
    what_ = "holding the pause";
    for (;;) {
        if (interrupted())
            return HoldEnd::Interrupted;
        if (!connection_.isConnected())
            return HoldEnd::Lost;
        switch (bell_.wait(deadline, input)) {
        case Doorbell::Woke::Deadline:
            return HoldEnd::Released;
        case Doorbell::Woke::Input: {
            char typed[256];
            const ssize_t count = read(input, typed, sizeof typed);
            // The end of the input is no Enter: the hold goes on.
            if (count <= 0)
                input = -1;
            else if (std::memchr(typed, '\n', size_t(count)))
                return HoldEnd::Released;
            break;
        }
        case Doorbell::Woke::Rung:
            break;
        }
    }
}

int Session::fail(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return kDone;
    case Outcome::Interrupted:
        say(QStringLiteral("interrupted; disconnected from %1").arg(where()));
        return exitStatusForSignal(signals_.caught());
    case Outcome::NotReachable:
        say(connectError_);
        return kNotReachable;
    case Outcome::Lost:
        say(QStringLiteral("lost the connection to %1 while %2").arg(where(), QLatin1String(what_)));
        return kNotReachable;
    case Outcome::TimedOut:
        say(QStringLiteral("no reply from %1 within %2 ms while %3")
                .arg(where())
                .arg(target_.timeout.count())
                .arg(QLatin1String(what_)));
        return kTimedOut;
    }
    return kNotReachable;
}

void Session::connectionLost()
{
    // As the window's disconnect after a loss: the sending thread is let go
    // and every wait for a reply ends at once.
    connection_.sendDisconnect();
    bell_.ring();
}

void Session::reportCall(monitor::Wake which, bool)
{
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(which == monitor::Wake::StatusCall ? Event::StatusCall : Event::ListCall);
    }
    bell_.ring();
}

void Session::interrupt()
{
    bool holdsPause = false;
    {
        std::lock_guard lock(mutex_);
        holdsPause = holdsPause_;
    }
    // The main thread releases a pause it holds before it disconnects;
    // otherwise the disconnect goes now, and every wait ends with it.
    if (!holdsPause)
        connection_.sendDisconnect();
    bell_.ring();
}

} // namespace vexal::cli
