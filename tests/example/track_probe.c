/* SPDX-License-Identifier: MIT */
/* Tracked through VexalTrack.h, then includes the C headers again: those
 * later includes must not be disturbed by the macros. Built as strict C11. */
#include <VexalTrack.h>

#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include "track_probe.h"

const char *probe_file(void) { return __FILE__; }

void probe_allocate_all(struct probe_calls *c)
{
    /* Each call and its __LINE__ share a line. */
    c->block[PROBE_MALLOC] = malloc(10); c->line[PROBE_MALLOC] = __LINE__;
    c->block[PROBE_CALLOC] = calloc(3, 7); c->line[PROBE_CALLOC] = __LINE__;
    void *small = malloc(5);
    c->block[PROBE_REALLOC] = realloc(small, 40); c->line[PROBE_REALLOC] = __LINE__;
    c->block[PROBE_STRDUP] = strdup("probe"); c->line[PROBE_STRDUP] = __LINE__;
#if !defined(_WIN32)
    c->block[PROBE_VALLOC] = valloc(100); c->line[PROBE_VALLOC] = __LINE__;
    c->block[PROBE_MEMALIGN] = memalign(64, 128); c->line[PROBE_MEMALIGN] = __LINE__;
#endif
}

int probe_free(void *block)
{
    free(block); return __LINE__;
}

int probe_free_null_and_block(void)
{
    int evaluations = 0;
    void *block = malloc(8);
    free(NULL);
    free((++evaluations, block));
    return evaluations;
}

void probe_untracked_round_trip(void)
{
    void (*plainFree)(void *) = free;
    void *block = (malloc)(16);
    plainFree(block);
}
