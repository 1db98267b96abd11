// SPDX-License-Identifier: MIT
#include "Doorbell.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vexal::cli {

Doorbell::Doorbell()
{
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    read_ = ends[0];
    write_ = ends[1];
}

Doorbell::~Doorbell()
{
    close(read_);
    close(write_);
}

void Doorbell::ring()
{
    const char bell = 1;
    // A full pipe has rung already.
    [[maybe_unused]] const ssize_t written = write(write_, &bell, 1);
}

Doorbell::Woke Doorbell::wait(std::optional<Clock::time_point> deadline, int input)
{
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0)
                return Woke::Deadline;
            timeoutMs = int(std::min<long long>(left.count(), 1 << 30));
        }
        pollfd fds[2] = {{read_, POLLIN, 0}, {input, POLLIN, 0}};
        const int ready = poll(fds, input >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "poll");
        if (ready <= 0)
            continue;
        if (fds[0].revents) {
            char drained[64];
            while (read(read_, drained, sizeof drained) > 0) {
            }
            return Woke::Rung;
        }
        return Woke::Input;
    }
}

} // namespace vexal::cli
