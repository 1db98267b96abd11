// SPDX-License-Identifier: MIT
// Sleeping until an atomic word changes, for the library's own locks.
//
// std::atomic<T>::wait of the mingw-w64 GCC 12 runtime can lose a wake-up
// (it checks the value before taking the lock its notify does not take) and
// then sleeps for ever: there, Windows' own WaitOnAddress does the waiting.
// Elsewhere these are std::atomic's wait and notify.
#pragma once

#include <atomic>
#include <type_traits>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vexal {

#if defined(_WIN32)

// Returns when `word` may no longer hold `value` (or spuriously).
template <typename T>
inline void waitWhile(std::atomic<T> &word, T value) noexcept
{
    // WaitOnAddress compares the plain bytes of a 1, 2, 4 or 8-byte word.
    static_assert(std::is_integral_v<T> && sizeof(std::atomic<T>) == sizeof(T) && std::atomic<T>::is_always_lock_free);
    ::WaitOnAddress(reinterpret_cast<volatile void *>(&word), &value, sizeof value, INFINITE);
}

template <typename T>
inline void wakeOne(std::atomic<T> &word) noexcept
{
    ::WakeByAddressSingle(static_cast<void *>(&word));
}

template <typename T>
inline void wakeAll(std::atomic<T> &word) noexcept
{
    ::WakeByAddressAll(static_cast<void *>(&word));
}

#else

template <typename T>
inline void waitWhile(std::atomic<T> &word, T value) noexcept
{
    word.wait(value, std::memory_order_relaxed);
}

template <typename T>
inline void wakeOne(std::atomic<T> &word) noexcept
{
    word.notify_one();
}

template <typename T>
inline void wakeAll(std::atomic<T> &word) noexcept
{
    word.notify_all();
}

#endif

} // namespace vexal
