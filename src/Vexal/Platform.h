// SPDX-License-Identifier: MIT
// The seam between the tracking core and the host: the real memory
// functions, which release function frees which kind, the log line's type
// names, the thread id, and the memory of the library's own tables and
// record slabs (allocPages/freePages). One implementation per build.
#pragma once

#if defined(_WIN32)
#include "PlatformWindows.h"
#else
#include "PlatformPosix.h"
#endif
