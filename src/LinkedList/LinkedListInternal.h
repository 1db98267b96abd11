// SPDX-License-Identifier: MIT
// Non-allocating list primitives for owners that embed their links in their
// own storage (the tracking core pools links together with its records).
#pragma once

#include "LinkedList.h"

namespace vexal::list {

// Puts `fresh` next to `at` by the same rule as LinkedListAdd. `fresh` must
// not be in a list.
void insert(Link *at, int position, Link *fresh) noexcept;

// Takes a data link out of its list without freeing it.
void unlink(Link *link) noexcept;

// Detaches every data link between two anchors without freeing any, leaving
// the anchors linked to each other.
void detachAll(Link *start, Link *stop) noexcept;

} // namespace vexal::list
