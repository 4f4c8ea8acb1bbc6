#!/usr/bin/env python3
"""Ctrl-C and SIGTERM while Octave sets up a route of two million paths ('maxPaths' allows it).

x^2000 - y - 1, y^1000 - x - 2 on the total-degree route: 2,000,000 paths of two variables, whose
start points and per-path storage once took seconds in which nothing polled (and x^1000000 - 1,
y - 1 on the polyhedral route: a cell of a million start solutions). Ctrl-C is sent at
several moments of the setup of an interactive session (under a pseudo-terminal), and the error
zormix:interrupted must reach the prompt within a second each time; SIGTERM to a batch session must
end Octave within a second. Both also during the tracking of x^10000000 - 1. Usage: setup_interrupt.py OCTAVE_CLI PATH_ENTRY...
"""
import signal
import subprocess
import sys
import time

from ctrl_c import octave_session

ANSWER_WITHIN = 1.0  # seconds from the signal to the answer
SOLVE = ("r = zormix_solve_mex({'x^2000 - y - 1', 'y^1000 - x - 2'}, "
         "struct('route', 'totaldegree', 'maxPaths', 1e7, 'threads', 1));")
DELAYS = (0.3, 0.9, 1.6)  # seconds after the solve began: start points, storage, first paths
# The polyhedral route: one mixed cell with a million start solutions, once all computed before
# its first path (SIGTERM then took 4.5 s to end Octave).
ONE_CELL = ("r = zormix_solve_mex({'x^1000000 - 1', 'y - 1'}, "
            "struct('maxPaths', 1e7, 'threads', 1));")

# x^10000000 - 1: ten million paths (each took three seconds when its evaluation built a table of
# every power); a signal 1.5 s into the call finds the tracking under way.
LONG_PATH = ("r = zormix_solve_mex({'x^10000000 - 1'}, "
             "struct('route', 'totaldegree', 'maxPaths', 1e7, 'threads', 1));")
INTO_THE_PATH = 1.5


def interrupt_after(session, delay, solve=SOLVE):
    session.send("disp('STARTING'); " + solve)
    session.expect(r"(?<!')STARTING", 60)
    time.sleep(delay)
    sent = time.monotonic()
    session.interrupt()
    session.expect(r"the solve was interrupted", 30)
    took = time.monotonic() - sent
    session.send("[message, identifier] = lasterr(); printf('ID=%s\\n', identifier);")
    session.expect(r"ID=zormix:interrupted", 30)
    assert took <= ANSWER_WITHIN, f"Ctrl-C {delay} s into the call answered after {took:.2f} s"
    return took


def terminate_after(octave, path, folder, delay, solve=SOLVE):
    script = ("addpath(" + ", ".join(f"'{p}'" for p in path) + "); disp('STARTING'); "
              "fflush(stdout); " + solve + " disp('WENT ON'); fflush(stdout);")
    proc = subprocess.Popen([octave, "--no-gui", "--norc", "--no-history", "--quiet", "--eval",
                             script], cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    line = proc.stdout.readline()
    assert b"STARTING" in line, line
    time.sleep(delay)
    sent = time.monotonic()
    proc.send_signal(signal.SIGTERM)
    try:
        rest, _ = proc.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.communicate()
        raise AssertionError(f"SIGTERM {delay} s into the call: Octave still ran after 20 s")
    took = time.monotonic() - sent
    assert b"WENT ON" not in rest, rest.decode(errors="replace")
    assert took <= ANSWER_WITHIN, f"SIGTERM {delay} s into the call: Octave ended after {took:.2f} s"
    return took


def main():
    octave, path = sys.argv[1], sys.argv[2:]
    with octave_session(octave, path, "zormix_setup_interrupt_") as (session, folder):
        for delay in DELAYS:
            took = interrupt_after(session, delay)
            print(f"Ctrl-C {delay} s into the setup: answered after {took:.2f} s")
        took = terminate_after(octave, path, folder, DELAYS[1])
        print(f"SIGTERM {DELAYS[1]} s into the setup: Octave ended after {took:.2f} s")
        took = terminate_after(octave, path, folder, DELAYS[1], ONE_CELL)
        print(f"SIGTERM {DELAYS[1]} s into a million-path cell: Octave ended after {took:.2f} s")
        took = interrupt_after(session, INTO_THE_PATH, LONG_PATH)
        print(f"Ctrl-C in the middle of a long path: answered after {took:.2f} s")
        took = terminate_after(octave, path, folder, INTO_THE_PATH, LONG_PATH)
        print(f"SIGTERM in the middle of a long path: Octave ended after {took:.2f} s")


if __name__ == "__main__":
    main()
