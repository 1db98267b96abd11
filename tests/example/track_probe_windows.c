/* SPDX-License-Identifier: MIT */
/* The Windows family through VexalTrack.h, from plain C: each call and its
 * __LINE__ share a line. Built as strict C11, for Windows only. */
#include <VexalTrack.h>

#include <mbstring.h>
#include <wchar.h>
#include <windows.h>

#include "track_probe.h"

const char *windows_probe_file(void) { return __FILE__; }

void windows_probe_allocate_all(struct windows_probe_calls *c)
{
    HANDLE heap = GetProcessHeap();
    c->block[WPROBE_STRDUP] = _strdup("abc"); c->line[WPROBE_STRDUP] = __LINE__;
    c->block[WPROBE_WCSDUP] = _wcsdup(L"wide"); c->line[WPROBE_WCSDUP] = __LINE__;
    c->block[WPROBE_MBSDUP] = _mbsdup((const unsigned char *)"mb"); c->line[WPROBE_MBSDUP] = __LINE__;
    c->block[WPROBE_GLOBALALLOC] = GlobalAlloc(GMEM_FIXED, 11); c->line[WPROBE_GLOBALALLOC] = __LINE__;
    c->block[WPROBE_LOCALALLOC] = LocalAlloc(LMEM_FIXED, 12); c->line[WPROBE_LOCALALLOC] = __LINE__;
    c->block[WPROBE_HEAPALLOC] = HeapAlloc(heap, 0, 13); c->line[WPROBE_HEAPALLOC] = __LINE__;
    void *small = HeapAlloc(heap, 0, 1);
    c->block[WPROBE_HEAPREALLOC] = HeapReAlloc(heap, 0, small, 14); c->line[WPROBE_HEAPREALLOC] = __LINE__;
}

int windows_probe_free_all(struct windows_probe_calls *c)
{
    HANDLE heap = GetProcessHeap();
    int released = 0;
    free(c->block[WPROBE_STRDUP]);
    free(c->block[WPROBE_WCSDUP]);
    free(c->block[WPROBE_MBSDUP]);
    released += GlobalFree(c->block[WPROBE_GLOBALALLOC]) == NULL;
    released += LocalFree(c->block[WPROBE_LOCALALLOC]) == NULL;
    released += HeapFree(heap, 0, c->block[WPROBE_HEAPALLOC]) != 0;
    released += HeapFree(heap, 0, c->block[WPROBE_HEAPREALLOC]) != 0;
    return released;
}
