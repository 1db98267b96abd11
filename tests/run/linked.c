/* SPDX-License-Identifier: MIT */
/* Links libVexal itself: its own calls stay its own library's, the plain
 * ones are vexal-run's; neither is tracked twice. */
#include <Vexal.h>

#include <stdio.h>
#include <stdlib.h>

static void *volatile kept[2];

int main(void)
{
    VexalInit(1, 0, NULL, -1);
    kept[0] = VexalMalloc(24, __FILE__, __LINE__); /* own: malloc 24 */
    kept[1] = malloc(48);                          /* leak: malloc 48 */
    void *freed = VexalMalloc(8, __FILE__, __LINE__);
    VexalFree(freed, __FILE__, __LINE__);
    VexalShowList(__FILE__, __LINE__);
    VexalFinish();
    return 0;
}
