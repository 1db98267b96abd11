// SPDX-License-Identifier: MIT
// Sleeping until an atomic word changes, for the library's own locks.
//
// std::atomic<T>::wait of the mingw-w64 GCC 12 runtime can lose a wake-up
// (it checks the value before taking the lock its notify does not take) and
// then sleeps for ever: there, Windows' own WaitOnAddress does the waiting.
// Elsewhere these are std::atomic's wait and notify.
#pragma once

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vexal {

#if defined(_WIN32)

// Returns when `word` may no longer hold `value` (or spuriously).
inline void waitWhile(std::atomic<int> &word, int value) noexcept
{
    static_assert(sizeof(std::atomic<int>) == sizeof(int));
    ::WaitOnAddress(reinterpret_cast<volatile void *>(&word), &value, sizeof value, INFINITE);
}

inline void wakeOne(std::atomic<int> &word) noexcept { ::WakeByAddressSingle(static_cast<void *>(&word)); }

inline void wakeAll(std::atomic<int> &word) noexcept { ::WakeByAddressAll(static_cast<void *>(&word)); }

#else

inline void waitWhile(std::atomic<int> &word, int value) noexcept { word.wait(value, std::memory_order_relaxed); }

inline void wakeOne(std::atomic<int> &word) noexcept { word.notify_one(); }

inline void wakeAll(std::atomic<int> &word) noexcept { word.notify_all(); }

#endif

} // namespace vexal
