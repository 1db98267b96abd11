/* SPDX-License-Identifier: MIT */
/*
 * The public API as a C11 program sees it: every tracking, report, freeing
 * and query function, called from C and checked. Exits non-zero on failure.
 */
#define _POSIX_C_SOURCE 200809L

#include <Vexal.h>

#include "Check.h"

#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static char *readAll(const char *path) {
    FILE *f = fopen(path, "rb");
    if (f == NULL) {
        return NULL;
    }
    size_t capacity = 4096;
    size_t length = 0;
    char *text = malloc(capacity);
    size_t n;
    while (text != NULL && (n = fread(text + length, 1, capacity - length - 1, f)) > 0) {
        length += n;
        if (capacity - length < 2) {
            capacity *= 2;
            char *bigger = realloc(text, capacity);
            if (bigger == NULL) {
                free(text);
                text = NULL;
                break;
            }
            text = bigger;
        }
    }
    fclose(f);
    if (text != NULL) {
        text[length] = '\0';
    }
    return text;
}

static unsigned myThreadId(void) { return (unsigned)pthread_self(); }

int main(void) {
    int major = 0;
    int minor = 0;
    VexalVersion(&major, &minor);
    CHECK(major == 1 && minor == 1);

    char path[] = "/tmp/vexal_c11_XXXXXX";
    const int fd = mkstemp(path);
    CHECK(fd >= 0);
    if (fd < 0) {
        return 1;
    }
    close(fd);

    VexalInit(1, 1, path, -1);
    CHECK(VexalGetIndex() == 0);

    char *m = VexalMalloc(100, "main.c", 10);
    int *c = VexalCalloc(4, sizeof(int), "main.c", 11);
    char *s = VexalStrdup("abc", "lib/str.c", 12);
    void *v = VexalValloc(100, "main.c", 13);
    void *a = VexalMemalign(32, 64, "main.c", 14);
    CHECK(m && c && s && v && a);
    CHECK(c[0] == 0 && c[3] == 0);
    CHECK(strcmp(s, "abc") == 0);
    CHECK(((uintptr_t)a % 32) == 0);
    char *r = VexalRealloc(m, 0, 200, "main.c", 15);
    CHECK(r != NULL);
    CHECK(VexalGetIndex() == 6);

    /* Walk the records: oldest first, readable through the public layout. */
    int count = 0;
    uint64_t lastIndex = 0;
    for (AllocationRecord *rec = VexalGetListEntry(0); rec != NULL; rec = VexalGetListEntry(1)) {
        CHECK(rec->threadId == myThreadId());
        if (count > 0) {
            CHECK(rec->index > lastIndex);
        }
        lastIndex = rec->index;
        if (rec->address == s) {
            CHECK(rec->type == VXL_STRDUP && rec->size == 4 && rec->line == 12);
            CHECK(strcmp(rec->file, "lib/str.c") == 0);
        }
        if (rec->address == r) {
            CHECK(rec->type == VXL_REALLOC && rec->size == 200 && rec->index == 5);
        }
        ++count;
    }
    CHECK(VexalGetListEntry(1) == NULL);
    CHECK(VexalGetListEntry(2) == NULL);
    CHECK(count == 5);

    VexalShowStatus("main.c", 20);
    VexalShowList("main.c", 21);

    /* The calling thread's records in main.c, lines 13 to 15. */
    CHECK(VexalFreeThese("main.c", 13, 15, 0, 0, pthread_self(), 0, 0) == 100 + 64 + 200);
    CHECK(VexalFreeThese("lib/STR.c", 0, 0, 0, 0, 0, 0, 0) == 0);
    VexalSet(1, 0);
    VexalFree(NULL, "main.c", 30);
    VexalSet(1, 1);
    CHECK(VexalFreeAll() == 16 + 4);
    CHECK(VexalFreeAll() == 0);
    VexalFinish();

    char *text = readAll(path);
    CHECK(text != NULL);
    if (text != NULL) {
        char line[256];
        snprintf(line, sizeof line, "malloc: main.c : 10, malloc, 100B, %d, #1, (%p)\n",
                 (int)myThreadId(), (void *)m);
        CHECK(strncmp(text, line, strlen(line)) == 0);
        snprintf(line, sizeof line, "realloc: main.c : 15, realloc, 200B, %d, #6, (%p)\n",
                 (int)myThreadId(), (void *)r);
        CHECK(strstr(text, line) != NULL);
        snprintf(line, sizeof line, "str.c : 12, strdup, 4B, %d, #2, (%p)\n", (int)myThreadId(),
                 (void *)s);
        CHECK(strstr(text, line) != NULL);
        CHECK(strstr(text, "| strdup       |           1 |               4 |\n") != NULL);
        CHECK(strstr(text, "\n'free' failed") == NULL);
        snprintf(line, sizeof line, "free: lib/str.c : 12, strdup, 4B, %d, #2, (%p)\n",
                 (int)myThreadId(), (void *)s);
        CHECK(strstr(text, line) != NULL);
        free(text);
    }
    remove(path);

    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    return 0;
}
