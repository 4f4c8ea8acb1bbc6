#!/usr/bin/env python3
"""Every member of a sweep against a fresh solve of that member: prints the members whose regular
roots differ (count, or a root farther than 1e-8 relative to max(1, |x|) from every root of the
other) and one summary line per family and seed.

  bench/sweep_validate.py FAMILY... [--instances N] [--seeds 1,2,3] [--jobs J] [--zormix PATH]
                          [--work DIR] [--values FILE]

Members are drawn as bench/sweep_bench.py draws them (the base values of the family's
`_values.txt` file, each moved by up to 10 %, from a generator seeded by the seed), or with
--values taken from FILE: the k-th seed of the list gets lines k N + 1 .. (k + 1) N (poses of a robot,
e.g. from bench/sweep_six_r.py, which moved values would not keep valid). Per seed the
sweep runs with its own start solve (`zormix sweep --seed S`, two threads), then the N fresh solves
(`zormix solve --seed S --threads 1`), J at a time. Exit status 1 when any member mismatched.
"""
import argparse
import concurrent.futures
import json
import os
import random
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sweep_bench import base_values, member_text, mismatch, parameter_names, regular_roots  # noqa


def listed_members(path, names, position, count):
    lines = [l.split("#")[0].replace(",", " ").split() for l in open(path)]
    lines = [[float(v) for v in l] for l in lines if len(l) == len(names)]
    if len(lines) < (position + 1) * count:
        raise SystemExit("%s holds %d members, fewer than %d" % (path, len(lines),
                                                                 (position + 1) * count))
    return lines[position * count:(position + 1) * count]


def draw_members(family, names, seed, count):
    rng = random.Random(seed)
    base = base_values(family, len(names))
    return [[v * rng.uniform(0.9, 1.1) for v in base] for _ in range(count)]


def fresh_solve(zormix, text, names, values, seed, work, k):
    member = os.path.join(work, "member%d.txt" % k)
    with open(member, "w") as f:
        f.write(member_text(text, names, values))
    out = os.path.join(work, "fresh%d.json" % k)
    begin = time.monotonic()
    subprocess.run([zormix, "solve", member, "--seed", str(seed), "--threads", "1", "--no-report",
                    "-q", "--json", out], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - begin
    with open(out) as f:
        return json.load(f), seconds


def validate(a, zormix, family, seed, position):
    text = open(family).read()
    names = parameter_names(text)
    work = os.path.join(a.work, "%s-%d" % (os.path.basename(family).replace(".txt", ""), seed))
    os.makedirs(work, exist_ok=True)
    members = (listed_members(a.values, names, position, a.instances) if a.values else
               draw_members(family, names, seed, a.instances))
    values = os.path.join(work, "values.txt")
    with open(values, "w") as f:
        f.write("\n".join(" ".join(repr(v) for v in m) for m in members) + "\n")
    out = os.path.join(work, "sweep.jsonl")
    begin = time.monotonic()
    subprocess.run([zormix, "sweep", family, values, "--seed", str(seed), "--threads", "2", "-q",
                    "--json", out], check=True, stdout=subprocess.DEVNULL)
    sweep_seconds = time.monotonic() - begin
    records = [json.loads(line) for line in open(out)]
    with concurrent.futures.ThreadPoolExecutor(a.jobs) as pool:
        fresh = list(pool.map(lambda k: fresh_solve(zormix, text, names, members[k], seed, work, k),
                              range(len(members))))
    worst, bad = 0.0, 0
    for k, (solved, _) in enumerate(fresh):
        expected, got = regular_roots(solved), regular_roots(records[k])
        d = max(mismatch(expected, got), mismatch(got, expected))
        worst = max(worst, d)
        if len(expected) != len(got) or d > 1e-8:
            bad += 1
            print("MISMATCH %s seed %d instance %d: fresh %d regular, sweep %d regular, worst %.1e"
                  " (flagged %s, failed %d)" % (os.path.basename(family), seed, k + 1,
                                                len(expected), len(got), d, records[k]["flagged"],
                                                records[k]["failed_count"]))
    fresh_seconds = sum(s for _, s in fresh)
    print("%s seed %d: %d/%d members match, worst %.1e; sweep %.2f s (start included), fresh "
          "%.1f s in all (%.3f s each)" % (os.path.basename(family), seed, len(members) - bad,
                                           len(members), worst, sweep_seconds, fresh_seconds,
                                           fresh_seconds / max(1, len(members))))
    sys.stdout.flush()
    return bad


def main():
    p = argparse.ArgumentParser()
    p.add_argument("families", nargs="+")
    p.add_argument("--zormix", default="build/src/cli/zormix")
    p.add_argument("--instances", type=int, default=100)
    p.add_argument("--seeds", default="1,2,3")
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("--work", default="sweep-validate")
    p.add_argument("--values")
    a = p.parse_args()
    zormix = os.path.abspath(a.zormix)
    bad = 0
    for family in a.families:
        for position, seed in enumerate(int(s) for s in a.seeds.split(",")):
            bad += validate(a, zormix, family, seed, position)
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
