/* SPDX-License-Identifier: MIT */
/* The application of the leak sites benchmark: linked with libVexal, it
 * makes the given number of live blocks spread over the given number of
 * call sites, serves a monitor on the given port, and on a thread of its own
 * makes a tracked call (a malloc and its free) every 50 microseconds,
 * keeping the longest any such call took. Driven on standard input:
 *
 *   reset    forgets the longest call            -> "ok"
 *   report   the longest call since the reset, once a call that
 *            started after the report was asked for has returned
 *                                                -> "longest N us"
 *
 *   sites_peer PORT BLOCKS SITES
 */
#include <Vexal.h>

#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

int __lsan_is_turned_off(void);
/* The blocks are kept on purpose. */
__attribute__((visibility("default"))) int __lsan_is_turned_off(void) { return 1; }

static atomic_llong longest_ns;
static atomic_llong rounds;

static long long now_ns(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

static void *working(void *unused)
{
    (void)unused;
    const struct timespec pause = {0, 50000};
    for (;;) {
        const long long start = now_ns();
        VexalFree(VexalMalloc(16, __FILE__, __LINE__), __FILE__, __LINE__);
        const long long took = now_ns() - start;
        long long seen = atomic_load(&longest_ns);
        while (took > seen && !atomic_compare_exchange_weak(&longest_ns, &seen, took)) {
        }
        atomic_fetch_add(&rounds, 1);
        nanosleep(&pause, NULL);
    }
    return NULL;
}

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    VexalInit(1, 0, NULL, atoi(argv[1]));
    const long blocks = atol(argv[2]);
    const long sites = atol(argv[3]) > 0 ? atol(argv[3]) : 1;
    for (long i = 0; i < blocks; ++i) {
        if (VexalMalloc((size_t)(i % 64) + 1, __FILE__, 1000 + (int)(i % sites)) == NULL)
            return 1;
    }
    pthread_t worker;
    if (pthread_create(&worker, NULL, working, NULL) != 0)
        return 1;
    puts("ready");
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin) != NULL) {
        if (strncmp(line, "reset", 5) == 0) {
            atomic_store(&longest_ns, 0);
            puts("ok");
        } else if (strncmp(line, "report", 6) == 0) {
            /* A call still waiting for the lock counts once it returns: wait
             * for a call that started after the report was asked for. */
            const long long asked = atomic_load(&rounds);
            const struct timespec tick = {0, 1000000};
            for (int waited = 0; atomic_load(&rounds) < asked + 2 && waited < 10000; ++waited)
                nanosleep(&tick, NULL);
            printf("longest %lld us\n", atomic_load(&longest_ns) / 1000);
        }
        fflush(stdout);
    }
    return 0;
}
