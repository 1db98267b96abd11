// SPDX-License-Identifier: MIT
#include "ProgramCheck.h"

#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexal::run {
namespace {

// The file execvp would run: a name with a slash as it is, else the first
// executable one along PATH.
std::string located(const char *program)
{
    if (std::strchr(program, '/') != nullptr)
        return program;
    const char *path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// A 64-bit ELF executable without a program interpreter is static.
bool staticElf(int fd)
{
    Elf64_Ehdr header{};
    if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_phentsize != sizeof(Elf64_Phdr))
        return false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        const off_t at = static_cast<off_t>(header.e_phoff + i * sizeof segment);
        if (::pread(fd, &segment, sizeof segment, at) != static_cast<ssize_t>(sizeof segment))
            return false;
        if (segment.p_type == PT_INTERP)
            return false;
    }
    return true;
}

} // namespace

std::string whyNotTrackable(const char *program)
{
    const std::string file = located(program);
    struct stat info {};
    if (file.empty() || ::stat(file.c_str(), &info) != 0)
        return {};
    if (((info.st_mode & S_ISUID) != 0 && info.st_uid != ::geteuid()) ||
        ((info.st_mode & S_ISGID) != 0 && info.st_gid != ::getegid()))
        return "is set-user-id or set-group-id: the loader preloads nothing into it";
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const bool isStatic = staticElf(fd);
    ::close(fd);
    return isStatic ? "is statically linked: nothing can be preloaded into it" : std::string();
}

} // namespace vexal::run
