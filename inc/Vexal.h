/* SPDX-License-Identifier: MIT */
/*
 * Vexal: memory-leak tracking for C programs.
 *
 * Call the Vexal wrappers instead of the C library's memory functions (or
 * include <VexalTrack.h> to have that done by macros). Every wrapper takes the
 * usual arguments followed by the call site's file name and line. The library
 * performs the real operation and, while tracking is on, keeps one record per
 * live block, counts calls and still-allocated bytes per memory function and,
 * when logging is on, writes one line per call to its output stream.
 *
 * Compiles as C11 and as C++.
 */
#ifndef VEXAL_H
#define VEXAL_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(VEXAL_BUILDING)
#    define VEXAL_API __declspec(dllexport)
#  elif defined(VEXAL_STATIC)
#    define VEXAL_API
#  else
#    define VEXAL_API __declspec(dllimport)
#  endif
#else
#  define VEXAL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The number of a memory function. Used by the counters, the log, the monitor
 * protocol and AllocationRecord.type. 0 to 11 are allocation kinds, 12 to 15
 * release kinds. */
typedef enum MemoryAccessType {
    VXL_MALLOC = 0,
    VXL_CALLOC = 1,
    VXL_REALLOC = 2,
    VXL_STRDUP = 3,
    VXL_WCSDUP = 4,
    VXL_MBSDUP = 5,
    VXL_GLOBALALLOC = 6,
    VXL_LOCALALLOC = 7,
    VXL_HEAPALLOC = 8,
    VXL_HEAPREALLOC = 9,
    VXL_VALLOC = 10,
    VXL_MEMALIGN = 11,
    VXL_FREE = 12,
    VXL_GLOBALFREE = 13,
    VXL_LOCALFREE = 14,
    VXL_HEAPFREE = 15
} MemoryAccessType;

/* One live tracked block. The layout is public: VexalGetListEntry hands out
 * pointers to the library's own records. Read them, never change or free them. */
typedef struct AllocationRecord {
    void *address;       /* the block as the platform returned it */
    uint32_t size;       /* bytes recorded for the block; UINT32_MAX for a block
                            of 4 GiB - 1 or more, whose exact size the reports,
                            VexalFreeThese and the monitor use */
#if defined(_WIN32)
    void *heap;          /* heap handle of VexalHeapAlloc/VexalHeapReAlloc blocks */
#endif
    int32_t line;        /* call site line */
    const char *file;    /* library-owned copy of the call site file name */
    int32_t type;        /* MemoryAccessType of the allocating call (0 to 11) */
    uint32_t threadId;   /* allocating thread (low 32 bits on POSIX) */
    uint64_t index;      /* running number; the first record after VexalInit is 0 */
} AllocationRecord;

/* --- lifecycle ----------------------------------------------------------- */

/* Starts the library. on/log switch tracking and per-call logging.
 * outputPath names the output file (truncated); null means standard output,
 * and a file that cannot be opened falls back to standard output.
 * port: 0 serves a monitor on 5913, 1 or more on that port, negative on none.
 * The environment variable VEXAL_LISTEN may name the IPv4 address to listen
 * on (127.0.0.1: this machine only); unset, every local address listens.
 * Call once before any other function. */
VEXAL_API void VexalInit(int on, int log, const char *outputPath, int port);

/* Ends tracking: discards every record, closes the output file (never
 * standard output). Only VexalInit may be called afterwards. */
VEXAL_API void VexalFinish(void);

/* Switches tracking and logging at any time; records made earlier stay. */
VEXAL_API void VexalSet(int on, int log);

/* Writes the library's version (1.1) to *a and *b; both must be non-null. */
VEXAL_API void VexalVersion(int *a, int *b);

/* --- tracked wrappers: the usual result, or null on failure --------------
 * A block is handed out only together with its record: when the library
 * cannot get the memory for its own bookkeeping, the call fails as a failed
 * allocation does (null, logged as failed, nothing counted; a VexalRealloc
 * keeps ptr and its record). */

/* malloc(size). */
VEXAL_API void *VexalMalloc(size_t size, const char *file, int line);

/* calloc(count, size); records count * size bytes. */
VEXAL_API void *VexalCalloc(size_t count, size_t size, const char *file, int line);

/* realloc(ptr, size); `ignored` is accepted and not read. A size of 0 frees
 * ptr and returns null. A failed call (null for a non-zero size) keeps ptr
 * and its record. */
VEXAL_API void *VexalRealloc(void *ptr, int ignored, size_t size, const char *file, int line);

/* strdup(src); records strlen(src) + 1 bytes. src must not be null. */
VEXAL_API char *VexalStrdup(const char *src, const char *file, int line);

#if !defined(_WIN32)
/* valloc(size): a page-aligned block. */
VEXAL_API void *VexalValloc(size_t size, const char *file, int line);

/* memalign(alignment, size). */
VEXAL_API void *VexalMemalign(size_t alignment, size_t size, const char *file, int line);
#endif

/* free(ptr). With tracking on, a null ptr frees nothing and is counted as a
 * failed free; a ptr without record is still freed and counted as such.
 * On Windows a recorded block is freed by the function that matches how it
 * was allocated (GlobalFree for a VexalGlobalAlloc block, and so on). */
VEXAL_API void VexalFree(void *ptr, const char *file, int line);

#if defined(_WIN32)
/* --- the Windows allocator family ----------------------------------------
 * The Win32 types are spelt out, so that this header needs no <windows.h>:
 * UINT is unsigned int, SIZE_T size_t, DWORD unsigned long, BOOL int, and
 * HANDLE, HGLOBAL and HLOCAL are void *.
 *
 * A release wrapper frees a recorded block with the function that matches
 * its allocation (free, GlobalFree, LocalFree, or HeapFree on the block's
 * own heap), whichever wrapper is called; only a pointer without record is
 * freed by the wrapper's own function. */

/* _wcsdup(src); records 2 bytes per wide character plus 2. */
VEXAL_API wchar_t *VexalWcsdup(const wchar_t *src, const char *file, int line);

/* _mbsdup(src); records the length in bytes plus 1. */
VEXAL_API unsigned char *VexalMbsdup(const unsigned char *src, const char *file, int line);

/* GlobalAlloc(flags, size) and LocalAlloc(flags, size). */
VEXAL_API void *VexalGlobalAlloc(unsigned int flags, size_t size, const char *file, int line);
VEXAL_API void *VexalLocalAlloc(unsigned int flags, size_t size, const char *file, int line);

/* HeapAlloc(heap, flags, size). An exception raised inside it (flag
 * HEAP_GENERATE_EXCEPTIONS) gives null, as a plain failure does. */
VEXAL_API void *VexalHeapAlloc(void *heap, unsigned long flags, size_t size, const char *file, int line);

/* HeapReAlloc(heap, flags, ptr, size). Null is always a failure: ptr and its
 * record stay; a size of 0 has no special meaning. */
VEXAL_API void *VexalHeapReAlloc(void *heap, unsigned long flags, void *ptr, size_t size, const char *file,
                                 int line);

/* Null when the release succeeded (also for a null handle with tracking
 * on), otherwise not null. With tracking off: GlobalFree(h) / LocalFree(h). */
VEXAL_API void *VexalGlobalFree(void *h, const char *file, int line);
VEXAL_API void *VexalLocalFree(void *h, const char *file, int line);

/* Nonzero when the release succeeded, 0 when it failed. A heap block is
 * freed with this heap and flags; VexalFree and the others free it on the
 * heap it was allocated from, with flags 0. */
VEXAL_API int VexalHeapFree(void *heap, unsigned long flags, void *ptr, const char *file, int line);
#endif

/* --- reports ------------------------------------------------------------- */

#if defined(_WIN32)
/* The result of the report's last wait: WAIT_TIMEOUT (258) when a monitor
 * did not fetch the data in time, otherwise WAIT_OBJECT_0 (0). */
typedef unsigned long VexalReportResult;
#else
typedef void VexalReportResult;
#endif

/* Prints the counters per memory function, headed by the call site. With a
 * monitor connected nothing is printed: the monitor is told and the call
 * waits (at most twice 10 s) until it has fetched the data. */
VEXAL_API VexalReportResult VexalShowStatus(const char *file, int line);

/* Prints one line per live record, oldest first; with a monitor connected,
 * behaves as VexalShowStatus does. */
VEXAL_API VexalReportResult VexalShowList(const char *file, int line);

/* --- selective freeing and queries --------------------------------------- */

/* Frees every live block whose record passes all filters and returns the sum
 * of their exact sizes (also for blocks of 4 GiB or more). A null or empty
 * file, a lineMax/sizeMax of 0 or less, a threadId of 0 and an indexMax of 0
 * each switch their filter off. The file is the whole name as recorded; on
 * Windows its letter case does not count. Index bounds compare unsigned; on
 * Windows signed, and an indexMax below 0 also switches the index filter off. */
VEXAL_API int64_t VexalFreeThese(const char *file, int lineMin, int lineMax, int sizeMin,
                                 int sizeMax, unsigned threadId, int64_t indexMin,
                                 int64_t indexMax);

/* Frees every live block; returns the sum of their exact sizes. */
VEXAL_API int64_t VexalFreeAll(void);

/* Walks the records, oldest first. Mode 0 takes the library's lock and
 * returns the first record, 1 the next one, 2 releases the lock (returns
 * null); any other mode returns the current record. Null past the end.
 * The record returned is the library's copy for the caller, valid until
 * the next call.
 * Between modes 0 and 2 the caller must not call any other Vexal function;
 * on Windows, where the lock lets its holder in again, it may (a record it
 * frees meanwhile is skipped by the walk, and mode "other" then gives null). */
VEXAL_API AllocationRecord *VexalGetListEntry(int mode);

/* The index the next record will get. */
VEXAL_API uint64_t VexalGetIndex(void);

#ifdef __cplusplus
}
#endif

#endif /* VEXAL_H */
