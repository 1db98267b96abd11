#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the default preset (RelWithDebInfo), runs the benchmarks and prints
# the ratios that matter. Arguments go to the benchmark binary, e.g.
# --benchmark_filter=TrackedPair or --benchmark_repetitions=5; with
# repetitions the ratios use the median of each benchmark. Then the
# interpreter-shaped program, plain against tracked.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXAL_ROOT"

vexal_install_missing
cmake --preset default -DVEXAL_BUILD_BENCH=ON
cmake --build --preset default -j "$JOBS" --target vexal_bench vexal_interpreter_plain vexal_interpreter_tracked

results=build/default/bench/vexal_bench.json
build/default/bench/vexal_bench --benchmark_out="$results" --benchmark_out_format=json "$@"

python3 - "$results" <<'PY'
import json
import sys

SCALE = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

with open(sys.argv[1]) as f:
    runs = [b for b in json.load(f)["benchmarks"] if b.get("run_type", "iteration") == "iteration"]

def median(values):
    values = sorted(values)
    if not values:
        return None
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2

def ns(name, counter=None):
    found = [b for b in runs if b["name"] == name]
    if counter is not None:
        return median([b[counter] for b in found if counter in b])
    return median([b["real_time"] * SCALE[b.get("time_unit", "ns")] for b in found])

plain = ns("BM_PlainPair")
tracked0 = ns("BM_TrackedPair/0")
tracked1k = ns("BM_TrackedPair/1000")
tracked1m = ns("BM_TrackedPair/1000000")
fifo = ns("BM_FifoPair/1000000")
oldest = ns("BM_FreeOldest/1000000/manual_time", "ns_per_free")
threads = ns("BM_TrackedPairThreads/real_time/threads:2")
perRecord = ns("BM_ResidentBytesPerRecord/iterations:1", "bytes_per_record")
trackedPerBlock = ns("BM_ResidentBytesPerRecord/iterations:1", "tracked_bytes_per_block")
churnPlain = ns("BM_Churn<Plain>")
churnTracked = ns("BM_Churn<Tracked>")
growPlain = ns("BM_Grow<Plain>/manual_time")
growTracked = ns("BM_Grow<Tracked>/manual_time")
churnBytes = ns("BM_ChurnBytesPerBlock/iterations:1", "bookkeeping_bytes_per_block")

def show(label, a, b, unit="x"):
    value = "n/a" if a is None or b is None or b == 0 else "%.2f%s" % (a / b, unit)
    print("  %-58s %s" % (label, value))

print()
print("Ratios")
show("tracked pair (0 live) / plain pair", tracked0, plain)
show("tracked pair (1k live) / plain pair", tracked1k, plain)
show("tracked pair (1M live) / plain pair", tracked1m, plain)
show("tracked pair (1M live) / tracked pair (1k live)", tracked1m, tracked1k)
show("free of the oldest (1M live) / tracked pair (1M live)", oldest, tracked1m)
show("FIFO pair (1M live) / tracked pair (1M live)", fifo, tracked1m)
show("2 threads, time per pair / 1 thread (0 live)", threads, tracked0)
show("churn: tracked / plain run time", churnTracked, churnPlain)
show("growing to 1M live 16-byte blocks: tracked / plain", growTracked, growPlain)

def showBytes(label, value):
    print("  %-58s %s" % (label, "n/a" if value is None else "%.1f B" % value))

showBytes("resident bytes per live record (1M 16-byte blocks)", perRecord)
# The same growth less the 32 bytes glibc itself takes for a 16-byte block.
showBytes("RSS growth per tracked 16-byte block less 32 B", None if trackedPerBlock is None else trackedPerBlock - 32)
showBytes("churn: resident bookkeeping bytes per live block", churnBytes)
PY

# The interpreter-shaped program, plain and tracked, in separate processes
# (VEXAL_BENCH_RUNS runs of each, default 5).
python3 bench/interpreter/compare.py build/default/bench/interpreter "${VEXAL_BENCH_RUNS:-5}"
