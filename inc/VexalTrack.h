/* SPDX-License-Identifier: MIT */
/*
 * VexalTrack.h: track an existing C program without editing its calls.
 *
 * Including this header routes the file's calls of malloc, calloc, realloc,
 * strdup, free and, outside Windows, valloc and memalign to the Vexal
 * wrappers, each with the call site's __FILE__ and __LINE__. On Windows it
 * routes the Windows family as well: _strdup, _wcsdup, wcsdup, _mbsdup,
 * GlobalAlloc, LocalAlloc, HeapAlloc, HeapReAlloc, GlobalFree, LocalFree and
 * HeapFree; <windows.h> is then included here first (define
 * WIN32_LEAN_AND_MEAN or NOMINMAX on the command line if the program wants
 * them). Either include it in every file to be tracked, or add it on the
 * compiler's command line:
 *
 *     cc -include VexalTrack.h -I<vexal include dir> app.c -lVexal
 *
 * The program must still call VexalInit before its first allocation and
 * VexalFinish at the end (both are declared through <Vexal.h>, included here).
 *
 * The macros are function-like: only calls such as `malloc(n)` are rewritten;
 * `free` used as a function pointer still names the C library's free. Include
 * the header before any code that calls these functions. The C headers that
 * declare them are included here first, so including them again later is
 * harmless. Feature-test macros (_GNU_SOURCE, _POSIX_C_SOURCE) must then be
 * defined before this header, e.g. with -D on the command line.
 *
 * In C++ the header is meant to come after the library headers (<memory>,
 * GoogleTest, ...), whose inline code may call malloc or free itself, and
 * `std::malloc(n)` is not accepted once it is included.
 *
 * free(NULL) does nothing, as the C library's free does: it is neither counted
 * nor logged as a failed free (an explicit VexalFree(NULL, ...) still is). The
 * argument of each macro is evaluated exactly once.
 *
 * Define VEXAL_NO_TRACK before including it (e.g. -DVEXAL_NO_TRACK) to turn it
 * into an empty header and build the program untracked.
 */
#ifndef VEXAL_TRACK_H
#define VEXAL_TRACK_H

#if !defined(VEXAL_NO_TRACK)

#include <Vexal.h>

#ifdef __cplusplus
#  include <cstdlib>
#  include <cstring>
#endif
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
/* The Windows family's headers, before the macros meet their declarations. */
#  include <malloc.h>
#  include <mbstring.h>
#  include <wchar.h>
#  include <windows.h>
#elif defined(__GLIBC__) || defined(__linux__)
#  include <malloc.h>
#elif defined(__has_include)
#  if __has_include(<malloc.h>)
#    include <malloc.h>
#  endif
#endif

/* free(NULL) is legal C and common; only a real pointer reaches the tracker. */
static inline void VexalTrackFree(void *ptr, const char *file, int line)
{
    if (ptr != NULL)
        VexalFree(ptr, file, line);
}

#undef malloc
#undef calloc
#undef realloc
#undef strdup
#undef free

#define malloc(size) VexalMalloc((size), __FILE__, __LINE__)
#define calloc(count, size) VexalCalloc((count), (size), __FILE__, __LINE__)
#define realloc(ptr, size) VexalRealloc((ptr), 0, (size), __FILE__, __LINE__)
#define strdup(src) VexalStrdup((src), __FILE__, __LINE__)
#define free(ptr) VexalTrackFree((ptr), __FILE__, __LINE__)

#if !defined(_WIN32)
#  undef valloc
#  undef memalign
#  define valloc(size) VexalValloc((size), __FILE__, __LINE__)
#  define memalign(alignment, size) VexalMemalign((alignment), (size), __FILE__, __LINE__)
#endif

#if defined(_WIN32)
#  undef _strdup
#  undef _wcsdup
#  undef wcsdup
#  undef _mbsdup
#  undef GlobalAlloc
#  undef LocalAlloc
#  undef HeapAlloc
#  undef HeapReAlloc
#  undef GlobalFree
#  undef LocalFree
#  undef HeapFree

#  define _strdup(src) VexalStrdup((src), __FILE__, __LINE__)
#  define _wcsdup(src) VexalWcsdup((src), __FILE__, __LINE__)
#  define wcsdup(src) VexalWcsdup((src), __FILE__, __LINE__)
#  define _mbsdup(src) VexalMbsdup((src), __FILE__, __LINE__)
#  define GlobalAlloc(flags, size) VexalGlobalAlloc((flags), (size), __FILE__, __LINE__)
#  define LocalAlloc(flags, size) VexalLocalAlloc((flags), (size), __FILE__, __LINE__)
#  define HeapAlloc(heap, flags, size) VexalHeapAlloc((heap), (flags), (size), __FILE__, __LINE__)
#  define HeapReAlloc(heap, flags, ptr, size) VexalHeapReAlloc((heap), (flags), (ptr), (size), __FILE__, __LINE__)
#  define GlobalFree(handle) VexalGlobalFree((handle), __FILE__, __LINE__)
#  define LocalFree(handle) VexalLocalFree((handle), __FILE__, __LINE__)
#  define HeapFree(heap, flags, ptr) VexalHeapFree((heap), (flags), (ptr), __FILE__, __LINE__)
#endif

#endif /* !VEXAL_NO_TRACK */

#endif /* VEXAL_TRACK_H */
