// SPDX-License-Identifier: MIT
// The Windows allocator family: the runtime's string duplicates and the
// Win32 memory functions, through the same workers as the portable wrappers.
#include "VexalInternal.h"

#include <cstring>
#include <cwchar>

namespace vexal {
namespace {

AllocationRequest request(int type, int line, const char *file, std::size_t size)
{
    AllocationRequest rq{};
    rq.type = type;
    rq.line = line;
    rq.file = file;
    rq.size = size;
    return rq;
}

// The release wrappers' common path. Tracking off, or after VexalFinish,
// the wrapper's own function frees the pointer; otherwise the function that
// matches the block's record does (release()).
void *releaseThrough(int defaultType, void *ptr, const char *file, int line, unsigned long heapFlags, void *heap)
{
    const int ownKind = platform::releaseKindOf(defaultType);
    if (vxlOn.load(std::memory_order_relaxed) == 0)
        return platform::releaseBlock(ownKind, ptr, heap, heapFlags);
    LockGuard guard(mutGlobalData);
    if (!started)
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
    AllocationRequest rq = request(VXL_WCSDUP, line, file, src != nullptr ? 2 * std::wcslen(src) + 2 : 0);
    rq.wideSource = src;
    return static_cast<wchar_t *>(allocate(rq));
}

unsigned char *VexalMbsdup(const unsigned char *src, const char *file, int line)
{
    AllocationRequest rq =
        request(VXL_MBSDUP, line, file, src != nullptr ? std::strlen(reinterpret_cast<const char *>(src)) + 1 : 0);
    rq.multiByteSource = src;
    return static_cast<unsigned char *>(allocate(rq));
}

void *VexalGlobalAlloc(unsigned int flags, size_t size, const char *file, int line)
{
    AllocationRequest rq = request(VXL_GLOBALALLOC, line, file, size);
    rq.allocFlags = flags;
    return allocate(rq);
}

void *VexalLocalAlloc(unsigned int flags, size_t size, const char *file, int line)
{
    AllocationRequest rq = request(VXL_LOCALALLOC, line, file, size);
    rq.allocFlags = flags;
    return allocate(rq);
}

void *VexalHeapAlloc(void *heap, unsigned long flags, size_t size, const char *file, int line)
{
    AllocationRequest rq = request(VXL_HEAPALLOC, line, file, size);
    rq.heapFlags = flags;
    rq.heap = heap;
    return allocate(rq);
}

void *VexalHeapReAlloc(void *heap, unsigned long flags, void *ptr, size_t size, const char *file, int line)
{
    AllocationRequest rq = request(VXL_HEAPREALLOC, line, file, size);
    rq.oldPtr = ptr;
    rq.heapFlags = flags;
    rq.heap = heap;
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
