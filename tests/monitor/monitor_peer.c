/* SPDX-License-Identifier: MIT */
/* An application for the monitor's tests: linked with libVexal, serving a
 * monitor on the port given as its argument, and driven line by line on
 * standard input. Each command is answered by one line on standard output.
 *
 *   malloc N   allocates N bytes (kept)            -> "ok"
 *   tick       one tracked malloc and free         -> "ticked"
 *   status     calls VexalShowStatus               -> "status FILE LINE" first, "ok" after
 */
#include <Vexal.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int __lsan_is_turned_off(void);
/* The kept blocks are leaks on purpose. */
__attribute__((visibility("default"))) int __lsan_is_turned_off(void) { return 1; }

static void answer(const char *text)
{
    fputs(text, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    VexalInit(1, 0, NULL, atoi(argv[1]));
    answer("ready");
    char line[128];
    while (fgets(line, sizeof line, stdin) != NULL) {
        if (strncmp(line, "malloc ", 7) == 0) {
            if (VexalMalloc((size_t)strtoul(line + 7, NULL, 10), __FILE__, __LINE__) == NULL)
                return 1;
            answer("ok");
        } else if (strncmp(line, "tick", 4) == 0) {
            VexalFree(VexalMalloc(8, __FILE__, __LINE__), __FILE__, __LINE__);
            answer("ticked");
        } else if (strncmp(line, "status", 6) == 0) {
            printf("status %s %d\n", __FILE__, __LINE__ + 2);
            fflush(stdout);
            VexalShowStatus(__FILE__, __LINE__);
            answer("ok");
        }
    }
    return 0;
}
