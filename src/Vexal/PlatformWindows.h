// SPDX-License-Identifier: MIT
// Windows build: the C runtime's and Win32's memory functions, each inside
// the exception guard; the release function by allocation kind; Windows
// names, thread ids, file-name filter and index bounds; the Microsoft C
// runtime's printf for everything the library writes.
#pragma once

#include "ReentrantLock.h"
#include "Vexal.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>
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

// --- the library's own tables and record slabs -----------------------------

inline constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Whether large pages are worth asking for: not once a request has failed
// (the process lacks the privilege to lock pages, or none are free).
inline std::atomic<bool> largePagesRefused{false};

// Large pages, committed at once and never paged out: only for whole huge
// pages, and only where the system's large page is the size the tables and
// slabs are aligned to.
inline void *allocLargePages(std::size_t bytes)
{
    if (largePagesRefused.load(std::memory_order_relaxed) || ::GetLargePageMinimum() != kHugePage ||
        bytes % kHugePage != 0)
        return nullptr;
    void *pages = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
    if (pages == nullptr || reinterpret_cast<std::uintptr_t>(pages) % kHugePage != 0) {
        if (pages != nullptr)
            ::VirtualFree(pages, 0, MEM_RELEASE);
        largePagesRefused.store(true, std::memory_order_relaxed);
        return nullptr;
    }
    return pages;
}

// Zeroed memory for the library's own tables and record slabs: `bytes`, a
// power of two, aligned to itself up to kHugePage. Mapped directly rather
// than taken from the C runtime's heap, so that freeing it gives the memory
// back at once. With `hugePages`, large pages are tried first.
inline void *allocPages(std::size_t bytes, bool hugePages)
{
    if (hugePages) {
        if (void *pages = allocLargePages(bytes))
            return pages;
    }
    // VirtualAlloc aligns to the allocation granularity (64 KiB). For more,
    // reserve enough to hold an aligned range, give the reservation back and
    // map that range; another thread may take it in between, so retry.
    const std::size_t alignment = bytes < kHugePage ? bytes : kHugePage;
    void *pages = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (pages == nullptr || reinterpret_cast<std::uintptr_t>(pages) % alignment == 0)
        return pages;
    ::VirtualFree(pages, 0, MEM_RELEASE);
    for (int attempt = 0; attempt < 8; ++attempt) {
        void *range = ::VirtualAlloc(nullptr, bytes + alignment, MEM_RESERVE, PAGE_NOACCESS);
        if (range == nullptr)
            return nullptr;
        const std::uintptr_t aligned = (reinterpret_cast<std::uintptr_t>(range) + alignment - 1) & ~(alignment - 1);
        ::VirtualFree(range, 0, MEM_RELEASE);
        pages = ::VirtualAlloc(reinterpret_cast<void *>(aligned), bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (pages != nullptr)
            return pages;
    }
    return nullptr;
}

// Gives back the memory of whole pages inside a mapping of allocPages early.
// Nothing here: large pages cannot be given back in part, so the pages go
// with the whole mapping at freePages.
inline void discardPages(void * /*pages*/, std::size_t /*bytes*/) {}

inline void freePages(void *pages, std::size_t /*bytes*/)
{
    if (pages != nullptr)
        ::VirtualFree(pages, 0, MEM_RELEASE);
}

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
