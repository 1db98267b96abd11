/* SPDX-License-Identifier: MIT */
/* Forks children that allocate, free and leak one block each while a
 * thread of the parent allocates and frees without pause, then executes a
 * copy of itself that leaks one block and says what LD_PRELOAD it got.
 *
 *   forking             the parent
 *   forking executed    the executed copy
 */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

enum { kChildren = 8 };

static void *volatile kept[2];

static volatile int churning = 1;

/* Holds the library's locks now and then when a fork comes. */
static void *churn(void *arg)
{
    (void)arg;
    for (unsigned n = 0; churning; ++n)
        free(malloc(16 + n % 256));
    return NULL;
}

static int waitFor(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "executed") == 0) {
        kept[0] = malloc(72); /* leak: executed 72 */
        const char *preload = getenv("LD_PRELOAD");
        printf("executed with LD_PRELOAD %s\n", preload != NULL ? preload : "unset");
        return 0;
    }
    kept[0] = malloc(64); /* leak: parent 64 */
    pthread_t churner;
    if (pthread_create(&churner, NULL, churn, NULL) != 0)
        return 2;
    pid_t children[kChildren];
    for (int i = 0; i < kChildren; ++i) {
        children[i] = fork();
        if (children[i] == 0) {
            for (int n = 0; n < 1000; ++n)
                free(malloc((size_t)(8 + n % 100)));
            kept[1] = strdup("child"); /* leak: child 6 */
            exit(0);
        }
    }
    int ok = 1;
    for (int i = 0; i < kChildren; ++i)
        ok = children[i] > 0 && waitFor(children[i]) && ok;
    churning = 0;
    pthread_join(churner, NULL);

    const pid_t executed = fork();
    if (executed == 0) {
        execl(argv[0], argv[0], "executed", (char *)NULL);
        _exit(127);
    }
    ok = executed > 0 && waitFor(executed) && ok;
    fputs(ok ? "forking done\n" : "forking failed\n", stdout);
    return ok ? 0 : 1;
}
