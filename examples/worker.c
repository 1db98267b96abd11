/* SPDX-License-Identifier: MIT */
/* The worker threads: each runs every job of the list once; with a time
 * limit they then keep running one job per round until the time is up. */
#include "example.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define ROUND_PAUSE_NS 100000000L /* 100 ms between rounds of the timed mode */
#define HEARTBEAT_BYTES 32

struct worker {
    pthread_t thread;
    int id;
    const struct job_list *jobs;
    struct timespec deadline;
    int timed;
    uint32_t checksum;
};

static uint32_t checksum_of(const uint8_t *data, size_t size)
{
    uint32_t sum = 2166136261u; /* FNV-1a */
    for (size_t i = 0; i < size; ++i)
        sum = (sum ^ data[i]) * 16777619u;
    return sum;
}

/* Runs one job; `stats` counts the jobs per operation. */
static uint32_t run_job(const struct job *job, int worker, uint64_t *stats)
{
    uint8_t *buffer = malloc(job->size); /* tracked malloc: 24 calls, leaks 4 x 300 B */
    if (buffer == NULL)
        return 0;
    memset(buffer, 'a' + worker, job->size);
    ++stats[job->op];

    uint32_t sum = 0;
    switch (job->op) {
    case JOB_FILL:
        sum = checksum_of(buffer, job->size);
        break;
    case JOB_GROW: {
        uint8_t *grown = realloc(buffer, 2 * (size_t)job->size); /* tracked realloc: 4 calls */
        if (grown == NULL)
            break;
        buffer = grown;
        memset(buffer + job->size, 'z', job->size);
        sum = checksum_of(buffer, 2 * (size_t)job->size);
        break;
    }
    case JOB_DIGEST:
        sum = checksum_of(buffer, job->size);
        cache_put(job->name, sum);
        break;
    case JOB_COPY:
        sum = checksum_of(buffer, job->size);
        /* Leak on purpose: the copy was meant to be handed on; it is dropped. */
        return sum;
    }
    free(buffer);
    return sum;
}

static int time_is_up(const struct timespec *deadline)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec > deadline->tv_sec || (now.tv_sec == deadline->tv_sec && now.tv_nsec >= deadline->tv_nsec);
}

static void *worker_main(void *arg)
{
    struct worker *self = arg;
    uint64_t *stats = calloc(8, sizeof(uint64_t)); /* tracked calloc: 4 calls */
    if (stats == NULL)
        return NULL;

    for (int i = 0; i < self->jobs->count; ++i)
        self->checksum ^= run_job(&self->jobs->items[i], self->id, stats);

    if (self->timed) {
        /* Keep busy, and leak a heartbeat block each round, so that a monitor
         * watching the program sees it change. At least one round. */
        int round = 0;
        do {
            const struct timespec pause = {0, ROUND_PAUSE_NS};
            nanosleep(&pause, NULL);
            const struct job *job = &self->jobs->items[(round + self->id) % self->jobs->count];
            self->checksum ^= run_job(job, self->id, stats);
            char *heartbeat = malloc(HEARTBEAT_BYTES); /* timed mode only */
            if (heartbeat != NULL)
                memset(heartbeat, 'h', HEARTBEAT_BYTES);
            ++round;
        } while (!time_is_up(&self->deadline));
    }

    free(stats);
    return NULL;
}

int run_workers(const struct job_list *jobs, double seconds, uint32_t *results)
{
    struct worker workers[EXAMPLE_WORKERS];
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    if (seconds > 0) {
        const double whole = (double)(time_t)seconds;
        deadline.tv_sec += (time_t)seconds;
        deadline.tv_nsec += (long)((seconds - whole) * 1e9);
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
    }

    int started = 0;
    int status = 0;
    for (; started < EXAMPLE_WORKERS; ++started) {
        struct worker *w = &workers[started];
        w->id = started;
        w->jobs = jobs;
        w->deadline = deadline;
        w->timed = seconds > 0;
        w->checksum = 0;
        if (pthread_create(&w->thread, NULL, worker_main, w) != 0) {
            status = -1;
            break;
        }
    }
    for (int i = 0; i < started; ++i) {
        pthread_join(workers[i].thread, NULL);
        results[i] = workers[i].checksum;
    }
    return status;
}
