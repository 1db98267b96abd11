#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# vexal-run against the plain run (and heaptrack, where installed) on the
# binary-trees workload: wall time, processor time and peak memory (GNU
# time, medians of the runs), in one sitting. With LUA naming a Lua 5.4
# interpreter built with -g, the same in Lua, and whether the bytes that
# --list-at-exit reports at os.exit(0, false) equal Lua's own count.
#
#   bash bench/run/run-bench.sh [DEPTH] [RUNS]       (default 16 5)
#   LUA=/path/to/lua bash bench/run/run-bench.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
depth="${1:-16}"
runs="${2:-5}"
build="$root/build/default"

cmake --build --preset default -j "${JOBS:-2}" --target vexal-run binary_trees call_sites >/dev/null
run="$build/bin/vexal-run"
trees="$build/bench/run/binary_trees"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# name, command...: after a warm-up run, the medians over the runs of the
# wall time, the processor time (user and system: steadier than wall time on
# a shared machine), both in seconds, and the peak memory in KiB.
measure() {
    local name="$1"
    shift
    "$@" >/dev/null 2>&1
    for _ in $(seq "$runs"); do
        /usr/bin/time -f "%e %U %S %M" -o "$work/$name.runs" -a "$@" >/dev/null 2>&1
    done
    python3 - "$work/$name.runs" "$name" <<'PY'
import statistics, sys
runs = [[float(v) for v in line.split()] for line in open(sys.argv[1]) if line.strip()]
wall = statistics.median(r[0] for r in runs)
cpu = statistics.median(r[1] + r[2] for r in runs)
peak = int(statistics.median(r[3] for r in runs))
print(f"{sys.argv[2]} {wall:.3f} {cpu:.3f} {peak}")
PY
}

compare() {
    local label="$1"
    shift
    {
        measure plain "$@"
        measure vexal-run "$run" "$@"
        if command -v heaptrack >/dev/null; then
            measure heaptrack heaptrack -o "$work/heaptrack" "$@"
        fi
    } >"$work/$label.txt"
    python3 - "$work/$label.txt" "$label" <<'PY'
import sys
rows = [[line.split()[0]] + [float(v) for v in line.split()[1:]] for line in open(sys.argv[1])]
plain = rows[0]
ratio = lambda value, base: value / base if base else float("nan")
print(f"{sys.argv[2]}:")
for name, wall, cpu, peak in rows:
    print(f"  {name:10} wall {wall:7.3f} s {ratio(wall, plain[1]):5.2f}x"
          f"  processor {cpu:7.3f} s {ratio(cpu, plain[2]):5.2f}x"
          f"  peak {peak / 1024:6.1f} MiB {ratio(peak, plain[3]):5.2f}x")
PY
}

echo "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $runs runs each"
compare "binary_trees $depth (C)" "$trees" "$depth"

if [ -n "${LUA:-}" ]; then
    script="$root/bench/run/binary_trees.lua"
    compare "binary_trees.lua $depth (Lua)" "$LUA" "$script" "$depth"
    lua_count="$("$LUA" "$script" 12 exit 2>&1 >/dev/null)"
    reported="$("$run" --list-at-exit "$LUA" "$script" 12 exit 2>&1 >/dev/null |
                sed -n 's/^Sum of memory allocated: *\([0-9]*\) B.*/\1/p')"
    echo "Lua's count at os.exit: $lua_count B; --list-at-exit: $reported B"
fi

echo "call sites (ns per pair, plain then under vexal-run):"
"$build/bench/run/call_sites" | sed 's/^/  plain      /'
"$run" "$build/bench/run/call_sites" | sed 's/^/  vexal-run  /'
