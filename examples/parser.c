/* SPDX-License-Identifier: MIT */
/* Turns the job script into jobs: one job per line, "<name> <op> <size>",
 * with an optional "# comment" after it. */
#include "example.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define LINE_START 24 /* most lines fit; longer ones grow the buffer once */
#define LINE_MAX_LEN 64

static int parse_op(const char *text, enum job_op *op)
{
    static const struct { const char *name; enum job_op op; } ops[] = {
        {"fill", JOB_FILL}, {"grow", JOB_GROW}, {"digest", JOB_DIGEST}, {"copy", JOB_COPY}};
    for (size_t i = 0; i < sizeof ops / sizeof ops[0]; ++i) {
        if (strcmp(text, ops[i].name) == 0) {
            *op = ops[i].op;
            return 0;
        }
    }
    return -1;
}

/* Parses one line (already copied and stripped) into `job`. */
static int parse_line(const char *line, struct job *job)
{
    char name[16];
    char op[16];
    unsigned size;
    if (sscanf(line, "%15s %15s %u", name, op, &size) != 3 || parse_op(op, &job->op) != 0 || size == 0)
        return -1;
    job->size = (uint32_t)size;
    job->name = strdup(name); /* tracked strdup: 6 calls, leaks 1 x 9 B */
    return job->name != NULL ? 0 : -1;
}

int parse_jobs(const char *script, struct job_list *jobs)
{
    jobs->count = 0;
    const char *cursor = script;
    while (*cursor != '\0') {
        const char *end = strchr(cursor, '\n');
        size_t length = end != NULL ? (size_t)(end - cursor) : strlen(cursor);
        if (length >= LINE_MAX_LEN || jobs->count == EXAMPLE_MAX_JOBS)
            goto fail;

        char *line = malloc(LINE_START); /* tracked malloc: 6 calls */
        if (line == NULL)
            goto fail;
        if (length + 1 > LINE_START) {
            char *longer = realloc(line, LINE_MAX_LEN); /* tracked realloc: 2 calls */
            if (longer == NULL) {
                free(line);
                goto fail;
            }
            line = longer;
        }
        memcpy(line, cursor, length);
        line[length] = '\0';
        char *comment = strchr(line, '#');
        if (comment != NULL)
            *comment = '\0';

        int status = parse_line(line, &jobs->items[jobs->count]);
        free(line);
        if (status != 0)
            goto fail;
        ++jobs->count;
        cursor += length + (end != NULL ? 1 : 0);
    }
    return 0;

fail:
    free_jobs(jobs);
    return -1;
}

void free_jobs(struct job_list *jobs)
{
    /* Leak on purpose: the loop stops one job short, so the last job's name
     * is never freed. */
    for (int i = 0; i + 1 < jobs->count; ++i)
        free(jobs->items[i].name);
    jobs->count = 0;
}
