// SPDX-License-Identifier: MIT
// The portable tracked wrappers: each states its call as a request for the
// workers in Core.cpp. The Windows family is in WindowsWrappers.cpp.
#include "Platform.h"
#include "VexalInternal.h"

using namespace vexal;

extern "C" {

void *VexalMalloc(size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_MALLOC, .line = line, .file = file, .size = size};
    return allocate(rq);
}

void *VexalCalloc(size_t count, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_CALLOC, .line = line, .file = file, .count = count, .size = size};
    return allocate(rq);
}

void *VexalRealloc(void *ptr, int /*ignored*/, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_REALLOC, .line = line, .file = file, .size = size, .oldPtr = ptr};
    return allocate(rq);
}

char *VexalStrdup(const char *src, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_STRDUP, .line = line, .file = file, .source = src};
    return static_cast<char *>(allocate(rq));
}

#if !defined(_WIN32)
void *VexalValloc(size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_VALLOC, .line = line, .file = file, .size = size};
    return allocate(rq);
}

void *VexalMemalign(size_t alignment, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_MEMALIGN, .line = line, .file = file, .count = alignment, .size = size};
    return allocate(rq);
}
#endif

void VexalFree(void *ptr, const char *file, int line)
{
    if (tracking.vxlOn.load(std::memory_order_relaxed) == 0) {
        platform::releaseFree(ptr);
        return;
    }
    LockGuard guard(tracking.mutGlobalData);
    if (tracking.stopAnchor == nullptr) {  // after VexalFinish: no records left to consult
        platform::releaseFree(ptr);
        return;
    }
    release(ReleaseRequest{getLink(ptr), VXL_MALLOC, line, file, ptr});
}

} // extern "C"
