// SPDX-License-Identifier: MIT
// The seam between the tracking core and the host. One implementation per
// build; each provides, in namespace vexal::platform:
//
//   CoreLock                  the type of the global lock
//   alloc*, releaseFree       the real memory functions (Windows: inside the
//                             exception guard, and its own family besides)
//   allocPages, discardPages, freePages, kHugePage
//                             zeroed, self-aligned memory for the library's
//                             own tables and record slabs, and giving part
//                             of it back early (mappingFor, below, sizes a
//                             request)
//   releaseKindOf, releaseBlock
//                             which release function frees which kind, and
//                             calling it
//   kLogTypeNames, threadId   the log line's type names, the thread id
//   sameFileName, indexSelected
//                             VexalFreeThese's file and index filters
//   reportResult, largerUnits what the reports return, and their units
//   print, VXL_I64            the output's printf and its 64-bit modifier
//   Thread                    a thread of the monitor connection
#pragma once

#if defined(_WIN32)
#include "PlatformWindows.h"
#else
#include "PlatformPosix.h"
#endif

namespace vexal::platform {

// The bytes to ask allocPages for to hold `bytes`: a power of two. Only the
// pages touched become resident.
inline std::size_t mappingFor(std::size_t bytes)
{
    std::size_t size = 1;
    while (size < bytes)
        size *= 2;
    return size;
}

// The name of a kind in a log or list line: the build's own table.
inline const char *logTypeName(int type)
{
    const char *name = type >= 0 && type < 12 ? kLogTypeNames[type] : nullptr;
    return name != nullptr ? name : "Unknown type";
}

} // namespace vexal::platform
