/* SPDX-License-Identifier: MIT */
/*
 * The leaking example: a tiny job runner in four files.
 *
 * main.c    reads the options, starts the library, runs the workers, prints
 *           the two reports and finishes.
 * parser.c  turns the built-in job script into jobs.
 * cache.c   a cache of job digests shared by the workers.
 * worker.c  the worker threads that run the jobs.
 *
 * Every allocating call site ends with a comment of the form
 *     tracked <function>: <n> calls[, leaks <k> x <size> B]
 * giving, for the default run (no --seconds), how often the call is made and
 * which of its blocks are still allocated when the reports are printed. The
 * leaks are on purpose; they are what the reports must show:
 *
 *   main.c    the program name copy is never freed             1 x 14 B strdup
 *   parser.c  free_jobs() skips the last job's name            1 x  9 B strdup
 *   cache.c   cache_shutdown() forgets the slot page           1 x 4096 B valloc
 *                                                              (GlobalAlloc on Windows)
 *   cache.c   cache_put() replaces an entry without freeing    6 x 64 B memalign
 *             it, and with it its key                          (HeapAlloc on Windows)
 *                                                              6 x  9 B strdup
 *   worker.c  the "copy" job's buffer is dropped, once per     4 x 300 B malloc
 *             worker
 *
 * With --seconds the workers go on until the time is up, and each round also
 * leaks its heartbeat block; the leak set then depends on the run.
 */
#ifndef VEXAL_EXAMPLE_H
#define VEXAL_EXAMPLE_H

#include <stdint.h>

#define EXAMPLE_WORKERS 4
#define EXAMPLE_MAX_JOBS 8

enum job_op { JOB_FILL, JOB_GROW, JOB_DIGEST, JOB_COPY };

struct job {
    char *name;      /* owned copy */
    enum job_op op;
    uint32_t size;   /* bytes the job works on */
};

struct job_list {
    struct job items[EXAMPLE_MAX_JOBS];
    int count;
};

/* parser.c: parses `script` into `jobs`; returns 0, or -1 on a bad line. */
int parse_jobs(const char *script, struct job_list *jobs);
void free_jobs(struct job_list *jobs);

/* cache.c: a thread-safe map from job name to digest. */
void cache_init(void);
void cache_put(const char *key, uint32_t digest);
void cache_shutdown(void);

/* worker.c: runs every job once on each of EXAMPLE_WORKERS threads; with
 * seconds > 0 the workers then keep going until that many seconds have
 * passed. results[i] receives worker i's checksum. Returns 0, or -1 if a
 * thread could not be started. */
int run_workers(const struct job_list *jobs, double seconds, uint32_t *results);

#endif /* VEXAL_EXAMPLE_H */
