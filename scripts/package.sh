#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Debian packages: a Release build for prefix /usr in
# build/package, then cpack. Prints the paths of the .deb files.
# Usage: scripts/package.sh [extra cmake configure arguments]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXAL_ROOT"

vexal_install_missing >&2
build=build/package
# The manual pages must be in the packages: no pandoc is then an error,
# not a package without them.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DVEXAL_BUILD_TESTS=OFF -DVEXAL_BUILD_BENCH=OFF -DVEXAL_BUILD_EXAMPLES=OFF \
      -DVEXAL_BUILD_MAN=ON "$@" >&2
cmake --build "$build" -j "$JOBS" >&2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$PWD/$build"/*.deb
