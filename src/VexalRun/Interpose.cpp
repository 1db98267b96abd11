// SPDX-License-Identifier: MIT
// The C library's memory functions, as the program calls them. Each records
// its block like the matching Vexal wrapper, with the call site found from
// its return address, and counts in the row of the nearest wrapper
// (posix_memalign and aligned_alloc as memalign, strndup as strdup,
// reallocarray as realloc, pvalloc as valloc). C++ new and delete reach
// malloc and free.
#include "Busy.h"
#include "CallSites.h"
#include "Preload.h"
#include "VexalInternal.h"

#include <cerrno>
#include <cstdint>
#include <dlfcn.h>
#include <link.h>
#include <cstring>
#include <unistd.h>

extern "C" void *__libc_pvalloc(std::size_t);

using namespace vexal;
using namespace vexal::run;

namespace {

// One call of an interposed function. Tracked only when the library is
// ready and tracking, the thread is not inside the library already, and the
// call is the program's; errno then reads after a successful call as it did
// before it.
class Call {
public:
    explicit Call(const void *returnAddress) noexcept
    {
        if (!trackingCalls() || busy())
            return;
        ++busyDepth;
        entered_ = true;
        errno_ = errno;
        tracked_ = findCallSite(returnAddress, site_);
    }
    ~Call()
    {
        if (entered_)
            --busyDepth;
    }
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

    bool tracked() const noexcept { return tracked_; }

    // Records a block had from the C library at this call's site.
    void *record(void *block, int type, std::uint64_t size) const noexcept
    {
        return done(recordAllocation(block, type, size, site_.file, site_.line));
    }

    void *reallocate(void *ptr, std::size_t size) const noexcept
    {
        AllocationRequest rq{.type = VXL_REALLOC, .line = site_.line, .file = site_.file, .size = size, .oldPtr = ptr};
        return done(allocate(rq));
    }

    void *done(void *result) const noexcept
    {
        if (result != nullptr)
            errno = errno_;
        return result;
    }

private:
    bool entered_ = false;
    bool tracked_ = false;
    int errno_ = 0;
    CallSite site_{"", 0};
};

#define VXL_CALLER __builtin_return_address(0)

bool multiplies(std::size_t a, std::size_t b, std::size_t &product)
{
    return !__builtin_mul_overflow(a, b, &product);
}

std::size_t pageSize()
{
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

// An allocation of `type` and `size` bytes made by `platformCall`: recorded
// at `caller`'s call site when the call is tracked.
template <typename PlatformCall>
void *allocateFrom(const void *caller, int type, std::uint64_t size, PlatformCall platformCall)
{
    Call call(caller);
    if (!call.tracked())
        return platformCall();
    return call.record(platformCall(), type, size);
}

// A copy of the first `bytes - 1` characters of `src`, ended.
void *bounded(const char *src, std::size_t bytes)
{
    auto *copy = static_cast<char *>(platform::allocMalloc(bytes));
    if (copy != nullptr) {
        std::memcpy(copy, src, bytes - 1);
        copy[bytes - 1] = '\0';
    }
    return copy;
}

// A copy of the first `length` characters of `src`, made at `caller`.
char *duplicate(const void *caller, const char *src, std::size_t length)
{
    return static_cast<char *>(allocateFrom(caller, VXL_STRDUP, length + 1, [=] { return bounded(src, length + 1); }));
}

} // namespace

#define VXL_EXPORT extern "C" __attribute__((visibility("default")))

VXL_EXPORT void *malloc(std::size_t size)
{
    return allocateFrom(VXL_CALLER, VXL_MALLOC, size, [=] { return __libc_malloc(size); });
}

VXL_EXPORT void *calloc(std::size_t count, std::size_t size)
{
    return allocateFrom(VXL_CALLER, VXL_CALLOC, static_cast<std::uint64_t>(count) * size,
                        [=] { return __libc_calloc(count, size); });
}

namespace {

void *reallocAt(const Call &call, void *ptr, std::size_t size)
{
    if (ptr == nullptr && size == 0) {
        // The C library's realloc(NULL, 0) is malloc(0); the wrapper's
        // would free what it got and return null.
        return call.record(__libc_malloc(0), VXL_MALLOC, 0);
    }
    return call.reallocate(ptr, size);
}

} // namespace

VXL_EXPORT void *realloc(void *ptr, std::size_t size)
{
    Call call(VXL_CALLER);
    if (!call.tracked())
        return __libc_realloc(ptr, size);
    return reallocAt(call, ptr, size);
}

VXL_EXPORT void *reallocarray(void *ptr, std::size_t count, std::size_t size)
{
    std::size_t bytes = 0;
    if (!multiplies(count, size, bytes)) {
        errno = ENOMEM;
        return nullptr;
    }
    Call call(VXL_CALLER);
    if (!call.tracked())
        return __libc_realloc(ptr, bytes);
    return reallocAt(call, ptr, bytes);
}

VXL_EXPORT void free(void *ptr)
{
    if (ptr == nullptr)
        return;  // as in the C library: neither a call nor a failure
    if (!trackingCalls() || busy()) {
        __libc_free(ptr);
        return;
    }
    Busy inside;
    const int savedErrno = errno;
    // The release's call site is printed only on the log line.
    CallSite site{"", 0};
    if (logging() && !findCallSite(VXL_CALLER, site))
        site = CallSite{"", 0};
    releaseIfRecorded(ptr, site.file, site.line);
    errno = savedErrno;
}

VXL_EXPORT char *strdup(const char *src) { return duplicate(VXL_CALLER, src, std::strlen(src)); }

VXL_EXPORT char *strndup(const char *src, std::size_t limit) { return duplicate(VXL_CALLER, src, strnlen(src, limit)); }

VXL_EXPORT void *valloc(std::size_t size)
{
    return allocateFrom(VXL_CALLER, VXL_VALLOC, size, [=] { return __libc_valloc(size); });
}

VXL_EXPORT void *pvalloc(std::size_t size)
{
    // pvalloc(n) is valloc(n rounded up to whole pages); the program owns
    // the whole pages, so they are what is recorded.
    const std::size_t page = pageSize();
    if (size > SIZE_MAX - page) {
        errno = ENOMEM;
        return nullptr;
    }
    const std::size_t pages = (size + page - 1) & ~(page - 1);
    return allocateFrom(VXL_CALLER, VXL_VALLOC, pages, [=] { return __libc_pvalloc(size); });
}

VXL_EXPORT void *memalign(std::size_t alignment, std::size_t size)
{
    return allocateFrom(VXL_CALLER, VXL_MEMALIGN, size, [=] { return __libc_memalign(alignment, size); });
}

VXL_EXPORT void *aligned_alloc(std::size_t alignment, std::size_t size)
{
    return allocateFrom(VXL_CALLER, VXL_MEMALIGN, size, [=] { return __libc_memalign(alignment, size); });
}

namespace {

// How many objects the loader has unloaded so far.
unsigned long long unloads() noexcept
{
    unsigned long long count = 0;
    ::dl_iterate_phdr(
        [](dl_phdr_info *info, std::size_t, void *out) {
            *static_cast<unsigned long long *>(out) = info->dlpi_subs;
            return 1;  // every object reports the same count
        },
        &count);
    return count;
}

} // namespace

// Unloading a library frees its addresses for the next one loaded: what
// the table says of them no longer holds. A dlclose that unloads nothing
// (another handle still holds the library) leaves the table as it is.
VXL_EXPORT int dlclose(void *handle)
{
    using Close = int (*)(void *);
    static const Close next = [] {
        Busy inside;  // dlsym may allocate
        return reinterpret_cast<Close>(::dlsym(RTLD_NEXT, "dlclose"));
    }();
    const unsigned long long before = unloads();
    const int result = next != nullptr ? next(handle) : -1;
    if (result == 0 && trackingCalls() && unloads() != before) {
        Busy inside;
        forgetCallSites();
    }
    return result;
}

VXL_EXPORT int posix_memalign(void **out, std::size_t alignment, std::size_t size)
{
    // A power of two and a multiple of sizeof(void *), or nothing happens.
    if (alignment % sizeof(void *) != 0 || (alignment & (alignment - 1)) != 0 || alignment == 0)
        return EINVAL;
    const int savedErrno = errno;  // posix_memalign reports through its result only
    void *block =
        allocateFrom(VXL_CALLER, VXL_MEMALIGN, size, [=] { return __libc_memalign(alignment, size); });
    errno = savedErrno;
    if (block == nullptr)
        return ENOMEM;
    *out = block;
    return 0;
}
