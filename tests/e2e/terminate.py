#!/usr/bin/env python3
"""SIGTERM and SIGHUP during a solve in a batch Octave session (octave-cli --eval).

A batch system's time limit sends SIGTERM; a closed terminal sends SIGHUP. For each of the two MEX
functions: start a long solve, send the signal once it has been running for about two seconds, and
check that Octave ends within seconds (it does not go on with the commands after the solve) and
that no report or temporary report file is left. Octave's BLAS matters: a multithreaded one (Debian's
OpenBLAS) has threads of its own that take the signal where Octave's threads block it, so SIGTERM is
sent with Debian's reference BLAS and with OpenBLAS's threads too, each chosen by the library path.
Usage: terminate.py OCTAVE_CLI PATH_ENTRY...
"""
import glob
import os
import select
import signal
import subprocess
import sys
import tempfile
import time

STOP_WITHIN = 20  # seconds; the solves below take minutes


def blas_choices():
    """(name, environment) of each BLAS found: Debian's alternatives live in folders of their own,
    and the library path picks one for a process whatever the system's choice."""
    choices = [("the system's BLAS", {})]
    for name, folders, extra in (
            ("the reference BLAS", ("blas", "lapack"), {}),
            ("OpenBLAS with threads", ("openblas-pthread",), {"OPENBLAS_NUM_THREADS": "4"})):
        found = [glob.glob(f"/usr/lib/*/{folder}/lib*.so.3") for folder in folders]
        if all(found):
            library_path = ":".join(os.path.dirname(paths[0]) for paths in found)
            choices.append((name, {"LD_LIBRARY_PATH": library_path, **extra}))
        else:
            print(f"{name}: not installed here (scripts/install-deps.sh installs it), not tried")
    return choices


def check_ended(octave, path, folder, call, sig, environment=None):
    script = ("addpath(" + ", ".join(f"'{p}'" for p in path) + "); "
              "equations = e2e_long_system(9); disp('STARTING'); fflush(stdout); "
              "try, " + call + "; catch err, disp(err.message); end; "
              "disp('WENT ON'); fflush(stdout); pause(120);")
    proc = subprocess.Popen([octave, "--no-gui", "--norc", "--no-history", "--quiet", "--eval",
                             script], cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, env={**os.environ, **(environment or {})})
    output = b""
    deadline = time.monotonic() + 60
    while b"STARTING" not in output:
        left = deadline - time.monotonic()
        assert left > 0, f"the solve did not start; output:\n{output.decode(errors='replace')}"
        ready, _, _ = select.select([proc.stdout], [], [], left)
        if ready:
            chunk = os.read(proc.stdout.fileno(), 65536)
            assert chunk, f"Octave ended early; output:\n{output.decode(errors='replace')}"
            output += chunk
    time.sleep(2)
    sent = time.monotonic()
    proc.send_signal(sig)
    try:
        rest, _ = proc.communicate(timeout=STOP_WITHIN)
    except subprocess.TimeoutExpired:
        proc.kill()
        rest, _ = proc.communicate()
        text = (output + rest).decode(errors="replace")
        raise AssertionError(f"{call}: Octave still ran {STOP_WITHIN} s after {sig.name}:\n{text}")
    output += rest
    text = output.decode(errors="replace")
    assert b"WENT ON" not in output, f"{call}: Octave went on after {sig.name}:\n{text}"
    left = [name for name in os.listdir(folder) if name.startswith("data.roots")]
    assert not left, f"{call}: {sig.name} left {left}"
    print(f"{sig.name}: ended {time.monotonic() - sent:.1f} s after the signal: {call}")


def main():
    octave, path = sys.argv[1], sys.argv[2:]
    folder = tempfile.mkdtemp(prefix="zormix_terminate_")
    try:
        for name, environment in blas_choices():
            print(f"with {name}:")
            check_ended(octave, path, folder,
                        "r = zormix_solve_mex(equations, struct('route', 'totaldegree', "
                        "'threads', 1))", signal.SIGTERM, environment)
        check_ended(octave, path, folder,
                    "r = zormix_solve(equations, 'route', 'totaldegree', 'threads', 1)",
                    signal.SIGHUP)
        # The file-based module reads the PS.num that e2e_long_system wrote.
        check_ended(octave, path, folder, "[a, b, c, d] = zormix(2, zeros(1, 9))", signal.SIGTERM)
    finally:
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
        os.rmdir(folder)
    print("terminate: both MEX functions stop on SIGTERM and SIGHUP, and Octave ends")


if __name__ == "__main__":
    main()
