/* SPDX-License-Identifier: MIT */
/*
 * The public API as a Windows C11 program sees it through Vexal.h and the
 * import library: every exported function, including the Windows family,
 * called from C. The whole output file is compared byte for byte with the
 * text the program expects (in text mode, so every line ends in "\r\n").
 * Exits non-zero on failure.
 */
#include <Vexal.h>

#include "Check.h"

#include <windows.h>

#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* --- the expected output ------------------------------------------------- */

static char expected[16384];
static size_t expectedLength = 0;

/* Appends formatted text, every "\n" as the "\r\n" a text-mode file holds. */
static void expect(const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    for (const char *p = text; *p != '\0' && expectedLength + 2 < sizeof expected; ++p) {
        if (*p == '\n')
            expected[expectedLength++] = '\r';
        expected[expectedLength++] = *p;
    }
    expected[expectedLength] = '\0';
}

static void expectRun(char c, int count)
{
    char run[128];
    memset(run, c, (size_t)count);
    run[count] = '\0';
    expect("%s", run);
}

static DWORD me;

/* A pointer as the Microsoft C runtime prints it: 16 upper-case hex digits. */
static const char *hex(const void *p)
{
    static char texts[4][20];
    static int next = 0;
    char *text = texts[next++ % 4];
    snprintf(text, 20, "%016" PRIX64, (uint64_t)(uintptr_t)p);
    return text;
}

/* One log line; an empty head gives a list line. */
static void expectLine(const char *head, const char *file, int line, const char *type, int size, uint64_t index,
                       const void *address)
{
    if (head[0] != '\0')
        expect("%s: ", head);
    expect("%s : %d, %s, %dB, %d, #%" PRIu64 ", (%s)\n", file, line, type, size, (int)me, index, hex(address));
}

static void expectHead(const char *title, int line)
{
    expect("\n");
    expectRun('v', 59);
    expect("\n%s\nmain.c : %d\n", title, line);
    expectRun('-', 59);
    expect("\n");
}

static void expectTail(void)
{
    expectRun('^', 59);
    expect("\n\n");
}

struct Row {
    const char *name;
    long long calls, still;
};

static void expectStatus(int line, const struct Row *rows, int count, long long internalUse, int freeFailed)
{
    const char *dashes = "------------------------------------------------\n";
    long long calls = 0, still = 0;
    expectHead("Present status of registered memory accesses at:", line);
    expect("Number of calls to, and still allocated memory to,\nthe respective memory function:\n\n");
    expect("%s| Function     | No of calls | Still allocated |\n%s", dashes, dashes);
    for (int i = 0; i < count; ++i) {
        expect("| %-12s | %11" PRId64 " | %15" PRId64 " |\n", rows[i].name, (int64_t)rows[i].calls,
               (int64_t)rows[i].still);
        calls += rows[i].calls;
        still += rows[i].still;
    }
    expect("%s| Summary      | %11" PRId64 " | %15" PRId64 " |\n%s\n", dashes, (int64_t)calls, (int64_t)still, dashes);
    expect("Sum of memory allocated: %15" PRId64 " B", (int64_t)still);
    expect("\n(Memory used internally by Vexal: %11" PRId64 " B)\n", (int64_t)internalUse);
    if (freeFailed != 0)
        expect("\n'free' failed %d time(s)!\n", freeFailed);
    expectTail();
}

/* --- the program --------------------------------------------------------- */

static char *readAll(const char *path, size_t *length)
{
    FILE *f = fopen(path, "rb");
    if (f == NULL)
        return NULL;
    static char text[32768];
    *length = fread(text, 1, sizeof text - 1, f);
    text[*length] = '\0';
    fclose(f);
    return text;
}

/* Bookkeeping per record: the record, one list link (three pointers) and
 * the file name's copy. */
static long long recordUse(const char *file)
{
    return (long long)(sizeof(AllocationRecord) + 3 * sizeof(void *) + strlen(file) + 1);
}

int main(void)
{
    int major = 0, minor = 0;
    VexalVersion(&major, &minor);
    CHECK(major == 1 && minor == 1);

    /* Exactly the Vexal functions leave the DLL: no list functions, and no
     * POSIX-only wrappers. */
    HMODULE dll = GetModuleHandleA("Vexal.dll");
    CHECK(dll != NULL);
    CHECK(GetProcAddress(dll, "VexalHeapReAlloc") != NULL);
    CHECK(GetProcAddress(dll, "LinkedListAdd") == NULL);
    CHECK(GetProcAddress(dll, "LinkedListInit") == NULL);
    CHECK(GetProcAddress(dll, "VexalValloc") == NULL);
    CHECK(GetProcAddress(dll, "VexalMemalign") == NULL);

    char folder[MAX_PATH];
    char path[MAX_PATH];
    CHECK(GetTempPathA(sizeof folder, folder) != 0);
    CHECK(GetTempFileNameA(folder, "vxl", 0, path) != 0);

    me = GetCurrentThreadId();
    VexalInit(1, 1, path, -1);
    CHECK(VexalGetIndex() == 0);

    HANDLE heap = HeapCreate(0, 0, 0);
    char *m = VexalMalloc(100, "main.c", 10);
    int *c = VexalCalloc(4, 4, "main.c", 11);
    char *s = VexalStrdup("abc", "lib\\str.c", 12);
    wchar_t *w = VexalWcsdup(L"wide", "main.c", 13);
    unsigned char *mb = VexalMbsdup((const unsigned char *)"mb", "main.c", 14);
    void *g = VexalGlobalAlloc(GMEM_FIXED, 20, "main.c", 15);
    void *l = VexalLocalAlloc(LMEM_FIXED, 30, "main.c", 16);
    void *h = VexalHeapAlloc(heap, 0, 40, "main.c", 17);
    void *h2 = VexalHeapReAlloc(heap, 0, h, 50, "main.c", 18);
    char *r = VexalRealloc(m, 0, 200, "main.c", 19);
    CHECK(m && c && s && w && mb && g && l && h && h2 && r);
    CHECK(wcscmp(w, L"wide") == 0 && strcmp((const char *)mb, "mb") == 0);
    expectLine("malloc", "main.c", 10, "malloc", 100, 1, m);
    expectLine("calloc", "main.c", 11, "calloc", 16, 2, c);
    expectLine("strdup", "lib\\str.c", 12, "strdup", 4, 3, s);
    expectLine("wcsdup", "main.c", 13, "wcsdup", 10, 4, w);
    expectLine("mbsdup", "main.c", 14, "mbsdup", 3, 5, mb);
    expectLine("GlobalAlloc", "main.c", 15, "GlobalAlloc", 20, 6, g);
    expectLine("LocalAlloc", "main.c", 16, "LocalAlloc", 30, 7, l);
    expectLine("HeapAlloc", "main.c", 17, "HeapAlloc", 40, 8, h);
    expectLine("HeapReAlloc", "main.c", 18, "HeapRealloc", 50, 9, h2);
    expectLine("realloc", "main.c", 19, "realloc", 200, 10, r);

    /* The records, oldest first, with the heap of the heap block. */
    const void *order[] = {c, s, w, mb, g, l, h2, r};
    int count = 0;
    for (AllocationRecord *rec = VexalGetListEntry(0); rec != NULL; rec = VexalGetListEntry(1), ++count) {
        CHECK(count < 8 && rec->address == order[count]);
        CHECK(rec->threadId == me);
        if (rec->address == h2)
            CHECK(rec->heap == heap && rec->type == VXL_HEAPREALLOC && rec->size == 50 && rec->index == 8);
    }
    CHECK(VexalGetListEntry(2) == NULL);
    CHECK(count == 8);

    CHECK(VexalShowStatus("main.c", 20) == WAIT_OBJECT_0);
    CHECK(VexalShowList("main.c", 21) == WAIT_OBJECT_0);
    const long long anchors = 2 * 3 * (long long)sizeof(void *);
    const struct Row live[] = {{"malloc", 1, 0},      {"calloc", 1, 16},     {"realloc", 1, 200},
                               {"strdup", 1, 4},      {"wcsdup", 1, 10},     {"mbsdup", 1, 3},
                               {"GlobalAlloc", 1, 20}, {"LocalAlloc", 1, 30}, {"HeapAlloc", 1, 0},
                               {"HeapReAlloc", 1, 50}};
    expectStatus(20, live, 10, anchors + 7 * recordUse("main.c") + recordUse("lib\\str.c"), 0);
    expectHead("List of present registered memory allocations at:", 21);
    expect("The list below shows for each registered memory allocation:\n"
           "'file' : 'line number', 'Memory Access Type', 'size of memory', 'Thread Id', 'Index' ('address')\n\n");
    expectLine("", "main.c", 11, "calloc", 16, 1, c);
    expectLine("", "str.c", 12, "strdup", 4, 2, s);
    expectLine("", "main.c", 13, "wcsdup", 10, 3, w);
    expectLine("", "main.c", 14, "mbsdup", 3, 4, mb);
    expectLine("", "main.c", 15, "GlobalAlloc", 20, 5, g);
    expectLine("", "main.c", 16, "LocalAlloc", 30, 6, l);
    expectLine("", "main.c", 18, "HeapRealloc", 50, 8, h2);
    expectLine("", "main.c", 19, "realloc", 200, 9, r);
    expectTail();

    /* The file filter ignores letter case; each block goes by its own kind. */
    CHECK(VexalFreeThese("MAIN.C", 15, 18, 0, 0, GetCurrentThreadId(), 0, 0) == 20 + 30 + 50);
    expectLine("HeapFree", "main.c", 18, "HeapRealloc", 50, 8, h2);
    expectLine("LocalFree", "main.c", 16, "LocalAlloc", 30, 6, l);
    expectLine("GlobalFree", "main.c", 15, "GlobalAlloc", 20, 5, g);
    /* Signed index bounds. */
    CHECK(VexalFreeThese(NULL, 0, 0, 0, 0, 0, -5, 2) == 16 + 4);
    expectLine("free", "lib\\str.c", 12, "strdup", 4, 2, s);
    expectLine("free", "main.c", 11, "calloc", 16, 1, c);
    /* Any release wrapper frees a runtime block with free. */
    CHECK(VexalGlobalFree(w, "main.c", 22) == NULL);
    expectLine("free", "main.c", 22, "wcsdup", 10, 3, w);
    CHECK(VexalLocalFree(mb, "main.c", 23) == NULL);
    expectLine("free", "main.c", 23, "mbsdup", 3, 4, mb);
    CHECK(VexalHeapFree(heap, 0, NULL, "main.c", 24) != 0);
    expectLine("HeapAlloc FAILED, memory perhaps already freed!!!", "main.c", 24, "HeapAlloc", -1, 10, NULL);
    VexalSet(1, 0);
    VexalFree(NULL, "main.c", 25);
    VexalSet(1, 1);
    CHECK(VexalGetIndex() == 10);
    CHECK(VexalFreeAll() == 200);
    expectLine("free", "main.c", 19, "realloc", 200, 9, r);
    CHECK(VexalFreeAll() == 0);
    VexalShowStatus("main.c", 30);
    struct Row gone[10];
    for (int i = 0; i < 10; ++i) {
        gone[i] = live[i];
        gone[i].still = 0;  /* the calls stay counted */
    }
    expectStatus(30, gone, 10, anchors, 2);
    VexalFinish();
    HeapDestroy(heap);

    size_t length = 0;
    const char *text = readAll(path, &length);
    CHECK(text != NULL);
    if (text != NULL && (length != expectedLength || memcmp(text, expected, length) != 0)) {
        size_t at = 0;
        while (at < length && at < expectedLength && text[at] == expected[at])
            ++at;
        fprintf(stderr, "output differs at byte %u:\n--- written\n%s\n--- expected\n%s\n", (unsigned)at, text + at,
                expected + at);
        ++failures;
    }
    DeleteFileA(path);

    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    return 0;
}
