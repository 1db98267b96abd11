/* SPDX-License-Identifier: MIT */
/* Calls made from C translation units that include VexalTrack.h (or opt out
 * of it), for the tests of the header. */
#ifndef TRACK_PROBE_H
#define TRACK_PROBE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { PROBE_MALLOC, PROBE_CALLOC, PROBE_REALLOC, PROBE_STRDUP, PROBE_VALLOC, PROBE_MEMALIGN, PROBE_CALLS };

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

#ifdef __cplusplus
}
#endif

#endif
