/* SPDX-License-Identifier: MIT */
/* plugin_a.c with the leak on another line. */
#include <stdlib.h>

void *volatile pluginBlock;

__attribute__((visibility("default"))) void *pluginAllocate(void)
{



    pluginBlock = malloc(24); /* leak: malloc 24 */
    return pluginBlock;
}
