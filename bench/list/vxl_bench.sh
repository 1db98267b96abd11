#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# vxl against a program holding many live blocks: `vxl list` in each format
# and `vxl code --index exact`, end to end (connect, fetch, write to a pipe),
# with vxl's CPU time (user and system: less bent by a busy machine than the
# wall time) and its peak resident memory. A plain program, not a test: run
# it by hand after building the default preset.
#
#   bash bench/list/vxl_bench.sh [RECORDS] [RUNS]   (default 1000000 records, 5 runs)
#
# The application is list_peer with 100 call sites on 4 threads. VXL names
# another vxl to time, BUILD another build directory (default build/default).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

records=${1:-1000000}
runs=${2:-5}
build=${BUILD:-build/default}
vxl=${VXL:-$build/bin/vxl}
peer=$build/bench/list/list_peer
for program in "$vxl" "$peer"; do
  [[ -x $program ]] || { echo "vxl_bench: $program is not built" >&2; exit 2; }
done

# Each run gets an application of its own, listening before vxl starts;
# the library would listen on another port after each monitor, and only
# once it has done with the last one.
port=$((30000 + $$ % 4000))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
start_peer() {
  coproc PEER { exec "$peer" "$port" "$records" 100 4; }
  local ready
  read -r ready <&"${PEER[0]}"
  [[ $ready == ready ]] || { echo "vxl_bench: list_peer did not start" >&2; exit 1; }
}
stop_peer() {
  local pid=$PEER_PID
  exec {PEER[1]}>&-
  wait "$pid" 2>/dev/null || true
  port=$((port + 1))
}

echo "$records live blocks, 100 call sites, 4 threads; $runs runs each"
measure() {
  local label=$1; shift
  local out=$work/times
  : > "$out"
  for ((run = 0; run < runs; ++run)); do
    start_peer
    # Written to a pipe, as a reader of vxl's output gets it.
    /usr/bin/time -o "$out" -a -f "%e %M %U %S" "$vxl" "$@" --port "$port" --scan 0 --wait 10000 --timeout 60000 | cat > /dev/null
    stop_peer
  done
  python3 - "$label" "$out" <<'PY'
import sys
rows = [line.split() for line in open(sys.argv[2]) if line.strip()]
seconds = sorted(float(r[0]) for r in rows)
megabytes = sorted(int(r[1]) / 1024 for r in rows)
cpu = sorted(float(r[2]) + float(r[3]) for r in rows)
middle = len(rows) // 2
print("  %-20s wall median %5.2f s, best %5.2f s   vxl CPU median %5.2f s   peak RSS median %6.1f MB, max %6.1f MB"
      % (sys.argv[1], seconds[middle], seconds[0], cpu[middle], megabytes[middle], megabytes[-1]))
PY
}

measure "list --format text" list --format text
measure "list --format csv" list --format csv
measure "list --format json" list --format json
measure "code --index exact" code --index exact
