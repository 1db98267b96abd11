/* SPDX-License-Identifier: MIT */
/* The application of the list benchmarks: linked with libVexal, it makes the
 * given number of live blocks at the given number of call sites on the given
 * number of threads, says "ready" and serves a monitor on the given port
 * until its standard input closes.
 *
 *   list_peer PORT COUNT [SITES [THREADS]]   (default 32 sites, 1 thread)
 */
#include <Vexal.h>

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

int __lsan_is_turned_off(void);
/* The blocks are kept on purpose. */
__attribute__((visibility("default"))) int __lsan_is_turned_off(void) { return 1; }

enum { MaxThreads = 64 };

struct Share {
    long count;
    int sites;
    int failed;
};

/* Call sites spread over lines, as in a program of some size. */
static void *allocate(void *arg)
{
    struct Share *share = arg;
    for (long i = 0; i < share->count; ++i) {
        const int site = (int)(i % share->sites);
        if (VexalMalloc((size_t)(i % 200) + 1, __FILE__, __LINE__ + site * 10) == NULL) {
            share->failed = 1;
            break;
        }
    }
    return NULL;
}

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 5)
        return 2;
    const long count = atol(argv[2]);
    const int sites = argc > 3 ? atoi(argv[3]) : 32;
    const int threads = argc > 4 ? atoi(argv[4]) : 1;
    if (count < 0 || sites < 1 || threads < 1 || threads > MaxThreads)
        return 2;
    VexalInit(1, 0, NULL, atoi(argv[1]));

    struct Share shares[MaxThreads];
    pthread_t ids[MaxThreads];
    for (int t = 0; t < threads; ++t) {
        shares[t] = (struct Share){count / threads + (t < count % threads), sites, 0};
        if (pthread_create(&ids[t], NULL, allocate, &shares[t]) != 0)
            return 1;
    }
    int failed = 0;
    for (int t = 0; t < threads; ++t) {
        pthread_join(ids[t], NULL);
        failed |= shares[t].failed;
    }
    if (failed)
        return 1;
    puts("ready");
    fflush(stdout);
    int c;
    while ((c = getchar()) != EOF) {
    }
    return 0;
}
