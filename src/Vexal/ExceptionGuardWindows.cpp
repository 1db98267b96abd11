// SPDX-License-Identifier: MIT
// The exception guard around the Windows build's platform allocations. The
// compiler has no __try/__except, so a vectored exception handler does that
// part: a thread inside a guarded call has a jump point in a TLS slot, and
// the handler sends an exception raised on that thread back to it. longjmp
// unwinds the frames in between like an __except block would.
#include "PlatformWindows.h"

#include <csetjmp>

namespace vexal::platform {
namespace {

DWORD guardSlot = TLS_OUT_OF_INDEXES;

// Runs for every exception of every thread, before any frame handler. The
// TLS slot is read with TlsGetValue, which never allocates: the exception
// may have hit a thread inside the heap.
LONG CALLBACK sendBackToGuard(EXCEPTION_POINTERS *)
{
    auto *point = static_cast<std::jmp_buf *>(::TlsGetValue(guardSlot));
    if (point == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;
    ::TlsSetValue(guardSlot, nullptr);
    std::longjmp(*point, 1);
}

// Installed the first time any thread needs the guard, and removed when the
// library is unloaded (a handler left behind would be called in code that
// is gone).
struct Installation {
    void *handler = nullptr;

    Installation()
    {
        guardSlot = ::TlsAlloc();
        if (guardSlot != TLS_OUT_OF_INDEXES)
            handler = ::AddVectoredExceptionHandler(1, sendBackToGuard);
    }

    ~Installation()
    {
        if (handler != nullptr)
            ::RemoveVectoredExceptionHandler(handler);
        if (guardSlot != TLS_OUT_OF_INDEXES)
            ::TlsFree(guardSlot);
    }
};

bool installGuard() noexcept
{
    static const Installation installation;
    return installation.handler != nullptr;
}

} // namespace

void *guardedCall(void *(*call)(void *context), void *context) noexcept
{
    if (!installGuard())
        return call(context);  // no guard to be had: the plain call
    std::jmp_buf point;
    if (setjmp(point) != 0)
        return nullptr;  // the handler has disarmed the slot
    ::TlsSetValue(guardSlot, &point);
    void *result = call(context);
    const DWORD error = ::GetLastError();
    ::TlsSetValue(guardSlot, nullptr);
    ::SetLastError(error);
    return result;
}

} // namespace vexal::platform
