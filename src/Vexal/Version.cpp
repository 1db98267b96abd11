// SPDX-License-Identifier: MIT
// The library's version: the project's, as CMake writes it.
#include "ProjectVersion.h"
#include "Vexal.h"

extern "C" void VexalVersion(int *a, int *b)
{
    if (a != nullptr)
        *a = VEXAL_VERSION_MAJOR;
    if (b != nullptr)
        *b = VEXAL_VERSION_MINOR;
}
