#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, then configures the default preset, builds
# everything and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXAL_ROOT"

vexal_install_missing
cmake --preset default -DVEXAL_BUILD_TESTS=ON
cmake --build --preset default -j "$JOBS"
ctest --preset default
