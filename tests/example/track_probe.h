/* SPDX-License-Identifier: MIT */
/* Calls made from C translation units that include VexalTrack.h (or opt out
 * of it), for the tests of the header. */
#ifndef TRACK_PROBE_H
#define TRACK_PROBE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    PROBE_MALLOC,
    PROBE_CALLOC,
    PROBE_REALLOC,
    PROBE_STRDUP,
#if !defined(_WIN32)
    PROBE_VALLOC,
    PROBE_MEMALIGN,
#endif
    PROBE_CALLS
};

struct probe_calls {
    void *block[PROBE_CALLS];
    int line[PROBE_CALLS];
};

/* track_probe.c (tracked): one call of each function, with its source line. */
const char *probe_file(void);
void probe_allocate_all(struct probe_calls *calls);
int probe_free(void *block); /* returns the line of the free call */
/* free(NULL), then free of a block whose argument counts its evaluations;
 * returns that count. */
int probe_free_null_and_block(void);
/* Allocates and frees through the plain C library, using (malloc) and free
 * as a function pointer, which the header's macros must leave alone. */
void probe_untracked_round_trip(void);

/* track_optout.c (VEXAL_NO_TRACK): plain malloc and free. */
void *optout_malloc(size_t size);
void optout_free(void *block);

#if defined(_WIN32)
/* track_probe_windows.c (tracked): the Windows family, one call each. */
enum {
    WPROBE_STRDUP,
    WPROBE_WCSDUP,
    WPROBE_MBSDUP,
    WPROBE_GLOBALALLOC,
    WPROBE_LOCALALLOC,
    WPROBE_HEAPALLOC,
    WPROBE_HEAPREALLOC,
    WPROBE_CALLS
};

struct windows_probe_calls {
    void *block[WPROBE_CALLS];
    int line[WPROBE_CALLS];
};

const char *windows_probe_file(void);
void windows_probe_allocate_all(struct windows_probe_calls *calls);
/* Frees what windows_probe_allocate_all made, each with its own function;
 * returns how many of the releases reported success. */
int windows_probe_free_all(struct windows_probe_calls *calls);
#endif

#ifdef __cplusplus
}
#endif

#endif
