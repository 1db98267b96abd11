// SPDX-License-Identifier: MIT
// The commands the monitor asked for and has not yet written, in the order
// asked: the window, the summary ticker and the leak sites' refresh never
// lose one another's requests. Filled under the communication lock, taken
// and written by the sending thread.
#pragma once

#include <utility>
#include <vector>

namespace vexal::monitor {

class CommandQueue {
public:
    // `copies` messages of the command `number` (with its bound for a sites
    // request).
    struct Command {
        int number;
        int copies;
        long long sinceIndex;
    };

    // Joined to the last command when `joinSameKind` and of its kind, so
    // that they leave in one write.
    void add(const Command &command, bool joinSameKind)
    {
        if (joinSameKind && !pending_.empty() && pending_.back().number == command.number)
            pending_.back().copies += command.copies;
        else
            pending_.push_back(command);
    }
    // Drops what is queued: nothing goes out before (or after) a disconnect.
    void replaceAll(const Command &command) { pending_.assign(1, command); }
    void clear() { pending_.clear(); }
    std::vector<Command> take() { return std::exchange(pending_, {}); }

    // Writes the command's messages, as many in each write as a message area
    // holds: the bytes on the wire are those of single messages, one after
    // the other. False when a write failed.
    static bool write(const Command &command);

private:
    std::vector<Command> pending_;
};

} // namespace vexal::monitor
