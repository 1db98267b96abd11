// SPDX-License-Identifier: MIT
// What a return address stands for: the module it lies in and, from that
// module's debug information, the source file and line of the call.
#pragma once

#include <cstdint>

namespace vexal::run {

enum class ModuleKind : std::uint8_t {
    Program,  // anything not below: the program and its own libraries
    Runtime,  // the C library, the loader, the C++ runtime, and code the
              // program compiled from their headers: not a call site
    Own,      // this library
    Vexal,    // libVexal, linked by the program itself: it tracks its calls
};

struct SiteInfo {
    ModuleKind kind;
    const char *file;  // the source file, or "module+0xoffset" without debug information
    int line;          // 0 without debug information
};

// Resolves one return address. Slow (it may read the module's debug
// information); the caller keeps the result. Callers take turns, and are
// busy. Null when memory runs out.
const SiteInfo *resolveSite(std::uintptr_t returnAddress) noexcept;

// The kind of a module by its file name (with or without directory).
ModuleKind moduleKind(const char *path) noexcept;

} // namespace vexal::run
