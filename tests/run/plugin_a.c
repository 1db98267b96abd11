/* SPDX-License-Identifier: MIT */
/* A plugin that leaks one block. plugin_b.c is the same code with the leak
 * on another line: loaded where this one lay, its calls return to the same
 * addresses. */
#include <stdlib.h>

void *volatile pluginBlock;

__attribute__((visibility("default"))) void *pluginAllocate(void)
{
    pluginBlock = malloc(24); /* leak: malloc 24 */
    return pluginBlock;
}
