#!/usr/bin/env python3
"""The Python package against the command line on cyclic-7: the same seed and thread count,
runs alternated so that the machine's load falls on both alike; and the time of "import zormix"
in a fresh interpreter.

    PYTHONPATH=build/python python3 bench/python_vs_cli.py build/src/cli/zormix [ROUNDS] [THREADS]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "python"))
from conftest import cyclic  # noqa: E402

import zormix  # noqa: E402


def main() -> None:
    cli = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    threads = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    text = cyclic(7)
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as source:
        source.write(text)
    command = [cli, source.name, "--seed", "42", "--threads", str(threads), "--no-report", "-q"]
    python, command_line = [], []
    for _ in range(rounds):
        start = time.perf_counter()
        zormix.solve(text, seed=42, threads=threads)
        python.append(time.perf_counter() - start)
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        command_line.append(time.perf_counter() - start)
    os.unlink(source.name)
    p, c = statistics.median(python), statistics.median(command_line)
    print(f"cyclic-7, {threads} threads, median of {rounds}: python {p:.3f} s, "
          f"command {c:.3f} s, ratio {p / c:.3f}")
    imports = []
    for _ in range(rounds):
        start = time.perf_counter()
        subprocess.run([sys.executable, "-c", "import zormix"], check=True)
        imports.append(time.perf_counter() - start)
    empty = []
    for _ in range(rounds):
        start = time.perf_counter()
        subprocess.run([sys.executable, "-c", "pass"], check=True)
        empty.append(time.perf_counter() - start)
    print(f"import zormix: {statistics.median(imports) - statistics.median(empty):.3f} s "
          f"(interpreter start-up taken off)")


if __name__ == "__main__":
    main()
