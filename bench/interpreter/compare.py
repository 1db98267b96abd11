#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs the interpreter-shaped program plain and tracked, alternating, and
prints the median wall time, processor time (user and system: less bent by
other processes on a busy machine) and peak resident memory of each workload
with the tracked / plain ratios.

usage: compare.py BUILD_DIR [RUNS]   (BUILD_DIR holds both programs)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

WORKLOADS = ["strings", "tables", "closures", "trees"]


# A child's peak resident memory as wait4 reports it includes this Python
# process's, copied at the fork: GNU time, where there is one, forks from a
# small process instead.
TIME = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None


def run(program, workload):
    """Wall seconds, processor seconds and peak resident kilobytes of one run;
    checks its output."""
    with tempfile.NamedTemporaryFile("r") as reported:
        command = [program, workload]
        if TIME:
            command = [TIME, "-f", "%M", "-o", reported.name] + command
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=subprocess.PIPE)
        output = child.stdout.read()
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
        peak = int(reported.read().split()[-1]) if TIME else usage.ru_maxrss
    if status != 0:
        sys.exit("%s %s failed with status %d" % (program, workload, status))
    return seconds, usage.ru_utime + usage.ru_stime, peak, output


def main():
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    plain = os.path.join(build, "vexal_interpreter_plain")
    tracked = os.path.join(build, "vexal_interpreter_tracked")
    print("\nInterpreter-shaped workloads, medians of %d runs (tracked / plain)" % runs)
    print("  %-10s %9s %9s %7s %7s %10s %10s %7s" % ("", "plain s", "tracked s", "time", "CPU", "plain MB",
                                                      "tracked MB", "memory"))
    for workload in WORKLOADS:
        figures = {plain: [], tracked: []}
        outputs = set()
        for _ in range(runs):
            for program in (plain, tracked):
                seconds, cpu, peak, output = run(program, workload)
                figures[program].append((seconds, cpu, peak))
                outputs.add(output)
        if len(outputs) != 1:
            sys.exit("%s: plain and tracked runs disagree: %s" % (workload, sorted(outputs)))
        (ps, pc, pk), (ts, tc, tk) = [[statistics.median(run[i] for run in figures[p]) for i in range(3)]
                                      for p in (plain, tracked)]
        print("  %-10s %9.3f %9.3f %6.2fx %6.2fx %10.1f %10.1f %6.2fx" % (workload, ps, ts, ts / ps, tc / pc, pk / 1024,
                                                                          tk / 1024, tk / pk))


if __name__ == "__main__":
    main()
