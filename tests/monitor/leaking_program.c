/* SPDX-License-Identifier: MIT */
/* A program that leaks, built twice for the monitor's promise.
 *
 * As built by the project it makes its leaks, says "ready" and serves a
 * monitor on the port given as its argument until its standard input
 * closes. Built with VEXAL_FREEING_CODE naming a file of code that the
 * monitor generated and saved, it includes that code where it would free its
 * leaks, and then prints how many live records are left: it exits with 0
 * when there are none.
 *
 * Both builds make the same calls in the same order, so the records carry
 * the same indexes, lines and sizes in both.
 */
#include <Vexal.h>

#include <stdio.h>
#include <stdlib.h>

int __lsan_is_turned_off(void);
/* The serving build keeps its leaks on purpose. */
__attribute__((visibility("default"))) int __lsan_is_turned_off(void) { return 1; }

struct node {
    struct node *next;
    char *name;
};

/* A list whose owner forgets it: every node and its name leak. */
static struct node *build_list(int count)
{
    struct node *head = NULL;
    for (int i = 0; i < count; ++i) {
        struct node *node = VexalMalloc(sizeof *node, __FILE__, __LINE__);
        node->name = VexalStrdup(i % 2 == 0 ? "even" : "odd", __FILE__, __LINE__);
        node->next = head;
        head = node;
    }
    return head;
}

static void work(void)
{
    /* Freed properly: not in the list. */
    for (int i = 0; i < 5; ++i)
        VexalFree(VexalMalloc(32, __FILE__, __LINE__), __FILE__, __LINE__);
    build_list(12);
    /* Blocks of one call site and one size, all lost. */
    for (int i = 0; i < 4; ++i)
        VexalCalloc(3, 8, __FILE__, __LINE__);
    char *grown = VexalMalloc(10, __FILE__, __LINE__);
    VexalRealloc(grown, 0, 100, __FILE__, __LINE__);
}

#ifdef VEXAL_FREEING_CODE
static int live_records(void)
{
    int live = 0;
    for (AllocationRecord *r = VexalGetListEntry(0); r != NULL; r = VexalGetListEntry(1))
        ++live;
    VexalGetListEntry(2);
    return live;
}
#endif

int main(int argc, char **argv)
{
#ifdef VEXAL_FREEING_CODE
    (void)argc;
    (void)argv;
    VexalInit(1, 0, NULL, -1);
    work();
#include VEXAL_FREEING_CODE
    const int live = live_records();
    printf("%d live\n", live);
    return live == 0 ? 0 : 1;
#else
    if (argc != 2)
        return 2;
    VexalInit(1, 0, NULL, atoi(argv[1]));
    work();
    puts("ready");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    return 0;
#endif
}
