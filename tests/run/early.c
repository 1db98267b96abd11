/* SPDX-License-Identifier: MIT */
/* Frees a block its library allocated before tracking started, and leaks
 * one from its own constructor, which runs after tracking started. */
#include <stdio.h>
#include <stdlib.h>

void releaseEarly(void);

static void *volatile kept;

__attribute__((constructor)) static void allocateInConstructor(void)
{
    kept = malloc(56); /* leak: malloc 56 */
}

int main(void)
{
    releaseEarly();
    fputs("early done\n", stdout);
    return 0;
}
