/* SPDX-License-Identifier: MIT */
/* Leaks one block through each function that vexal-run tracks, from the
 * lines marked "leak:" with the row it counts in and its size; frees others.
 * Built without the track header, and once more without debug information.
 *
 *   leaky [wait]    with "wait": says "ready" and reads standard input to
 *                   its end first
 */
#define _GNU_SOURCE
#include <errno.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void *volatile kept[32];
static int keptCount;

static void keep(void *block) { kept[keptCount++] = block; }

/* Through a volatile pointer: no compiler drops the pair as unused. */
static void *volatile passing;
static void release(void *block)
{
    passing = block;
    free(passing);
}

int main(int argc, char **argv)
{
    /* The first call of a line resolves it (files opened, some missing):
     * a successful call still leaves errno as it was. */
    errno = EILSEQ;
    keep(malloc(100));                      /* leak: malloc 100 */
    if (errno != EILSEQ)
        fputs("malloc changed errno\n", stdout);
    keep(calloc(10, 8));                    /* leak: calloc 80 */
    passing = malloc(10);
    keep(realloc(passing, 200));            /* leak: realloc 200 */
    keep(reallocarray(NULL, 3, 7));         /* leak: realloc 21 */
    keep(strdup("four"));                   /* leak: strdup 5 */
    keep(strndup("only three", 3));         /* leak: strdup 4 */
    keep(valloc(10));                       /* leak: valloc 10 */
    keep(pvalloc(10));                      /* leak: valloc page */
    keep(memalign(16, 24));                 /* leak: memalign 24 */
    keep(aligned_alloc(32, 64));            /* leak: memalign 64 */
    void *aligned = NULL;
    if (posix_memalign(&aligned, 64, 48) == 0) /* leak: memalign 48 */
        keep(aligned);

    /* The C library allocates; the program's line is the call site. */
    FILE *input = fopen(argv[0], "r");
    char *line = NULL;
    size_t size = 0;
    if (input != NULL && getline(&line, &size, input) > 0) /* leak: any any */
        keep(line);
    if (input != NULL)
        fclose(input);

    /* Freed: not listed. */
    release(malloc(33));
    release(strdup("gone"));
    passing = calloc(2, 2);
    release(realloc(passing, 64));

    if (argc > 1 && strcmp(argv[1], "wait") == 0) {
        fputs("ready\n", stdout);
        fflush(stdout);
        while (getchar() != EOF) {
        }
    }
    fputs("leaky done\n", stdout);
    return 0;
}
