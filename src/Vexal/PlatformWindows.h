// SPDX-License-Identifier: MIT
// Windows build: the C runtime's and Win32's memory functions, each inside
// the exception guard; the release function by allocation kind; Windows
// names, thread ids, file-name filter and index bounds; the Microsoft C
// runtime's printf for everything the library writes.
#pragma once

#include "ReentrantLock.h"
#include "Vexal.h"

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mbstring.h>
#include <type_traits>
#include <wchar.h>

// Length modifier of the 64-bit conversions in the library's formats.
#define VXL_I64 "I64"

namespace vexal::platform {

using CoreLock = ReentrantLock;

// --- exception guard -------------------------------------------------------

// Runs call(context); an exception raised inside it (HeapAlloc with
// HEAP_GENERATE_EXCEPTIONS, or anything else) makes the result null instead
// of ending the program. GetLastError() after it is the call's own.
void *guardedCall(void *(*call)(void *context), void *context) noexcept;

template <typename Call>
void *guarded(Call &&call) noexcept
{
    using Target = std::remove_reference_t<Call>;
    return guardedCall([](void *context) -> void * { return (*static_cast<Target *>(context))(); }, &call);
}

// --- allocation ------------------------------------------------------------

inline void *allocMalloc(std::size_t size) { return guarded([&] { return std::malloc(size); }); }
inline void *allocRealloc(void *ptr, std::size_t size) { return guarded([&] { return std::realloc(ptr, size); }); }
inline void *allocStrdup(const char *src) { return guarded([&]() -> void * { return ::_strdup(src); }); }
inline void *allocWcsdup(const wchar_t *src) { return guarded([&]() -> void * { return ::_wcsdup(src); }); }
inline void *allocMbsdup(const unsigned char *src) { return guarded([&]() -> void * { return ::_mbsdup(src); }); }
inline void *allocLocal(unsigned flags, std::size_t size) { return guarded([&] { return ::LocalAlloc(flags, size); }); }

inline void *allocCalloc(std::size_t count, std::size_t size)
{
    return guarded([&] { return std::calloc(count, size); });
}

inline void *allocGlobal(unsigned flags, std::size_t size)
{
    return guarded([&] { return ::GlobalAlloc(flags, size); });
}

inline void *allocHeap(void *heap, unsigned long flags, std::size_t size)
{
    return guarded([&] { return ::HeapAlloc(heap, flags, size); });
}

inline void *reallocHeap(void *heap, unsigned long flags, void *ptr, std::size_t size)
{
    return guarded([&] { return ::HeapReAlloc(heap, flags, ptr, size); });
}

inline void releaseFree(void *ptr) { std::free(ptr); }

// Bookkeeping tables: plain zeroed blocks.
inline void *allocTable(std::size_t bytes) { return std::calloc(1, bytes); }
inline void freeTable(void *table) { std::free(table); }

inline int releaseKindOf(int allocationKind)
{
    switch (allocationKind) {
    case VXL_GLOBALALLOC: return VXL_GLOBALFREE;
    case VXL_LOCALALLOC: return VXL_LOCALFREE;
    case VXL_HEAPALLOC:
    case VXL_HEAPREALLOC: return VXL_HEAPFREE;
    default: return VXL_FREE;
    }
}

// Frees with the function of `releaseKind`. Null when the release
// succeeded (always for free); otherwise what a failing GlobalFree or
// LocalFree hands back, or 1 for a failing HeapFree.
inline void *releaseBlock(int releaseKind, void *ptr, void *heap, unsigned long heapFlags)
{
    switch (releaseKind) {
    case VXL_GLOBALFREE: return ::GlobalFree(ptr);
    case VXL_LOCALFREE: return ::LocalFree(ptr);
    case VXL_HEAPFREE: return ::HeapFree(heap, heapFlags, ptr) ? nullptr : reinterpret_cast<void *>(1);
    default: std::free(ptr); return nullptr;
    }
}

// The log line's names of the allocation kinds 0 to 11; null: "Unknown type".
// Kind 9 is "HeapRealloc" here, unlike its methodNames text "HeapReAlloc".
inline constexpr const char *kLogTypeNames[12] = {"malloc",      "calloc",     "realloc",   "strdup",
                                                  "wcsdup",      "mbsdup",     "GlobalAlloc", "LocalAlloc",
                                                  "HeapAlloc",   "HeapRealloc", nullptr,     nullptr};

inline std::uint32_t threadId() { return ::GetCurrentThreadId(); }

// --- VexalFreeThese filters ------------------------------------------------

// Windows file names ignore case. Only ASCII letters are folded, so the
// result does not depend on the locale the application has set.
inline bool sameFileName(const char *filter, const char *name)
{
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (;; ++filter, ++name) {
        if (lower(static_cast<unsigned char>(*filter)) != lower(static_cast<unsigned char>(*name)))
            return false;
        if (*filter == '\0')
            return true;
    }
}

// Signed bounds; an upper bound of 0 or below selects every index.
inline bool indexSelected(std::uint64_t index, std::int64_t indexMin, std::int64_t indexMax)
{
    const auto value = static_cast<std::int64_t>(index);
    return indexMax <= 0 || (value >= indexMin && value <= indexMax);
}

// --- reports ---------------------------------------------------------------

// The result of a report's last wait: WAIT_TIMEOUT when the monitor did not
// end its fetch in time, WAIT_OBJECT_0 otherwise.
inline VexalReportResult reportResult(bool signalled) { return signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT; }

struct Units {
    double kB, MB, GB;
};

// kB in full precision; MB and GB each from the previous quotient rounded to
// a single-precision float.
inline Units largerUnits(long long bytes)
{
    const double kB = static_cast<double>(bytes) / 1024.0;
    const double MB = static_cast<double>(static_cast<float>(kB)) / 1024.0;
    const double GB = static_cast<double>(static_cast<float>(MB)) / 1024.0;
    return {kB, MB, GB};
}

// The Microsoft C runtime's fprintf: its own I64 conversions and pointer
// layout, whatever printf the C++ runtime chose for the rest of the program.
__attribute__((format(ms_printf, 2, 3))) inline int print(std::FILE *out, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = ::__ms_vfprintf(out, format, args);
    va_end(args);
    return written;
}

// --- threads of the monitor connection -------------------------------------

// A thread started with CreateThread. Not copyable; join() or detach() it
// before it goes out of scope.
class Thread {
public:
    Thread() = default;
    Thread(const Thread &) = delete;
    Thread &operator=(const Thread &) = delete;

    bool start(int (*entry)()) noexcept
    {
        handle_ = ::CreateThread(nullptr, 0, run, reinterpret_cast<void *>(entry), 0, nullptr);
        return handle_ != nullptr;
    }

    bool started() const noexcept { return handle_ != nullptr; }

    // Waits for the thread to end, then closes its handle.
    void join() noexcept
    {
        if (handle_ == nullptr)
            return;
        ::WaitForSingleObject(handle_, INFINITE);
        detach();
    }

    // Closes the handle; the thread runs on.
    void detach() noexcept
    {
        if (handle_ != nullptr)
            ::CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    static DWORD WINAPI run(void *entry)
    {
        return static_cast<DWORD>(reinterpret_cast<int (*)()>(entry)());
    }

    HANDLE handle_ = nullptr;
};

} // namespace vexal::platform
