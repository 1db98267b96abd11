/* SPDX-License-Identifier: MIT */
/* A check that counts its failures, for the C test programs. */
#ifndef VEXAL_TEST_CHECK_H
#define VEXAL_TEST_CHECK_H

#include <stdio.h>

static int failures = 0;

#define CHECK(cond)                                                          \
    do {                                                                     \
        if (!(cond)) {                                                       \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, \
                    #cond);                                                  \
            ++failures;                                                      \
        }                                                                    \
    } while (0)

#endif
