/* SPDX-License-Identifier: MIT */
/* Many threads start together, allocate and free in a loop, and each leaks
 * one block from the marked line. */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kThreads = 16, kRounds = 2000 };

static pthread_barrier_t start;
static void *volatile kept[kThreads];
/* Each thread's blocks pass through a volatile pointer: no compiler drops
 * the calls as unused. */
static __thread void *volatile passing;

static void *work(void *arg)
{
    const int number = (int)(long)arg;
    pthread_barrier_wait(&start);
    for (int i = 0; i < kRounds; ++i) {
        passing = malloc((size_t)(16 + i % 64));
        passing = realloc(passing, (size_t)(32 + i % 128));
        free(passing);
    }
    kept[number] = strdup("thread"); /* leak: strdup 7 */
    return NULL;
}

int main(void)
{
    pthread_t threads[kThreads];
    pthread_barrier_init(&start, NULL, kThreads);
    for (int i = 0; i < kThreads; ++i) {
        if (pthread_create(&threads[i], NULL, work, (void *)(long)i) != 0)
            return 2;
    }
    for (int i = 0; i < kThreads; ++i)
        pthread_join(threads[i], NULL);
    fputs("threads done\n", stdout);
    return 0;
}
