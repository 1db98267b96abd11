/* SPDX-License-Identifier: MIT */
/* A cache of job digests that all workers share: a page of entry slots,
 * each entry on its own cache line. On Windows the page and the entries
 * come from the Windows family (GlobalAlloc, HeapAlloc). */
#include "example.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#define CACHE_PAGE 4096
#define CACHE_LINE 64

struct entry {
    char *key;
    uint32_t digest;
};

enum { CACHE_SLOTS = CACHE_PAGE / sizeof(struct entry *) };

static pthread_mutex_t cacheLock = PTHREAD_MUTEX_INITIALIZER;
static struct entry **slots;
static size_t used;

static void free_entry(struct entry *e)
{
#if defined(_WIN32)
    HeapFree(GetProcessHeap(), 0, e);
#else
    free(e);
#endif
}

void cache_init(void)
{
#if defined(_WIN32)
    slots = GlobalAlloc(GMEM_FIXED, CACHE_PAGE); /* tracked GlobalAlloc: 1 call, leaks 1 x 4096 B */
#else
    slots = valloc(CACHE_PAGE); /* tracked valloc: 1 call, leaks 1 x 4096 B */
#endif
    if (slots != NULL)
        memset(slots, 0, CACHE_PAGE);
    used = 0;
}

void cache_put(const char *key, uint32_t digest)
{
    _Static_assert(sizeof(struct entry) <= CACHE_LINE, "an entry fits one cache line");
#if defined(_WIN32)
    struct entry *fresh = HeapAlloc(GetProcessHeap(), 0, CACHE_LINE); /* tracked HeapAlloc: 8 calls, leaks 6 x 64 B */
#else
    struct entry *fresh = memalign(CACHE_LINE, CACHE_LINE); /* tracked memalign: 8 calls, leaks 6 x 64 B */
#endif
    if (fresh == NULL)
        return;
    fresh->key = strdup(key); /* tracked strdup: 8 calls, leaks 6 x 9 B */
    fresh->digest = digest;
    if (fresh->key == NULL || slots == NULL) {
        free(fresh->key);
        free_entry(fresh);
        return;
    }

    pthread_mutex_lock(&cacheLock);
    for (size_t i = 0; i < used; ++i) {
        if (strcmp(slots[i]->key, key) == 0) {
            /* Leak on purpose: the old entry and its key are dropped, not freed. */
            slots[i] = fresh;
            pthread_mutex_unlock(&cacheLock);
            return;
        }
    }
    if (used < CACHE_SLOTS) {
        slots[used++] = fresh;
        fresh = NULL;
    }
    pthread_mutex_unlock(&cacheLock);

    if (fresh != NULL) { /* cache full */
        free(fresh->key);
        free_entry(fresh);
    }
}

void cache_shutdown(void)
{
    pthread_mutex_lock(&cacheLock);
    for (size_t i = 0; i < used; ++i) {
        free(slots[i]->key);
        free_entry(slots[i]);
    }
    used = 0;
    /* Leak on purpose: the slot page itself is forgotten. */
    slots = NULL;
    pthread_mutex_unlock(&cacheLock);
}
