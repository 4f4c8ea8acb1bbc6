#!/usr/bin/env python3
"""Ctrl-C during a solve in an interactive Octave session, under a pseudo-terminal.

For each of the two MEX functions: start a long solve, send SIGINT to the session's process group
after about two seconds, and check that Octave comes back to its prompt with the error
zormix:interrupted, that no report or temporary report file is left, and that the next solve in
the same session works. One solve is stopped inside its mixed-cell search (cyclic-12: about a
minute of search on one thread), which must also give up within seconds. Usage: ctrl_c.py
OCTAVE_CLI PATH_ENTRY...
"""
import contextlib
import os
import pty
import re
import select
import signal
import sys
import tempfile
import time


class Session:
    def __init__(self, octave, folder):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(folder)
            os.execvp(octave, [octave, "--no-gui", "--norc", "--no-history", "--quiet",
                               "--interactive", "--no-line-editing"])
        self.output = ""

    def send(self, line):
        os.write(self.fd, (line + "\n").encode())

    def expect(self, pattern, timeout):
        """Reads until pattern appears in the output since the last match; returns the text."""
        deadline = time.monotonic() + timeout
        while True:
            match = re.search(pattern, self.output)
            if match:
                text = self.output[:match.end()]
                self.output = self.output[match.end():]
                return text
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError(f"no {pattern!r} within {timeout} s; output:\n{self.output}")
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                try:
                    self.output += os.read(self.fd, 65536).decode(errors="replace")
                except OSError:
                    raise AssertionError(f"Octave ended; output:\n{self.output}")

    def interrupt(self):
        os.killpg(self.pid, signal.SIGINT)

    def close(self):
        """Asks Octave to exit; ends it after five seconds if it has not."""
        try:
            self.send("exit")
        except OSError:
            pass
        for _ in range(50):
            pid, _ = os.waitpid(self.pid, os.WNOHANG)
            if pid != 0:
                return
            time.sleep(0.1)
        os.kill(self.pid, signal.SIGKILL)
        os.waitpid(self.pid, 0)


def check_interrupted(session, call, stop_within=60):
    session.send("disp('STARTING'); " + call)
    session.expect(r"(?<!')STARTING", 60)  # the output, not the echoed command
    time.sleep(2)
    session.interrupt()
    text = session.expect(r"the solve was interrupted", stop_within)
    assert "error:" in text, text
    session.send("[message, identifier] = lasterr(); printf('ID=%s\\n', identifier);")
    session.expect(r"ID=zormix:interrupted", 30)
    session.send("printf('LEFT=%d\\n', numel(dir('data.roots*')));")
    session.expect(r"LEFT=0", 30)


def write_cyclic(path, n):
    """cyclic-n as polynomial text, one equation per line."""
    x = [f"x{i}" for i in range(1, n + 1)]
    with open(path, "w") as out:
        for k in range(1, n):
            out.write(" + ".join("*".join(x[(i + j) % n] for j in range(k)) for i in range(n)))
            out.write("\n")
        out.write("*".join(x) + " - 1\n")


@contextlib.contextmanager
def octave_session(octave, path, prefix):
    """An interactive session in a fresh folder, with `path` added; the folder goes with it."""
    folder = tempfile.mkdtemp(prefix=prefix)
    session = Session(octave, folder)
    try:
        session.send("addpath(" + ", ".join(f"'{p}'" for p in path) + "); disp('READY');")
        session.expect(r"(?<!')READY", 60)
        yield session, folder
    finally:
        session.close()
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
        os.rmdir(folder)


def main():
    octave, path = sys.argv[1], sys.argv[2:]
    with octave_session(octave, path, "zormix_ctrl_c_") as (session, folder):
        write_cyclic(os.path.join(folder, "cyclic12.txt"), 12)
        session.send("equations = e2e_long_system(9); "
                     "cyclic = strsplit(strtrim(fileread('cyclic12.txt')), \"\\n\"); "
                     "disp('WRITTEN');")
        session.expect(r"(?<!')WRITTEN", 60)
        check_interrupted(session, "[a, b, c, d] = zormix(2, zeros(1, 9));")
        check_interrupted(
            session,
            "r = zormix_solve_mex(equations, struct('route', 'totaldegree', 'threads', 1));")
        check_interrupted(session, "r = zormix_solve_mex(cyclic, struct('threads', 1));",
                          stop_within=15)
        # The session goes on: a small solve through both functions.
        session.send("zormix_write_psnum('PS.num', [2 0; 0 2; 0 0; 1 0; 0 1], [1 1 -1 1 -1], "
                     "[3 2]); [a, b, c, d] = zormix(1, zeros(1, 2)); "
                     "r = zormix_solve_mex({'x^2 - 4'}, struct()); "
                     "printf('NEXT=%d,%d\\n', a, r.nroots);")
        session.expect(r"NEXT=2,2", 120)
    print("ctrl_c: both MEX functions stop on Ctrl-C and the session goes on")


if __name__ == "__main__":
    main()
