/* SPDX-License-Identifier: MIT */
/* An application for the leak sites' tests: linked with libVexal, serving a
 * monitor on the port given as its first argument, and keeping up to four
 * patterns of live blocks, each at a call site of its own, until its
 * standard input closes:
 *
 *   leak   a steady leak: 64-byte blocks at 200 a second, never freed
 *   cache  a cache that fills with 2000 blocks of 32 bytes in half a second
 *          and then stays as it is
 *   saw    a sawtooth: up to 1000 blocks of 48 bytes over 0.8 s, then all
 *          freed, again and again
 *   churn  noise: 16-byte blocks freed and made at random, around 500 live
 *
 * The second argument names the patterns to run, separated by commas (all
 * four when not given). Each pattern follows the clock, not a count of
 * rounds, so a program that got no processor for a while catches up.
 * It prints "ready" as the patterns start, then "SITE name file line" for
 * each pattern, for the tests to find the sites.
 */
#include <Vexal.h>

#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

int __lsan_is_turned_off(void);
/* The leaks are on purpose. */
__attribute__((visibility("default"))) int __lsan_is_turned_off(void) { return 1; }

enum { CACHE_BLOCKS = 2000, SAW_BLOCKS = 1000, CHURN_LEVEL = 500, CHURN_SPREAD = 100 };

static double seconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static long leaked;
static void *cache[CACHE_BLOCKS];
static long cached;
static void *saw[SAW_BLOCKS];
static long sawn;
static void *churn[CHURN_LEVEL + CHURN_SPREAD];
static long churned;

/* Each pattern's blocks come from one line: one site each. */
static const int leak_line = __LINE__ + 1;
static void *leak_block(void) { return VexalMalloc(64, __FILE__, __LINE__); }
static const int cache_line = __LINE__ + 1;
static void *cache_block(void) { return VexalMalloc(32, __FILE__, __LINE__); }
static const int saw_line = __LINE__ + 1;
static void *saw_block(void) { return VexalCalloc(1, 48, __FILE__, __LINE__); }
static const int churn_line = __LINE__ + 1;
static void *churn_block(void) { return VexalMalloc(16, __FILE__, __LINE__); }

static void run_leak(double elapsed)
{
    for (long target = (long)(elapsed * 200); leaked < target; ++leaked)
        leak_block();
}

static void run_cache(double elapsed)
{
    const double filled = elapsed / 0.5 < 1 ? elapsed / 0.5 : 1;
    for (long target = (long)(filled * CACHE_BLOCKS); cached < target; ++cached)
        cache[cached] = cache_block();
}

static void run_saw(double elapsed)
{
    static long tooth = 0;
    const long now = (long)(elapsed / 0.8);
    if (now != tooth) {
        for (long i = 0; i < sawn; ++i)
            VexalFree(saw[i], __FILE__, __LINE__);
        sawn = 0;
        tooth = now;
    }
    const double part = (elapsed - (double)now * 0.8) / 0.8;
    for (long target = (long)(part * SAW_BLOCKS); sawn < target; ++sawn)
        saw[sawn] = saw_block();
}

static void run_churn(void)
{
    const long target = CHURN_LEVEL - CHURN_SPREAD + rand() % (2 * CHURN_SPREAD);
    while (churned > target)
        VexalFree(churn[--churned], __FILE__, __LINE__);
    while (churned < target)
        churn[churned++] = churn_block();
    /* Blocks come and go even where the level stays. */
    const long i = rand() % churned;
    VexalFree(churn[i], __FILE__, __LINE__);
    churn[i] = churn_block();
}

static void announce(const char *name, int line)
{
    printf("SITE %s %s %d\n", name, __FILE__, line);
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const char *modes = argc > 2 ? argv[2] : "leak,cache,saw,churn";
    const int leak = strstr(modes, "leak") != NULL;
    const int with_cache = strstr(modes, "cache") != NULL;
    const int with_saw = strstr(modes, "saw") != NULL;
    const int with_churn = strstr(modes, "churn") != NULL;
    VexalInit(1, 0, NULL, atoi(argv[1]));
    srand(1);
    const double start = seconds();
    puts("ready");
    announce("leak", leak_line);
    announce("cache", cache_line);
    announce("saw", saw_line);
    announce("churn", churn_line);
    fflush(stdout);
    for (;;) {
        const double elapsed = seconds() - start;
        if (leak)
            run_leak(elapsed);
        if (with_cache)
            run_cache(elapsed);
        if (with_saw)
            run_saw(elapsed);
        if (with_churn)
            run_churn();
        struct pollfd input = {STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 5) > 0) {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                break;
        }
    }
    return 0;
}
