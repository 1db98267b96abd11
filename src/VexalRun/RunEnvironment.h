// SPDX-License-Identifier: MIT
// What vexal-run tells the preload library it starts a program with: the
// library's file name and the environment variables that carry the options.
#pragma once

namespace vexal::run {

// Installed beside libVexal; vexal-run finds it relative to itself.
inline constexpr const char *kPreloadFileName = "libVexalPreload.so";

inline constexpr const char *kEnvPort = "VEXAL_RUN_PORT";              // serve a monitor on this port
inline constexpr const char *kEnvListen = "VEXAL_LISTEN";              // the address the library listens on
inline constexpr const char *kEnvLog = "VEXAL_RUN_LOG";                // "1": log every call
inline constexpr const char *kEnvOutput = "VEXAL_RUN_OUTPUT";          // log and reports to this file
inline constexpr const char *kEnvListAtExit = "VEXAL_RUN_LIST_AT_EXIT";  // "1": reports at exit
inline constexpr const char *kEnvChildren = "VEXAL_RUN_CHILDREN";      // "1": executed programs are tracked too
// The pipe on which the started program tells vexal-run its live blocks and
// bytes at exit: "BLOCKS BYTES\n".
inline constexpr const char *kEnvStatusFd = "VEXAL_RUN_STATUS_FD";

inline constexpr const char *kEnvPreload = "LD_PRELOAD";

} // namespace vexal::run
