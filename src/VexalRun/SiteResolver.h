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

// The loaded object that holds an address, as the loader knows it.
struct LoadedModule {
    const char *path;    // null: none
    std::uintptr_t bias;  // its load address
};

// Asks the loader (taking its lock: never while holding a lock that a
// thread inside the loader may wait for when it allocates).
LoadedModule loadedModuleAt(std::uintptr_t address) noexcept;

// Resolves one return address in `module` (loadedModuleAt's). Slow (it may
// read the module's debug information); the caller keeps the result.
// Callers take turns, and are busy. Null when memory runs out.
const SiteInfo *resolveSite(std::uintptr_t returnAddress, const LoadedModule &module) noexcept;

// The modules are read again before the next address is resolved (a
// library was unloaded: another may now lie where it lay). Callers take
// turns with resolveSite.
void forgetModules() noexcept;

// The kind of a module by its file name (with or without directory).
ModuleKind moduleKind(const char *path) noexcept;

} // namespace vexal::run
