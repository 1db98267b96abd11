/* SPDX-License-Identifier: MIT */
/* Loads a plugin, lets it leak, unloads it, and does the same with a second
 * one, which the loader tends to put where the first lay. Says whether it
 * did.
 *
 *   plugins FIRST.so SECOND.so
 */
#include <dlfcn.h>
#include <stdio.h>

static void *run(const char *path, void **code)
{
    void *plugin = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    void *(*allocate)(void) = plugin != NULL ? (void *(*)(void))dlsym(plugin, "pluginAllocate") : NULL;
    if (allocate == NULL)
        return NULL;
    *code = (void *)allocate;
    void *block = allocate();
    dlclose(plugin);
    return block;
}

int main(int argc, char **argv)
{
    void *first = NULL, *second = NULL;
    if (argc < 3 || run(argv[1], &first) == NULL || run(argv[2], &second) == NULL)
        return 2;
    puts(first == second ? "same place" : "elsewhere");
    return 0;
}
