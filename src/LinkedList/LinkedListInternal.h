// SPDX-License-Identifier: MIT
// Non-allocating list primitives for owners that embed their links in their
// own storage (the tracking core pools links together with its records).
#pragma once

#include "LinkedList.h"

namespace vexal::list {

// Both are inline: the tracking core calls them for every record it makes
// and drops.

// Puts `fresh` next to `at` by the same rule as LinkedListAdd. `fresh` must
// not be in a list.
inline void insert(Link *at, int position, Link *fresh) noexcept
{
    const bool before = (position == 0 && at->prev != nullptr) || (position == 1 && at->next == nullptr);
    if (before) {
        fresh->next = at;
        fresh->prev = at->prev;
        at->prev->next = fresh;
        at->prev = fresh;
    } else {
        fresh->next = at->next;
        fresh->prev = at;
        if (at->next != nullptr)
            at->next->prev = fresh;
        at->next = fresh;
    }
}

// Takes a data link out of its list without freeing it.
inline void unlink(Link *link) noexcept
{
    link->prev->next = link->next;
    link->next->prev = link->prev;
    link->prev = nullptr;
    link->next = nullptr;
}

// Detaches every data link between two anchors without freeing any, leaving
// the anchors linked to each other.
void detachAll(Link *start, Link *stop) noexcept;

} // namespace vexal::list
