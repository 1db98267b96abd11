// SPDX-License-Identifier: MIT
// The call site of an allocation: the first caller outside the C library,
// the C++ runtime and Vexal, as a source file and line.
#pragma once

#include <cstdint>

namespace vexal::run {

struct CallSite {
    const char *file;  // kept for the life of the process
    int line;
};

// For a call of an interposed function that returns to `returnAddress`.
// False when the call is not the program's to track: libVexal, linked by the
// program itself, made it and tracks it. The caller is busy.
bool findCallSite(const void *returnAddress, CallSite &site) noexcept;

// After a library was unloaded: every address is resolved anew, as another
// library may be loaded where it lay.
void forgetCallSites() noexcept;

// Before and after fork(): the lock of the addresses' table is taken, so that
// a child never starts with it held by a thread it does not have.
void lockCallSites() noexcept;
void unlockCallSites() noexcept;

} // namespace vexal::run
