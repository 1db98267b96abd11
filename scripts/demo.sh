#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the leaking example and runs it: it prints
# Vexal's status and list reports. Arguments go to the example
# (--log, --output FILE, --port N, --seconds S, --help).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXAL_ROOT"

vexal_install_missing
cmake --preset default -DVEXAL_BUILD_EXAMPLES=ON
cmake --build --preset default -j "$JOBS" --target vexal_example
exec build/default/examples/vexal_example "$@"
