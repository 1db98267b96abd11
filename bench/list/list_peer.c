/* SPDX-License-Identifier: MIT */
/* The application of the list benchmark: linked with libVexal, it makes the
 * given number of live blocks at a few dozen call sites, says "ready" and
 * serves a monitor on the given port until its standard input closes.
 *
 *   list_peer PORT COUNT
 */
#include <Vexal.h>

#include <stdio.h>
#include <stdlib.h>

int __lsan_is_turned_off(void);
/* The blocks are kept on purpose. */
__attribute__((visibility("default"))) int __lsan_is_turned_off(void) { return 1; }

/* Call sites spread over lines, as in a program of some size. */
#define SITES 32

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    VexalInit(1, 0, NULL, atoi(argv[1]));
    const long count = atol(argv[2]);
    for (long i = 0; i < count; ++i) {
        const int site = (int)(i % SITES);
        if (VexalMalloc((size_t)(i % 200) + 1, __FILE__, __LINE__ + site * 10) == NULL)
            return 1;
    }
    puts("ready");
    fflush(stdout);
    int c;
    while ((c = getchar()) != EOF) {
    }
    return 0;
}
