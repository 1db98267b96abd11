// SPDX-License-Identifier: MIT
#include "SignalWatcher.h"

#include "ExitStatus.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>

namespace vexal::cli {

namespace {

sigset_t endingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

SignalWatcher::SignalWatcher()
{
    std::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = endingSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    thread_ = std::thread([this] { watch(); });
}

SignalWatcher::~SignalWatcher()
{
    stopping_ = true;
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
}

void SignalWatcher::setHandler(std::function<void(int)> handler)
{
    std::lock_guard lock(handlerMutex_);
    handler_ = std::move(handler);
}

void SignalWatcher::watch()
{
    const sigset_t set = endingSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0 || stopping_)
            return;
        // A second signal, or one before anything is connected, is not
        // waited for: the user wants out now.
        int none = 0;
        if (exitAtOnce_ || !caught_.compare_exchange_strong(none, signal))
            _exit(exitStatusForSignal(signal));
        std::lock_guard lock(handlerMutex_);
        if (handler_)
            handler_(signal);
    }
}

} // namespace vexal::cli
