#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the default test suite N times in a row (default 5) while two
# CPU-burning processes keep the cores busy, as on a loaded machine, and
# stops at the first run that fails. Builds the default preset first.
#   bash scripts/stress-test.sh [N] [extra ctest arguments, e.g. -j2]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXAL_ROOT"

runs="${1:-5}"
shift $(( $# > 0 ? 1 : 0 ))

cmake --preset default -DVEXAL_BUILD_TESTS=ON >/dev/null
cmake --build --preset default -j "$JOBS"

burners=()
stop_burners() {
    if [ "${#burners[@]}" -gt 0 ]; then
        kill "${burners[@]}" 2>/dev/null || true
        wait "${burners[@]}" 2>/dev/null || true
    fi
}
trap stop_burners EXIT
for _ in 1 2; do
    ( while :; do :; done ) &
    burners+=("$!")
done

for ((run = 1; run <= runs; run++)); do
    echo "== stress test: run $run of $runs"
    if ! ctest --preset default "$@"; then
        echo "stress test: run $run of $runs failed" >&2
        exit 1
    fi
done
echo "stress test: $runs runs in a row passed"
