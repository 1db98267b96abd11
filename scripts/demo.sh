#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the leaking example and runs it: it prints
# Vexal's status and list reports. Arguments go to the example
# (--log, --output FILE, --port N, --seconds S, --help).
#
# Where a display is available, the example instead keeps working (and
# leaking) for a few minutes while serving a monitor, and the desktop monitor
# opens connected to it; closing the monitor ends the demo.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXAL_ROOT"

DEMO_PORT=5913
DEMO_SECONDS=300

vexal_install_missing
cmake --preset default -DVEXAL_BUILD_EXAMPLES=ON
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cmake --build --preset default -j "$JOBS" --target vexal_example
    exec build/default/examples/vexal_example "$@"
fi

cmake --build --preset default -j "$JOBS" --target vexal_example vexal-monitor
build/default/examples/vexal_example --port "$DEMO_PORT" --seconds "$DEMO_SECONDS" "$@" &
example=$!
trap 'kill "$example" 2>/dev/null || true' EXIT
# The example listens a moment after it starts; a probe connection would use
# up its port (it moves on to the next one after each monitor), so wait.
sleep 1
build/default/bin/vexal-monitor --address 127.0.0.1 --port "$DEMO_PORT" --connect
