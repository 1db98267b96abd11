/* SPDX-License-Identifier: MIT */
/* A library whose constructor allocates: it runs before vexal-run's library
 * has started, so the block is the C library's; the program frees it later. */
#include <stdlib.h>

static void *earlyBlock;

__attribute__((constructor)) static void allocateEarly(void) { earlyBlock = malloc(40); }

void releaseEarly(void) { free(earlyBlock); }
