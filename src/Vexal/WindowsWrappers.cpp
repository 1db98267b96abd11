// SPDX-License-Identifier: MIT
// The Windows allocator family: the runtime's string duplicates and the
// Win32 memory functions, through the same workers as the portable wrappers.
#include "VexalInternal.h"

#include <cstring>
#include <cwchar>

namespace vexal {
namespace {

// The release wrappers' common path. Tracking off, or after VexalFinish,
// the wrapper's own function frees the pointer; otherwise the function that
// matches the block's record does (release()).
void *releaseThrough(int defaultType, void *ptr, const char *file, int line, unsigned long heapFlags, void *heap)
{
    const int ownKind = platform::releaseKindOf(defaultType);
    if (tracking.vxlOn.load(std::memory_order_relaxed) == 0)
        return platform::releaseBlock(ownKind, ptr, heap, heapFlags);
    LockGuard guard(tracking.mutGlobalData);
    if (!tracking.started)
        return platform::releaseBlock(ownKind, ptr, heap, heapFlags);
    ReleaseRequest rq{findRecord(ptr), defaultType, line, file, ptr, heapFlags, heap};
    return release(rq);
}

} // namespace
} // namespace vexal

using namespace vexal;

extern "C" {

wchar_t *VexalWcsdup(const wchar_t *src, const char *file, int line)
{
    // Two bytes per wide character, and the terminator.
    AllocationRequest rq{.type = VXL_WCSDUP,
                         .line = line,
                         .file = file,
                         .size = src != nullptr ? 2 * std::wcslen(src) + 2 : 0,
                         .wideSource = src};
    return static_cast<wchar_t *>(allocate(rq));
}

unsigned char *VexalMbsdup(const unsigned char *src, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_MBSDUP,
                         .line = line,
                         .file = file,
                         .size = src != nullptr ? std::strlen(reinterpret_cast<const char *>(src)) + 1 : 0,
                         .multiByteSource = src};
    return static_cast<unsigned char *>(allocate(rq));
}

void *VexalGlobalAlloc(unsigned int flags, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_GLOBALALLOC, .line = line, .file = file, .size = size, .allocFlags = flags};
    return allocate(rq);
}

void *VexalLocalAlloc(unsigned int flags, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_LOCALALLOC, .line = line, .file = file, .size = size, .allocFlags = flags};
    return allocate(rq);
}

void *VexalHeapAlloc(void *heap, unsigned long flags, size_t size, const char *file, int line)
{
    AllocationRequest rq{
        .type = VXL_HEAPALLOC, .line = line, .file = file, .size = size, .heapFlags = flags, .heap = heap};
    return allocate(rq);
}

void *VexalHeapReAlloc(void *heap, unsigned long flags, void *ptr, size_t size, const char *file, int line)
{
    AllocationRequest rq{.type = VXL_HEAPREALLOC,
                         .line = line,
                         .file = file,
                         .size = size,
                         .oldPtr = ptr,
                         .heapFlags = flags,
                         .heap = heap};
    return allocate(rq);
}

void *VexalGlobalFree(void *h, const char *file, int line)
{
    return releaseThrough(VXL_GLOBALALLOC, h, file, line, 0, nullptr);
}

void *VexalLocalFree(void *h, const char *file, int line)
{
    return releaseThrough(VXL_LOCALALLOC, h, file, line, 0, nullptr);
}

int VexalHeapFree(void *heap, unsigned long flags, void *ptr, const char *file, int line)
{
    return releaseThrough(VXL_HEAPALLOC, ptr, file, line, flags, heap) == nullptr ? 1 : 0;
}

} // extern "C"
