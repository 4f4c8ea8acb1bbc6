#!/usr/bin/env python3
"""Planted faults: every registered parameter moved to either end of its range must be caught.

For each parameter of the registry (`zormix --parameters`) whose name starts with one of the
given prefixes, and for each end of its range that differs from its value, runs the non-heavy
suite (ctest -LE heavy, stopping at the first failure) with ZORMIX_PARAMETERS moving that one
parameter, and then, if the suite passed and a census command is given, the census with the same
environment. Prints one line per planted fault with what caught it, and the survivors at the end.

A solve with moved parameters carries a warning saying so, and a test that asserts the absence of
warnings fails for that alone. So a control run first moves one parameter by a few units of
roundoff (no verdict can change): the tests that fail there are not counted as catching anything.

  scripts/planted_faults.py [--build build] [--prefix tracker.] [--tests REGEX]
                            [--census 'CMD'] [--only NAME...] [--jobs 2] [--program TESTS]

The census command is run through the shell; a non-zero exit status counts as caught.
"""
import argparse
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

LINE = re.compile(r"^(\S+) = (\S+)\s+range \[(\S+), (\S+)\]")


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


def failed_gtests(program, environment):
    """Names of the non-heavy tests of one test program that fail under `environment`."""
    env = dict(os.environ, **environment)
    result = subprocess.run([program, "--gtest_filter=-*Heavy*"], capture_output=True, text=True,
                            env=env)
    failing = set(re.findall(r"^\[  FAILED  \] (\S+) \(", result.stdout, re.MULTILINE))
    if result.returncode and not failing:
        failing.add("(" + os.path.basename(program) + " failed)")
    return failing


def failed_tests(build, tests, jobs, environment, stop, program=None):
    """Names of the non-heavy tests that fail under `environment` (empty: all passed)."""
    if program:
        return failed_gtests(program, environment)
    junit = os.path.join(build, "planted_faults.xml")
    command = ["ctest", "--test-dir", build, "-LE", "heavy", "-j", str(jobs),
               "--output-junit", junit]
    if tests:
        command += ["-R", tests]
    if stop:
        command.append("--stop-on-failure")
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


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--prefix", action="append", default=None,
                        help="parameter name prefixes (default: tracker.)")
    parser.add_argument("--tests", default="", help="ctest -R regular expression")
    parser.add_argument("--census", default="", help="shell command run after a passing suite")
    parser.add_argument("--only", nargs="*", default=None, help="only these parameter names")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--program", default=None,
                        help="run this one test program instead of ctest (a quick first pass)")
    args = parser.parse_args()
    prefixes = args.prefix or ["tracker."]
    zormix = os.path.join(args.build, "src", "cli", "zormix")
    parameters = [p for p in registry(zormix) if any(p[0].startswith(x) for x in prefixes)]
    if args.only is not None:
        parameters = [p for p in parameters if p[0] in args.only]
    if not parameters:
        sys.exit("no parameter matches")

    name, value = parameters[0][0], parameters[0][1]
    control = {"ZORMIX_PARAMETERS": f"{name}={value * (1 + 4 * sys.float_info.epsilon)!r}"}
    insensitive = failed_tests(args.build, args.tests, args.jobs, control, False, args.program)
    print(f"control ({control['ZORMIX_PARAMETERS']}): {len(insensitive)} tests fail on the "
          f"warning alone{': ' + ', '.join(sorted(insensitive)) if insensitive else ''}")
    sys.stdout.flush()

    survivors = []
    for name, value, lowest, highest in parameters:
        for end in (lowest, highest):
            if end == value:
                continue
            environment = {"ZORMIX_PARAMETERS": f"{name}={end!r}"}
            failing = failed_tests(args.build, args.tests, args.jobs, environment, False, args.program)
            caught = sorted(failing - insensitive)
            by = ("suite: " + ", ".join(caught[:3]) + (" ..." if len(caught) > 3 else "")
                  if caught else "")
            if not caught and args.census:
                env = dict(os.environ, **environment)
                census = subprocess.run(args.census, shell=True, env=env, capture_output=True)
                by = "census" if census.returncode else ""
            if not caught and not by:
                by = "SURVIVES"
                survivors.append(f"{name}={end!r}")
            print(f"{name:48s} {end!r:>12} {by}")
            sys.stdout.flush()
    print(f"\n{len(survivors)} survivors" + ("".join("\n  " + s for s in survivors)))
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
