// SPDX-License-Identifier: MIT
// The benchmarks' measure of memory: the resident set of this process.
#pragma once

#include <unistd.h>

#include <cstdio>

// Resident set size of this process, from /proc/self/statm (in pages).
inline long long residentBytes()
{
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    long long pages = 0;
    long long resident = 0;
    if (statm == nullptr)
        return 0;
    if (std::fscanf(statm, "%lld %lld", &pages, &resident) != 2)
        resident = 0;
    std::fclose(statm);
    return resident * sysconf(_SC_PAGESIZE);
}
