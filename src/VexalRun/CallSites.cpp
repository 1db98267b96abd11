// SPDX-License-Identifier: MIT
// Call sites: every return address is resolved once and kept; the tracked
// call itself only reads the table. A call made from inside the C library or
// the C++ runtime (getline, operator new, fopen) walks the stack with
// libunwind to the first frame outside them.
#include "CallSites.h"

#include "SiteResolver.h"
#include "SiteTable.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <mutex>

namespace vexal::run {
namespace {

SiteTable<SiteInfo> sites;
std::mutex resolving;  // one resolver at a time; libdwfl is not thread-safe

const SiteInfo *infoFor(std::uintptr_t address) noexcept
{
    if (const SiteInfo *info = sites.find(address))
        return info;
    // Before the resolvers' lock: a thread inside the loader (dlopen) that
    // allocates may wait for that lock while holding the loader's.
    const LoadedModule module = loadedModuleAt(address);
    std::lock_guard<std::mutex> guard(resolving);
    if (const SiteInfo *info = sites.find(address))
        return info;
    const SiteInfo *info = resolveSite(address, module);
    if (info != nullptr && !sites.insert(address, info))
        info = nullptr;  // kept by no one: resolved again next time
    return info;
}

// Frames walked for a call from inside the runtime: operator new or getline
// are a frame or two deep; a first, short walk is cheaper.
constexpr int kShortWalk = 8;
constexpr int kLongWalk = 64;

enum class Walk { Found, NotOurs, Deeper, Ended };

Walk walk(int depth, CallSite &site) noexcept
{
    void *frames[kLongWalk];
    const int count = unw_backtrace(frames, depth);
    for (int i = 0; i < count; ++i) {
        const SiteInfo *info = infoFor(reinterpret_cast<std::uintptr_t>(frames[i]));
        if (info == nullptr)
            return Walk::Ended;
        switch (info->kind) {
        case ModuleKind::Own:
        case ModuleKind::Runtime:
            continue;
        case ModuleKind::Vexal:
            return Walk::NotOurs;
        case ModuleKind::Program:
            site = CallSite{info->file, info->line};
            return Walk::Found;
        }
    }
    return count == depth ? Walk::Deeper : Walk::Ended;
}

} // namespace

bool findCallSite(const void *returnAddress, CallSite &site) noexcept
{
    const SiteInfo *caller = infoFor(reinterpret_cast<std::uintptr_t>(returnAddress));
    if (caller == nullptr) {
        site = CallSite{"??", 0};
        return true;
    }
    switch (caller->kind) {
    case ModuleKind::Program:
        site = CallSite{caller->file, caller->line};
        return true;
    case ModuleKind::Vexal:
        return false;
    case ModuleKind::Own:
    case ModuleKind::Runtime:
        break;
    }
    Walk result = walk(kShortWalk, site);
    if (result == Walk::Deeper)
        result = walk(kLongWalk, site);
    if (result == Walk::Found)
        return true;
    if (result == Walk::NotOurs)
        return false;
    // No frame of the program (a runtime's own thread, say): the runtime's
    // frame stands for it.
    site = CallSite{caller->file, caller->line};
    return true;
}

void forgetCallSites() noexcept
{
    std::lock_guard<std::mutex> guard(resolving);
    sites.clear();
    forgetModules();
}

void lockCallSites() noexcept { resolving.lock(); }
void unlockCallSites() noexcept { resolving.unlock(); }

} // namespace vexal::run
