#!/usr/bin/env python3
"""The start of a family by monodromy against its start solve, seed by seed in one run, and the
members swept from both starts.

  bench/monodromy_bench.py FAMILY [--seeds 1-10] [--count N] [--members K] [--zormix PATH]
                           [--work DIR]

Per seed: `zormix monodromy FAMILY --seed S --threads 1` and `zormix solve FAMILY --save-start
--seed S --threads 1`, one after the other, each timed by its CPU time (user + system of the
child: the load of a shared machine changes the wall time far more) and its wall time; then
`zormix sweep FAMILY VALUES --start ...` from either start on the first K members of the family's
_values.txt file, whose regular roots are matched (relative 1e-8, as bench/sweep_validate.py
does). Prints one line per seed and a summary; exit status 1 when a member's roots differ or a
start is incomplete.
"""
import argparse
import json
import os
import resource
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sweep_bench import mismatch, regular_roots  # noqa


def timed(args):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    begin = time.monotonic()
    done = subprocess.run(args, capture_output=True, text=True)
    wall = time.monotonic() - begin
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        raise SystemExit("%s failed (%d): %s" % (" ".join(args), done.returncode, done.stderr))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return cpu, wall


def seeds_of(text):
    if "-" in text:
        first, last = text.split("-")
        return list(range(int(first), int(last) + 1))
    return [int(s) for s in text.split(",")]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("family")
    parser.add_argument("--seeds", default="1-10")
    parser.add_argument("--count", type=int)
    parser.add_argument("--members", type=int, default=5)
    parser.add_argument("--zormix", default="build/src/cli/zormix")
    parser.add_argument("--work", default="/tmp/monodromy_bench")
    a = parser.parse_args()
    os.makedirs(a.work, exist_ok=True)
    values = a.family.replace(".txt", "_values.txt")
    members = os.path.join(a.work, "members.txt")
    with open(values) as source, open(members, "w") as out:
        rows = [l for l in source if l.split("#")[0].strip()]
        out.writelines(rows[:a.members])
    failures = 0
    ratios = []
    for seed in seeds_of(a.seeds):
        mono_start = os.path.join(a.work, "mono%d.json" % seed)
        mono_json = os.path.join(a.work, "mono%d.out.json" % seed)
        solved_start = os.path.join(a.work, "solved%d.json" % seed)
        command = [a.zormix, "monodromy", a.family, "--seed", str(seed), "--threads", "1", "-q",
                   "--save-start", mono_start, "--json", mono_json]
        if a.count:
            command += ["--count", str(a.count)]
        mono_cpu, mono_wall = timed(command)
        solve_cpu, solve_wall = timed([a.zormix, "solve", a.family, "--save-start", solved_start,
                                       "--seed", str(seed), "--threads", "1", "-q"])
        result = json.load(open(mono_json))
        solved_roots = len(json.load(open(solved_start))["roots"])
        worst, differing = 0.0, 0
        records = []
        for start in (mono_start, solved_start):
            out = os.path.join(a.work, "sweep%d.jsonl" % len(records))
            timed([a.zormix, "sweep", a.family, members, "--start", start, "--seed", "1",
                   "--threads", "1", "-q", "--json", out])
            records.append([json.loads(l) for l in open(out)])
        for x, y in zip(*records):
            rx, ry = regular_roots(x), regular_roots(y)
            gap = max(mismatch(rx, ry), mismatch(ry, rx)) if rx or ry else 0.0
            worst = max(worst, gap)
            differing += len(rx) != len(ry) or gap > 1e-8
        complete = result["solution_count"] == solved_roots
        failures += differing + (not complete)
        ratios.append(solve_cpu / mono_cpu)
        print("seed %2d: %d roots (start solve %d), trace test %s, %d loops, %d paths | CPU %.2f s "
              "vs %.2f s (%.1fx), wall %.2f s vs %.2f s | members differing %d of %d (worst %.0e)"
              % (seed, result["solution_count"], solved_roots, result["trace_test"],
                 result["loops"], result["paths_tracked"], mono_cpu, solve_cpu,
                 solve_cpu / mono_cpu, mono_wall, solve_wall, differing, len(records[0]), worst),
              flush=True)
    print("speed-up of the start (CPU time): %.1fx to %.1fx, median %.1fx"
          % (min(ratios), max(ratios), sorted(ratios)[len(ratios) // 2]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
