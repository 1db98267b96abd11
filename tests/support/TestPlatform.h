// SPDX-License-Identifier: MIT
// What the tests need from the host, one definition per build: the process
// id, the thread id the library records, how the library prints a pointer,
// the null device, and reading back a file the library wrote.
#ifndef VEXAL_TEST_PLATFORM_H
#define VEXAL_TEST_PLATFORM_H

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace vxltest {

#if defined(_WIN32)

inline constexpr bool kWindows = true;
inline int processId() { return static_cast<int>(::GetCurrentProcessId()); }
inline uint32_t currentThreadId() { return ::GetCurrentThreadId(); }

// The Microsoft C runtime's %p: sixteen upper-case hex digits.
inline std::string pointerText(const void *p)
{
    char text[24];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

inline const char *nullDevice() { return "NUL"; }

#else

inline constexpr bool kWindows = false;
inline int processId() { return static_cast<int>(::getpid()); }

// The id the library records for the calling thread: 32 bits of pthread_self().
inline uint32_t currentThreadId()
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(reinterpret_cast<void *>(pthread_self())));
}

inline std::string pointerText(const void *p)
{
    char text[24];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

inline const char *nullDevice() { return "/dev/null"; }

#endif

// A file the library wrote, as text: on Windows its output is in text mode,
// with "\r\n" line ends, which this reads back as "\n".
inline std::string readFile(const std::string &path)
{
    std::ifstream in(path, kWindows ? std::ios::in : std::ios::in | std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace vxltest

#endif
