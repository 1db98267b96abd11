/* SPDX-License-Identifier: MIT */
/* VEXAL_NO_TRACK turns VexalTrack.h into an empty header. */
#define VEXAL_NO_TRACK
#include <VexalTrack.h>

#include <stdlib.h>

#include "track_probe.h"

#if defined(malloc) || defined(free) || defined(VEXAL_H)
#error "VEXAL_NO_TRACK must leave malloc, free and <Vexal.h> alone"
#endif

void *optout_malloc(size_t size) { return malloc(size); }
void optout_free(void *block) { free(block); }
