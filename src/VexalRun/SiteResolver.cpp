// SPDX-License-Identifier: MIT
// Return addresses to source lines with elfutils' libdwfl. The modules are
// read from /proc/self/maps, again whenever an address lies in none of them
// (a library loaded since).
#include "SiteResolver.h"

#include <dwarf.h>
#include <elfutils/libdwfl.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace vexal::run {
namespace {

// Debug information inside the module or, by build id, under the usual
// debug directories; never fetched over the network (no debuginfod: this
// runs inside the program's malloc).
const Dwfl_Callbacks kCallbacks = {
    dwfl_linux_proc_find_elf,
    dwfl_build_id_find_debuginfo,
    nullptr,
    nullptr,
};

Dwfl *session = nullptr;
bool modulesStale = false;

bool reportModules()
{
    if (session == nullptr) {
        session = dwfl_begin(&kCallbacks);
        if (session == nullptr)
            return false;
    }
    dwfl_report_begin(session);
    const int failed = dwfl_linux_proc_report(session, getpid());
    return dwfl_report_end(session, nullptr, nullptr) == 0 && failed == 0;
}

Dwarf_Addr biasOf(Dwfl_Module *module)
{
    Dwarf_Addr bias = 0;
    return dwfl_module_getelf(module, &bias) != nullptr ? bias : ~Dwarf_Addr{0};
}

// libdwfl's module for `address`, when it is the loader's `loaded` (same
// load address). libdwfl spans a module from its lowest to its highest
// segment, and the loader may put a library in a gap between the segments
// of another: the loader's word decides.
Dwfl_Module *moduleAt(Dwarf_Addr address, const LoadedModule &loaded)
{
    if ((session == nullptr || modulesStale) && !reportModules())
        return nullptr;
    modulesStale = false;
    Dwfl_Module *module = dwfl_addrmodule(session, address);
    if ((module == nullptr || biasOf(module) != loaded.bias) && reportModules())
        module = dwfl_addrmodule(session, address);
    return module != nullptr && biasOf(module) == loaded.bias ? module : nullptr;
}

const char *baseName(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

bool startsWith(const char *text, const char *prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// A path without "." and ".." steps (clang records headers as
// /usr/bin/../lib/gcc/x86_64-linux-gnu/12/../../../../include/...), in
// `out` of `size` bytes; the path as it is when it does not fit.
const char *normalised(const char *path, char *out, std::size_t size)
{
    if (path[0] != '/' || std::strlen(path) >= size)
        return path;
    std::size_t used = 0;
    for (const char *part = path; *part != '\0';) {
        while (*part == '/')
            ++part;
        const std::size_t length = std::strcspn(part, "/");
        if (length == 2 && part[0] == '.' && part[1] == '.') {
            while (used > 0 && out[--used] != '/') {
            }
        } else if (length > 0 && !(length == 1 && part[0] == '.')) {
            out[used++] = '/';
            std::memcpy(out + used, part, length);
            used += length;
        }
        part += length;
    }
    out[used] = '\0';
    return used > 0 ? out : path;
}

// Headers of the C library, the C++ library and the compiler: code inlined
// from them (stdio.h's getline, a container's allocation) belongs to them.
bool systemHeader(const char *file)
{
    char path[PATH_MAX];
    file = normalised(file, path, sizeof path);
    return startsWith(file, "/usr/include/") || startsWith(file, "/usr/lib/gcc/");
}

// The compilation unit that holds `address`: found through the module's
// address ranges table or, where there is none (clang's default), by asking
// each unit.
Dwarf_Die *unitAt(Dwfl_Module *module, Dwarf_Addr address, Dwarf_Addr &bias)
{
    if (Dwarf_Die *unit = dwfl_module_addrdie(module, address, &bias))
        return unit;
    for (Dwarf_Die *unit = nullptr; (unit = dwfl_module_nextcu(module, unit, &bias)) != nullptr;) {
        if (dwarf_haspc(unit, address - bias) > 0)
            return unit;
    }
    return nullptr;
}

// Steps out of code inlined from the system's headers to the line that used
// it, through the call sites of the inlined instances around `address`.
void leaveSystemHeaders(Dwarf_Die *unit, Dwarf_Addr address, const char *&file, int &line)
{
    Dwarf_Files *files = nullptr;
    std::size_t fileCount = 0;
    if (!systemHeader(file) || dwarf_getsrcfiles(unit, &files, &fileCount) != 0)
        return;
    // The innermost scope at the address, then the concrete scopes around
    // it (dwarf_getscopes gives the abstract ones of an inlined function).
    Dwarf_Die *scopes = nullptr;
    Dwarf_Die innermost;
    const bool found = dwarf_getscopes(unit, address, &scopes) > 0;
    if (found)
        innermost = scopes[0];
    std::free(scopes);
    scopes = nullptr;
    const int count = found ? dwarf_getscopes_die(&innermost, &scopes) : 0;
    for (int i = 0; i < count && systemHeader(file); ++i) {
        if (dwarf_tag(&scopes[i]) != DW_TAG_inlined_subroutine)
            continue;
        Dwarf_Attribute attribute;
        Dwarf_Word callFile = 0;
        Dwarf_Word callLine = 0;
        if (dwarf_formudata(dwarf_attr(&scopes[i], DW_AT_call_file, &attribute), &callFile) != 0 ||
            dwarf_formudata(dwarf_attr(&scopes[i], DW_AT_call_line, &attribute), &callLine) != 0)
            break;
        const char *name = dwarf_filesrc(files, callFile, nullptr, nullptr);
        if (name == nullptr)
            break;
        file = name;
        line = static_cast<int>(callLine);
    }
    std::free(scopes);
}

} // namespace

void forgetModules() noexcept { modulesStale = true; }

ModuleKind moduleKind(const char *path) noexcept
{
    const char *name = baseName(path);
    if (startsWith(name, "libVexalPreload."))
        return ModuleKind::Own;
    if (startsWith(name, "libVexal."))
        return ModuleKind::Vexal;
    // The C library with the loader and the parts it once shipped apart,
    // and the C++ runtime with the unwinder it calls.
    static const char *const kRuntime[] = {"libc.so",       "ld-linux",     "libpthread.so", "libdl.so",
                                           "librt.so",      "libstdc++.so", "libgcc_s.so",   "libm.so"};
    for (const char *prefix : kRuntime) {
        if (startsWith(name, prefix))
            return ModuleKind::Runtime;
    }
    return ModuleKind::Program;
}

LoadedModule loadedModuleAt(std::uintptr_t address) noexcept
{
    Dl_info where{};
    link_map *map = nullptr;
    // The call instruction ends just before a return address.
    if (::dladdr1(reinterpret_cast<void *>(address - 1), &where, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) ==
            0 ||
        map == nullptr || where.dli_fname == nullptr)
        return LoadedModule{nullptr, 0};
    return LoadedModule{where.dli_fname, map->l_addr};
}

const SiteInfo *resolveSite(std::uintptr_t returnAddress, const LoadedModule &loaded) noexcept
{
    auto *info = static_cast<SiteInfo *>(std::malloc(sizeof(SiteInfo)));
    if (info == nullptr)
        return nullptr;
    // The call instruction ends just before the return address.
    const Dwarf_Addr call = returnAddress - 1;
    Dwfl_Module *module = loaded.path != nullptr ? moduleAt(call, loaded) : nullptr;
    const char *path = loaded.path;
    info->kind = path != nullptr ? moduleKind(path) : ModuleKind::Program;
    info->file = nullptr;
    info->line = 0;

    // Lines are read for the program's modules only: the C library's debug
    // information alone, where installed, is megabytes.
    Dwarf_Addr bias = 0;
    Dwarf_Die *unit = module != nullptr && info->kind == ModuleKind::Program ? unitAt(module, call, bias) : nullptr;
    Dwarf_Line *source = unit != nullptr ? dwarf_getsrc_die(unit, call - bias) : nullptr;
    const char *file = source != nullptr ? dwarf_linesrc(source, nullptr, nullptr) : nullptr;
    int line = 0;
    if (file != nullptr && dwarf_lineno(source, &line) == 0 && line > 0) {
        leaveSystemHeaders(unit, call - bias, file, line);
        // A function of those headers compiled into the program (one the
        // compiler did not inline): its caller is the call site.
        if (info->kind == ModuleKind::Program && systemHeader(file))
            info->kind = ModuleKind::Runtime;
        char path[PATH_MAX];
        info->file = ::strdup(normalised(file, path, sizeof path));
        info->line = line;
    } else {
        // "liblua.so.5.4+0x1f3a0": the offset addr2line takes for that module.
        char text[512];
        std::snprintf(text, sizeof text, "%s+0x%" PRIx64, path != nullptr ? baseName(path) : "??",
                      static_cast<std::uint64_t>(call - loaded.bias));
        info->file = ::strdup(text);
    }
    if (info->file == nullptr) {
        std::free(info);
        return nullptr;
    }
    return info;
}

} // namespace vexal::run
