#!/usr/bin/env python3
"""Census of verdicts: solves the systems of plan.txt with `zormix --json` on seeds 1-3 and
compares every verdict count with the values committed in expected.json.

    tests/census/census.py [--zormix PATH] [--group G]... [--system S]... [--full] [--update]

A run matches when every key of its expected entry is equal (the solver is deterministic for a
given seed whatever the thread count) and its classes account for every path exactly once. On a
mismatch the runner prints a table (system, route, seed, key, expected, got) and exits with 1.

Modes:
  (default)  the (system, route) pairs of plan.txt marked `ci`;
  --full     every pair of plan.txt, the slow ones marked `full` too;
  --update   writes the values found into expected.json instead of comparing (the entries of the
             runs not made are kept). Regenerate only on purpose: see README.md.

Each run's CPU time (user + sys of the solve) and wall time are printed; --times FILE also writes
them as a table, which is how the pairs marked `full` were chosen.
"""

import argparse
import collections
import concurrent.futures
import json
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = pathlib.Path(__file__).resolve().parent
SEEDS = (1, 2, 3)
ROUTES = ("polyhedral", "total-degree")
MODES = ("ci", "full")

# The classes of a path: every path ends in exactly one of them.
PATH_CLASSES = ("regular_count", "singular_end_point_count", "positive_dimensional_count",
                "at_infinity_count", "failed_count")

# Counts copied from the JSON as they are.
COUNT_KEYS = ("path_count", "regular_count", "real_regular_count", "singular_count",
              "singular_end_point_count", "positive_dimensional_count", "at_infinity_count",
              "failed_count")


class PlanError(Exception):
    pass


Pair = collections.namedtuple("Pair", "system route group mode cpu")
Run = collections.namedtuple("Run", "system route seed")


def read_plan(path):
    """plan.txt: one (system, route) pair a line, `system route group mode cpu`, '#' starts a
    comment. The system is a file of systems/ without its .txt; cpu is the CPU seconds its three
    seeds took when it was measured (it orders the CTest groups)."""
    pairs = []
    seen = set()
    for number, line in enumerate(pathlib.Path(path).read_text().splitlines(), 1):
        fields = line.split("#", 1)[0].split()
        if not fields:
            continue
        where = f"{path}:{number}"
        if len(fields) != 5 or not fields[4].isdigit():
            raise PlanError(f"{where}: expected 'system route group mode cpu-seconds', "
                            f"got {line.strip()!r}")
        pair = Pair(*fields[:4], int(fields[4]))
        if pair.route not in ROUTES:
            raise PlanError(f"{where}: route {pair.route!r} is not one of {', '.join(ROUTES)}")
        if pair.mode not in MODES:
            raise PlanError(f"{where}: mode {pair.mode!r} is not one of {', '.join(MODES)}")
        if (pair.system, pair.route) in seen:
            raise PlanError(f"{where}: {pair.system} {pair.route} is listed twice")
        seen.add((pair.system, pair.route))
        pairs.append(pair)
    return pairs


def run_key(run):
    return f"{run.system} {run.route} {run.seed}"


def verdicts(result):
    """The verdict counts of one JSON result: the counts as written, and how the singular roots,
    the points on sets and the failed paths split (multiplicities, local dimensions, statuses)."""
    counts = {key: result[key] for key in COUNT_KEYS}
    roots = result.get("roots", [])
    leaders = [r for i, r in enumerate(roots) if r["group_leader"] == i]
    multiplicities = collections.Counter(
        str(r["multiplicity"]) for r in leaders if r["status"] == "singular")
    dimensions = collections.Counter(
        str(r["local_dimension"]) for r in roots if r["status"] == "positive-dimensional")
    failed = collections.Counter(p["status"] for p in result.get("lost_paths", []))
    counts["singular_multiplicities"] = dict(sorted(multiplicities.items(), key=lambda kv: int(kv[0])))
    counts["positive_dimensional_by_dimension"] = dict(
        sorted(dimensions.items(), key=lambda kv: int(kv[0])))
    counts["failed_by_status"] = dict(sorted(failed.items()))
    return counts


def accounting_faults(result):
    """Ways in which a result fails to account for its paths: (key, what should hold, what does)."""
    faults = []
    total = sum(result[key] for key in PATH_CLASSES)
    if total != result["path_count"]:
        faults.append(("accounting", f"classes sum to {result['path_count']}", str(total)))
    for key, listed in (("failed_count", "lost_paths"), ("at_infinity_count", "at_infinity_paths")):
        if len(result.get(listed, [])) != result[key]:
            faults.append((key, f"= len({listed}) = {len(result.get(listed, []))}",
                           str(result[key])))
    roots = result.get("roots", [])
    by_status = collections.Counter(r["status"] for r in roots)
    singular_end_points = by_status["singular"]
    if singular_end_points != result["singular_end_point_count"]:
        faults.append(("singular_end_point_count", f"= singular roots listed = {singular_end_points}",
                       str(result["singular_end_point_count"])))
    if by_status["positive-dimensional"] != result["positive_dimensional_count"]:
        faults.append(("positive_dimensional_count",
                       f"= points on sets listed = {by_status['positive-dimensional']}",
                       str(result["positive_dimensional_count"])))
    return faults


class Solves:
    """The solves running, so that a census told to stop (CTest's time limit, Ctrl-C) stops them
    too instead of leaving them to run on, and starts no more."""

    lock = threading.Lock()
    running = set()
    stopped = False

    @classmethod
    def start(cls, command, work):
        with cls.lock:
            if cls.stopped:
                return None
            process = subprocess.Popen(command, cwd=work, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.PIPE)
            cls.running.add(process)
            return process

    @classmethod
    def finished(cls, process):
        with cls.lock:
            cls.running.discard(process)

    @classmethod
    def stop(cls, signum, _frame):
        with cls.lock:
            cls.stopped = True
            for process in cls.running:
                process.kill()
        raise SystemExit(128 + signum)


def solve(zormix, system_file, route, seed, threads, timeout):
    """Runs one solve; returns (JSON result or None, message, CPU seconds, wall seconds)."""
    with tempfile.TemporaryDirectory(prefix="zormix-census-") as work:
        json_path = os.path.join(work, "result.json")
        command = [zormix, "solve", str(system_file), "--route", route, "--seed", str(seed),
                   "--threads", str(threads), "--no-report", "--quiet", "--json", json_path]
        start = time.monotonic()
        process = Solves.start(command, work)
        if process is None:
            return None, "stopped", 0.0, 0.0
        timer = threading.Timer(timeout, process.kill)
        timer.start()
        stderr = process.stderr.read()
        _, status, usage = os.wait4(process.pid, 0)
        timer.cancel()
        Solves.finished(process)
        process.returncode = os.waitstatus_to_exitcode(status)
        process.stderr.close()
        wall = time.monotonic() - start
        cpu = usage.ru_utime + usage.ru_stime
        if process.returncode != 0:
            tail = stderr.decode(errors="replace").strip().splitlines()[-1:] or [""]
            reason = (f"killed after {timeout:.0f} s" if process.returncode == -9
                      else f"exit code {process.returncode}")
            return None, f"{reason}: {tail[0]}", cpu, wall
        try:
            with open(json_path) as file:
                return json.load(file), "", cpu, wall
        except (OSError, ValueError) as error:
            return None, f"no JSON result: {error}", cpu, wall


def compare(expected, got):
    """Rows (key, expected, got) where two verdict records differ."""
    rows = []
    for key in sorted(set(expected) | set(got)):
        if expected.get(key) != got.get(key):
            rows.append((key, show(expected.get(key)), show(got.get(key))))
    return rows


def show(value):
    if value is None:
        return "-"
    if isinstance(value, dict):
        return " ".join(f"{k}:{v}" for k, v in value.items()) or "{}"
    return str(value)


def print_table(rows, out):
    header = ("system", "route", "seed", "key", "expected", "got")
    widths = [max(len(str(row[i])) for row in [header] + rows) for i in range(len(header))]
    for row in [header] + rows:
        out.write("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip() + "\n")


def read_expected(path):
    if not path.exists():
        return {}
    with open(path) as file:
        return json.load(file)


def write_expected(path, entries):
    """One run a line, sorted, so that a change of one verdict is a change of one line; written to
    a temporary file beside the target and moved over it, never left half-written."""
    lines = [f"{json.dumps(key)}: {json.dumps(entries[key], sort_keys=False)}"
             for key in sorted(entries, key=sort_key)]
    text = "{\n" + ",\n".join(lines) + "\n}\n"
    handle, temporary = tempfile.mkstemp(dir=path.parent, prefix=path.name + ".")
    try:
        with os.fdopen(handle, "w") as file:
            file.write(text)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def sort_key(key):
    system, route, seed = key.rsplit(" ", 2)
    return (system, route, int(seed))


def select(pairs, args):
    chosen = []
    for pair in pairs:
        if args.group and pair.group not in args.group:
            continue
        if args.system and pair.system not in args.system:
            continue
        if args.route and pair.route != args.route:
            continue
        if pair.mode == "full" and not args.full:
            continue
        chosen.append(pair)
    return chosen


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zormix", default=str(HERE.parents[1] / "build" / "src" / "cli" / "zormix"),
                        help="the zormix command (default: build/src/cli/zormix)")
    parser.add_argument("--plan", type=pathlib.Path, default=HERE / "plan.txt")
    parser.add_argument("--expected", type=pathlib.Path, default=HERE / "expected.json")
    parser.add_argument("--systems", type=pathlib.Path, default=HERE / "systems")
    parser.add_argument("--group", action="append", help="only this group (repeatable)")
    parser.add_argument("--system", action="append", help="only this system (repeatable)")
    parser.add_argument("--route", choices=ROUTES, help="only this route")
    parser.add_argument("--seeds", default=",".join(map(str, SEEDS)),
                        help="comma-separated seeds (default 1,2,3)")
    parser.add_argument("--full", action="store_true", help="also the pairs marked full")
    parser.add_argument("--update", action="store_true",
                        help="write the values found into the expected file")
    parser.add_argument("--threads", type=int, default=1, help="threads of each solve (default 1)")
    parser.add_argument("--jobs", "-j", type=int, default=1, help="solves at the same time")
    parser.add_argument("--timeout", type=float, default=1800, help="seconds a solve may take")
    parser.add_argument("--times", type=pathlib.Path, help="write each run's CPU and wall time here")
    return parser.parse_args(argv)


def main(argv=None, out=sys.stdout):
    args = parse_arguments(argv)
    try:
        pairs = select(read_plan(args.plan), args)
        seeds = [int(s) for s in args.seeds.split(",") if s]
    except (PlanError, OSError, ValueError) as error:
        out.write(f"census: {error}\n")
        return 2
    if not pairs:
        out.write("census: no (system, route) pair selected\n")
        return 2
    missing = [p.system for p in pairs if not (args.systems / f"{p.system}.txt").is_file()]
    if missing:
        out.write(f"census: no system file for {', '.join(sorted(set(missing)))}\n")
        return 2
    expected = read_expected(args.expected)
    runs = [Run(p.system, p.route, seed) for p in pairs for seed in seeds]

    def one(run):
        return run, solve(args.zormix, args.systems / f"{run.system}.txt", run.route, run.seed,
                          args.threads, args.timeout)

    mismatches = []
    found = {}
    times = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for run, (result, message, cpu, wall) in pool.map(one, runs):
            rows = []
            if result is None:
                rows.append(("run", "a JSON result", message))
            else:
                rows += accounting_faults(result)
                got = verdicts(result)
                found[run_key(run)] = got
                if not args.update:
                    want = expected.get(run_key(run))
                    if want is None:
                        rows.append(("entry", "(none)", "run --update to record it"))
                    else:
                        rows += compare(want, got)
            times.append((run, cpu, wall))
            verdict = "ok" if not rows else "MISMATCH"
            summary = result["summary"].split(" · seed")[0] if result else message
            out.write(f"{run.system:24s} {run.route:12s} {run.seed:>3d} {cpu:8.1f} s cpu {wall:8.1f} s"
                      f"  {verdict:8s} {summary}\n")
            out.flush()
            mismatches += [(run.system, run.route, run.seed) + row for row in rows]

    total_cpu = sum(t[1] for t in times)
    total_wall = sum(t[2] for t in times)
    out.write(f"census: {len(runs)} runs, {total_cpu:.1f} s CPU, {total_wall:.1f} s wall\n")
    if args.times:
        with open(args.times, "w") as file:
            file.write("system\troute\tseed\tcpu\twall\n")
            for run, cpu, wall in times:
                file.write(f"{run.system}\t{run.route}\t{run.seed}\t{cpu:.2f}\t{wall:.2f}\n")
    if args.update and found:
        failed_runs = {(m[0], m[1], m[2]) for m in mismatches}
        expected.update({k: v for k, v in found.items() if tuple(sort_key(k)) not in failed_runs})
        write_expected(args.expected, expected)
        out.write(f"census: {len(found)} entries written to {args.expected}\n")
    if mismatches:
        out.write(f"census: {len({m[:3] for m in mismatches})} of {len(runs)} runs differ:\n")
        print_table(mismatches, out)
        return 1
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, Solves.stop)
    signal.signal(signal.SIGINT, Solves.stop)
    sys.exit(main())
