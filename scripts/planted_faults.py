#!/usr/bin/env python3
"""Planted faults: every registered parameter moved to either end of its range must be caught.

For each parameter of the registry (`zormix --parameters`) whose name starts with one of the
given prefixes, and for each end of its range that differs from its value, runs tests with
ZORMIX_PARAMETERS moving that one parameter, and prints one line per planted fault with what
caught it, and the survivors at the end.

What runs against a fault:
  --by-layer      the test programs of the layers that read the parameter (LAYER_PROGRAMS below:
                  tracker.* against the tracker and solve tests, finish.* against finish and
                  solve, local.* against local and finish, decompose.* against decompose), each
                  with --gtest_filter=-*Heavy* (and --skip) and --gtest_fail_fast, in that order,
                  stopping at the first program that catches the fault. The fast way: run it per
                  prefix.
  --program P     one test program (repeatable), the same way.
  (neither)       the non-heavy suite through ctest (-R --tests to narrow it).
  --no-tests      no test program: only the census (for the faults a record of the tests left).
  --census-subset the census at seed 1 on CENSUS_SUBSET below (the real systems whose verdicts turn
                  on thresholds, and a few benchmark rows), polyhedral rows first, stopping at the
                  first route that differs: about 11 s of CPU a fault.
If nothing caught a fault and --census 'CMD' is given, CMD runs through the shell with the same
environment; a non-zero exit status counts as caught. --only takes NAME (both ends) or
NAME:lowest / NAME:highest (one end).

A solve with moved parameters carries a warning saying so, and a test that asserts the absence of
warnings fails for that alone. So a control run first moves one parameter by a few units of
roundoff (no verdict can change): the tests that fail there are left out of every run and not
counted as catching anything. A program run longer than --timeout seconds counts as caught
("timeout": the suite's own time limit would fail it).

Run it at low priority, one prefix at a time, keeping a record that a later run resumes:

  nice -n 10 scripts/planted_faults.py --by-layer --prefix local. --record /tmp/planted.tsv
  nice -n 10 scripts/planted_faults.py --by-layer --prefix tracker. --record /tmp/planted.tsv
  nice -n 10 scripts/planted_faults.py --by-layer --only finish.some_name --record /tmp/p.tsv

  scripts/planted_faults.py [--build build] [--prefix tracker.] [--only NAME...]
                            [--by-layer | --program TESTS ... | --tests REGEX] [--jobs 2]
                            [--census 'CMD'] [--timeout 600] [--record FILE]
"""
import argparse
import os
import re
import shlex
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

LINE = re.compile(r"^(\S+) = (\S+)\s+range \[(\S+), (\S+)\]")

# The test programs of the layers that read the parameters of each prefix, cheapest first.
LAYER_PROGRAMS = {
    "tracker.": ["tracker", "solve"],
    "finish.": ["finish", "solve"],
    "local.": ["local", "finish"],
    "decompose.": ["decompose"],
}


# Tests that decide no verdict and take most of a program's time (a stop timed by the clock, the
# size limit's huge supports): left out of the program runs unless --skip says otherwise.
SKIP = ("CheckpointTest.APathAbandonedForAStopIsNotSaved:PathAccountingTest.Interrupt*:"
        "SizeLimitTest.*")


# The census rows for --census-subset, by route: cheap rows whose verdicts turn on the finish's and
# the end game's thresholds (singular roots, sets, paths to infinity, ill-conditioned roots).
CENSUS_SUBSET = {
    "polyhedral": ["cohn3", "demo/fourbar", "demo/tangents1", "demo/fbremb2", "demo/stewgou40",
                   "demo/rose", "demo/i1", "demo/d1", "demo/caprasse_new", "demo/cyclic6",
                   "demo/extcyc5", "demo/geneig", "demo/proddeco", "families/katsura8"],
    "total-degree": ["cohn3", "demo/fourbar", "demo/tangents1", "demo/fbremb2", "demo/butcher",
                     "demo/chandra4", "demo/chandra6", "demo/caprasse_new", "families/cyclic6",
                     "demo/extcyc5", "demo/rose", "demo/game5two", "demo/proddeco",
                     "demo/gaukwa3"],
}


def census_subset_command(zormix):
    """A shell command running the census on CENSUS_SUBSET at seed 1, one route after the other;
    its status is non-zero at the first route whose verdicts differ from expected.json."""
    census = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "census",
                          "census.py")
    runs = []
    for route, systems in CENSUS_SUBSET.items():
        words = [sys.executable, census, "--zormix", os.path.abspath(zormix), "--seeds", "1",
                 "-j1", "--route", route] + [w for system in systems for w in ("--system", system)]
        runs.append(" ".join(shlex.quote(w) for w in words) + " > /dev/null")
    return " && ".join(runs)


def registry(zormix):
    text = subprocess.run([zormix, "--parameters"], capture_output=True, text=True,
                          check=True).stdout
    parameters = []
    for line in text.splitlines():
        match = LINE.match(line)
        if match:
            name, value, lowest, highest = match.groups()
            parameters.append((name, float(value), float(lowest), float(highest)))
    return parameters


def layer_programs(build, name):
    for prefix, layers in LAYER_PROGRAMS.items():
        if name.startswith(prefix):
            return [os.path.join(build, "tests", f"zormix_{layer}_tests") for layer in layers]
    sys.exit(f"no test programs known for {name}")


def failed_gtests(program, environment, excluded, timeout, skip=""):
    """Names of the non-heavy tests of one test program that fail under `environment`, leaving
    out `excluded` and the tests matching `skip`; with `excluded` given the program stops at its
    first failure."""
    env = dict(os.environ, **environment)
    left_out = sorted(t for t in excluded or () if not t.startswith("("))
    command = [program, "--gtest_filter=-*Heavy*" + "".join(":" + t for t in left_out) +
               (":" + skip if skip else "")]
    if excluded is not None:
        command.append("--gtest_fail_fast")
    try:
        result = subprocess.run(command, capture_output=True, text=True, env=env, timeout=timeout)
    except subprocess.TimeoutExpired:
        return {f"({os.path.basename(program)}: timeout)"}
    failing = set(re.findall(r"^\[  FAILED  \] (\S+) \(", result.stdout, re.MULTILINE))
    if result.returncode and not failing:
        failing.add(f"({os.path.basename(program)} failed, status {result.returncode})")
    return failing


def failed_suite(build, tests, jobs, environment):
    """Names of the non-heavy ctest tests that fail under `environment` (empty: all passed)."""
    junit = os.path.join(build, "planted_faults.xml")
    command = ["ctest", "--test-dir", build, "-LE", "heavy", "-j", str(jobs),
               "--output-junit", junit]
    if tests:
        command += ["-R", tests]
    env = dict(os.environ, **environment)
    result = subprocess.run(command, capture_output=True, text=True, env=env)
    try:
        root = ElementTree.parse(junit).getroot()
    except (OSError, ElementTree.ParseError):
        return {"(ctest did not run)"} if result.returncode else set()
    failing = set()
    for case in root.iter("testcase"):
        if case.get("status") == "fail" or case.find("failure") is not None:
            failing.add(case.get("name"))
    if result.returncode and not failing:
        failing.add("(ctest failed)")
    return failing


class Runner:
    """Runs planted faults against test programs (or the ctest suite), leaving out the tests that
    fail in the control run."""

    def __init__(self, args, control):
        self.args = args
        self.control = control
        self.insensitive = {}  # program (or "" for ctest) -> tests failing in the control run

    def programs_for(self, name):
        if self.args.no_tests:
            return []
        if self.args.by_layer:
            return layer_programs(self.args.build, name)
        return self.args.program or [""]

    def excluded(self, program):
        if program not in self.insensitive:
            if program:
                failing = failed_gtests(program, self.control, None, self.args.timeout,
                                        self.args.skip)
            else:
                failing = failed_suite(self.args.build, self.args.tests, self.args.jobs,
                                       self.control)
            self.insensitive[program] = failing
            label = os.path.basename(program) or "ctest"
            print(f"control {label} ({self.control['ZORMIX_PARAMETERS']}): {len(failing)} tests "
                  f"fail on the warning alone{': ' + ', '.join(sorted(failing)) if failing else ''}")
            sys.stdout.flush()
        return self.insensitive[program]

    def caught_by(self, name, environment):
        """What catches the fault: 'program: tests', 'census', or '' (it survives)."""
        for program in self.programs_for(name):
            excluded = self.excluded(program)
            if program:
                caught = sorted(failed_gtests(program, environment, excluded, self.args.timeout,
                                              self.args.skip))
            else:
                caught = sorted(failed_suite(self.args.build, self.args.tests, self.args.jobs,
                                             environment) - excluded)
            if caught:
                label = os.path.basename(program) or "suite"
                return f"{label}: " + ", ".join(caught[:3]) + (" ..." if len(caught) > 3 else "")
        if self.args.census:
            env = dict(os.environ, **environment)
            census = subprocess.run(self.args.census, shell=True, env=env, capture_output=True)
            if census.returncode:
                return "census"
        return ""


def recorded(path):
    """The faults a record file already holds, as {name=end: caught-by}."""
    done = {}
    if path and os.path.exists(path):
        with open(path) as record:
            for line in record:
                fields = line.rstrip("\n").split("\t")
                if len(fields) == 3:
                    done[f"{fields[0]}={fields[1]}"] = fields[2]
    return done


def chosen_ends(only):
    """--only's NAME or NAME:lowest / NAME:highest as {name: set of ends}; None: every parameter."""
    if only is None:
        return None
    ends = {}
    for item in only:
        name, _, end = item.partition(":")
        if end not in ("", "lowest", "highest"):
            sys.exit(f"--only {item}: the end is 'lowest' or 'highest'")
        ends.setdefault(name, set()).update([end] if end else ["lowest", "highest"])
    return ends


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--prefix", action="append", default=None,
                        help="parameter name prefixes (default: tracker.)")
    parser.add_argument("--tests", default="", help="ctest -R regular expression")
    parser.add_argument("--census", default="", help="shell command run when nothing caught it")
    parser.add_argument("--only", nargs="*", default=None, help="only these parameter names")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--program", action="append", default=None,
                        help="run this test program instead of ctest (repeatable)")
    parser.add_argument("--by-layer", action="store_true",
                        help="run the test programs of the layers that read each parameter")
    parser.add_argument("--census-subset", action="store_true",
                        help="the census command: CENSUS_SUBSET at seed 1")
    parser.add_argument("--no-tests", action="store_true",
                        help="run no test program, only the census command")
    parser.add_argument("--timeout", type=float, default=600,
                        help="seconds a test program may take before the fault counts as caught")
    parser.add_argument("--skip", default=SKIP,
                        help="gtest patterns (':'-separated) left out of the program runs")
    parser.add_argument("--record", default="",
                        help="append 'name<TAB>end<TAB>caught by' lines here; faults already "
                             "recorded are not run again")
    args = parser.parse_args()
    prefixes = args.prefix or (["tracker."] if args.only is None else [""])
    zormix = os.path.join(args.build, "src", "cli", "zormix")
    if args.census_subset:
        if args.census:
            sys.exit("--census and --census-subset: give one")
        args.census = census_subset_command(zormix)
    parameters = [p for p in registry(zormix) if any(p[0].startswith(x) for x in prefixes)]
    ends = chosen_ends(args.only)
    if ends is not None:
        unknown = sorted(set(ends) - {p[0] for p in parameters})
        if unknown:
            sys.exit(f"not in the registry: {', '.join(unknown)}")
        order = list(ends)  # in the order given: the faults that matter most first
        parameters = sorted((p for p in parameters if p[0] in ends), key=lambda p: order.index(p[0]))
    if not parameters:
        sys.exit("no parameter matches")
    if args.no_tests and not args.census:
        sys.exit("--no-tests needs --census")

    name, value = parameters[0][0], parameters[0][1]
    runner = Runner(args, {"ZORMIX_PARAMETERS":
                           f"{name}={value * (1 + 4 * sys.float_info.epsilon)!r}"})
    done = recorded(args.record)
    survivors = []
    for name, value, lowest, highest in parameters:
        for which, end in (("lowest", lowest), ("highest", highest)):
            if end == value or (ends is not None and which not in ends[name]):
                continue
            fault = f"{name}={end!r}"
            by = done.get(fault)
            if by is None:
                by = runner.caught_by(name, {"ZORMIX_PARAMETERS": fault}) or "SURVIVES"
                if args.record:
                    with open(args.record, "a") as record:
                        record.write(f"{name}\t{end!r}\t{by}\n")
            if by == "SURVIVES":
                survivors.append(fault)
            print(f"{name:48s} {end!r:>12} {by}")
            sys.stdout.flush()
    print(f"\n{len(survivors)} survivors" + ("".join("\n  " + s for s in survivors)))
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
