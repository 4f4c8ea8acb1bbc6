"""Shared pieces of the Python package's tests."""

import os
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

REPOSITORY = Path(__file__).resolve().parents[2]


def cyclic(n: int) -> str:
    """The cyclic-n system as text: sum over i of prod_{j<k} x_{i+j mod n}, k = 1..n-1, and
    x_1...x_n - 1."""
    xs = [f"x{i + 1}" for i in range(n)]
    equations = []
    for k in range(1, n):
        terms = ["*".join(xs[(i + j) % n] for j in range(k)) for i in range(n)]
        equations.append(" + ".join(terms))
    equations.append("*".join(xs) + " - 1")
    return ";\n".join(equations)


@pytest.fixture(scope="session")
def cli() -> str:
    """The zormix command built with the module (ZORMIX_CLI, else build/src/cli/zormix)."""
    given = os.environ.get("ZORMIX_CLI")
    path = Path(given) if given else REPOSITORY / "build" / "src" / "cli" / "zormix"
    if given and not path.is_file():
        pytest.fail(f"ZORMIX_CLI={given} does not exist")
    if not path.is_file():
        pytest.skip("no zormix command built beside the module (set ZORMIX_CLI)")
    return str(path)


def interrupt_child(script: str, *args: str) -> tuple[list[str], list[str], float]:
    """Runs `script` in a fresh interpreter, which prints "ready", then one line when its work is
    under way, then one line on catching the interrupt and one after more work. Sends SIGINT
    after the second line; returns the words of the last two lines and the seconds from the
    signal to the third."""
    # A run started in the background of a shell without job control inherits SIGINT ignored,
    # and Python then installs no KeyboardInterrupt handler: the child gets the default back.
    child = subprocess.Popen([sys.executable, "-c", script, *args], stdout=subprocess.PIPE,
                             text=True,
                             preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    try:
        assert child.stdout.readline().strip() == "ready"
        under_way = child.stdout.readline()
        assert under_way, "the child ended before its work was under way"
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        caught = child.stdout.readline().split()
        latency = time.monotonic() - sent
        after = child.stdout.readline().split()
        assert child.wait(timeout=60) == 0
    finally:
        child.kill()
    return caught, after, latency
