// SPDX-License-Identifier: MIT
// Whether the calling thread is inside the library. Everything the library
// allocates for itself, and everything the C library, libdw or libunwind
// allocate while it works, comes back through the interposed functions; a
// busy thread's calls go straight to the C library, untracked.
#pragma once

namespace vexal::run {

// Initial-exec: reading it is one load from the thread pointer, and it never
// allocates (a dynamic TLS access may call malloc on a thread's first use).
extern __thread int busyDepth __attribute__((tls_model("initial-exec")));

inline bool busy() noexcept { return busyDepth != 0; }

class Busy {
public:
    Busy() noexcept { ++busyDepth; }
    ~Busy() { --busyDepth; }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;
};

} // namespace vexal::run
