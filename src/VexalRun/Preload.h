// SPDX-License-Identifier: MIT
// The preload library's switch between passing calls through and tracking
// them.
#pragma once

#include <atomic>

namespace vexal::run {

// Set once the library has started (before the program's own constructors
// run), cleared when it finishes at exit. Before and after, every call goes
// to the C library untracked.
extern std::atomic<bool> preloadTracking;

inline bool trackingCalls() noexcept { return preloadTracking.load(std::memory_order_relaxed); }

} // namespace vexal::run
