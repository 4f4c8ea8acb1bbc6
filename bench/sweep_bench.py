#!/usr/bin/env python3
"""Parameter homotopy against fresh solves (and Debian's phc -b, run as a black box) on the same
members of a family.

  bench/sweep_bench.py FAMILY [--zormix PATH] [--instances N] [--fresh K] [--phc K]
                       [--range LO HI] [--seeds 1,2,3] [--threads T] [--work DIR]

FAMILY is polynomial text with a `parameters` statement (examples/families/). N members are drawn
with real parameter values uniform in [LO, HI] (default: the base values found in the family's
`_values.txt` file, each moved by up to 10 %). Per seed: the start solve and the sweep of all N
members are timed; the first K members are solved fresh by `zormix solve` (and by `phc -b`) one by
one; the regular roots of every member solved both ways are matched to 1e-8 (relative to
max(1, |x|)). Prints one Markdown table row per seed.
"""
import argparse
import json
import os
import random
import re
import shutil
import subprocess
import sys
import time


def run(args, **kw):
    start = time.monotonic()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
    return time.monotonic() - start


def parameter_names(text):
    match = re.search(r"^\s*parameters\s+([^;\n]+)", text, re.MULTILINE)
    return [n for n in re.split(r"[,\s]+", match.group(1).strip()) if n]


def member_text(text, names, values):
    body = re.sub(r"^\s*parameters\s+[^;\n]+;?\s*$", "", text, flags=re.MULTILINE)
    for name, value in zip(names, values):
        body = re.sub(r"\b%s\b" % re.escape(name), "(%r)" % value, body)
    return body


def regular_roots(record):
    return [[complex(*v) for v in r["values"]] for r in record["roots"] if r["status"] == "regular"]


def mismatch(a, b):
    worst = 0.0
    for x in a:
        nearest = min((max(abs(u - v) / max(1.0, abs(u)) for u, v in zip(x, y)) for y in b),
                      default=float("inf"))
        worst = max(worst, nearest)
    return worst


def base_values(family, count):
    path = family.replace(".txt", "_values.txt")
    with open(path) as f:
        for line in f:
            line = line.split("#")[0].replace(",", " ").split()
            if len(line) == count:
                return [float(v) for v in line]
    raise SystemExit("no real base values in " + path + "; give --range")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("family")
    p.add_argument("--zormix", default="build/src/cli/zormix")
    p.add_argument("--instances", type=int, default=100)
    p.add_argument("--fresh", type=int, default=10)
    p.add_argument("--phc", type=int, default=0)
    p.add_argument("--range", type=float, nargs=2)
    p.add_argument("--seeds", default="1")
    p.add_argument("--threads", default="0")
    p.add_argument("--work", default="sweep-bench")
    a = p.parse_args()
    zormix = os.path.abspath(a.zormix)
    text = open(a.family).read()
    names = parameter_names(text)
    os.makedirs(a.work, exist_ok=True)
    print("| family | seed | start roots | start s | sweep s (%d) | per member ms | fresh s/member | "
          "speed-up | matched | worst | phc s/member |" % a.instances)
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for seed in [int(s) for s in a.seeds.split(",")]:
        rng = random.Random(seed)
        base = None if a.range else base_values(a.family, len(names))
        members = []
        for _ in range(a.instances):
            if a.range:
                members.append([rng.uniform(*a.range) for _ in names])
            else:
                members.append([v * rng.uniform(0.9, 1.1) for v in base])
        values = os.path.join(a.work, "values.txt")
        with open(values, "w") as f:
            f.write("\n".join(" ".join(repr(v) for v in m) for m in members) + "\n")
        start = os.path.join(a.work, "start.json")
        tstart = run([zormix, "solve", a.family, "--seed", str(seed), "--threads", a.threads,
                      "--save-start", start])
        out = os.path.join(a.work, "sweep.jsonl")
        tsweep = run([zormix, "sweep", a.family, values, "--start", start, "--seed", str(seed),
                      "--threads", a.threads, "-q", "--json", out])
        records = [json.loads(line) for line in open(out)]
        start_roots = json.load(open(start))["roots"]
        fresh_time, worst, matched, phc_time = 0.0, 0.0, 0, 0.0
        for k in range(min(a.fresh, len(members))):
            inst = os.path.join(a.work, "member.txt")
            with open(inst, "w") as f:
                f.write(member_text(text, names, members[k]))
            fresh = os.path.join(a.work, "fresh.json")
            fresh_time += run([zormix, "solve", inst, "--seed", str(seed), "--threads", "1",
                               "--no-report", "-q", "--json", fresh])
            expected, got = regular_roots(json.load(open(fresh))), regular_roots(records[k])
            d = max(mismatch(expected, got), mismatch(got, expected))
            worst = max(worst, d)
            matched += len(expected) == len(got) and d <= 1e-8
            if k < a.phc and shutil.which("phc"):
                expanded = subprocess.run([zormix, "convert", inst, "-o", "-", "--to", "text"],
                                          check=True, capture_output=True, text=True).stdout
                equations = [l for l in expanded.splitlines() if not l.startswith("variables")]
                phc_in = os.path.join(a.work, "phc.in")
                with open(phc_in, "w") as f:
                    f.write("%d\n%s\n" % (len(equations), "\n".join(equations)))
                phc_out = os.path.join(a.work, "phc.out")
                if os.path.exists(phc_out):
                    os.remove(phc_out)
                phc_time += run(["phc", "-b", phc_in, phc_out])
        nfresh = min(a.fresh, len(members))
        per_member = tsweep / max(1, len(records))
        fresh_per = fresh_time / max(1, nfresh)
        phc_per = phc_time / max(1, min(a.phc, nfresh)) if a.phc and shutil.which("phc") else None
        print("| %s | %d | %d | %.2f | %.2f | %.2f | %.3f | %.0fx | %d/%d | %.1e | %s |" % (
            os.path.basename(a.family), seed, len(start_roots), tstart, tsweep, 1000 * per_member,
            fresh_per, fresh_per / per_member if per_member else 0, matched, nfresh, worst,
            "%.3f" % phc_per if phc_per is not None else "-"))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
