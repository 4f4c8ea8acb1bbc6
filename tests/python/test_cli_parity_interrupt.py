"""The package against the command line (same JSON for a seed), and Ctrl-C during a solve."""

import json
import os
import subprocess
import textwrap
import threading
import time

import pytest

import zormix
from conftest import REPOSITORY, cyclic, interrupt_child


def test_json_and_summary_are_the_cli_ones_byte_for_byte(cli, tmp_path):
    source = tmp_path / "cyclic5.txt"
    source.write_text(cyclic(5))
    out = tmp_path / "out.json"
    run = subprocess.run([cli, str(source), "--seed", "123456789", "--threads", "2", "--json",
                          str(out), "--no-report", "-q"], check=True, capture_output=True, text=True)
    result = zormix.solve(zormix.read_system(source), seed=123456789, threads=1)
    assert result.to_json() == out.read_text()
    assert result.summary() == run.stdout.replace(f"json: {out}\n", "")
    roots = json.loads(out.read_text())["roots"]
    assert len(roots) == len(result) == 70
    for record, root in zip(result.records, roots):
        assert record.values.tolist() == [complex(re, im) for re, im in root["values"]]
        assert (record.residual, record.condition, record.real) == (
            root["residue"], root["condition_number"], root["real"])
        assert (record.status, record.multiplicity) == (root["status"], root["multiplicity"])
        assert (record.path.cell, record.path.start_index, record.path.steps) == (
            root["path"]["cell"], root["path"]["start_index"], root["path"]["steps"])


DENSE = REPOSITORY / "examples" / "families" / "dense_quadrics.txt"


@pytest.mark.parametrize("work", [
    lambda: zormix.solve(cyclic(6), seed=1, threads=1),
    lambda: zormix.sweep(DENSE.read_text(), None, [[0.5, -0.3]] * 300, seed=1, threads=1),
], ids=["solve", "sweep"])
def test_gil_is_released_while_solving(work):
    ticks = []
    stop = threading.Event()

    def count():
        while not stop.is_set():
            ticks.append(1)
            time.sleep(0.001)

    counter = threading.Thread(target=count)
    counter.start()
    started = time.monotonic()
    work()
    elapsed = time.monotonic() - started
    stop.set()
    counter.join()
    # With the GIL held the counter would stand still for the whole solve.
    assert elapsed < 0.05 or len(ticks) > 10


CHILD = textwrap.dedent("""
    import sys, time, zormix
    sys.path.insert(0, {tests!r})
    from conftest import cyclic, interrupt_child
    wait_for, n = sys.argv[1], int(sys.argv[2])
    seen = set()
    def progress(stage, *counts):
        if stage == wait_for and stage not in seen:
            seen.add(stage)
            print("stage", stage, flush=True)
    print("ready", flush=True)
    try:
        zormix.solve(cyclic(n), seed=1, threads=2, progress=progress)
        print("finished", flush=True)
    except KeyboardInterrupt as error:
        print("caught", type(error).__name__, isinstance(error, zormix.Error), error.id,
              flush=True)
    print("after", len(zormix.solve("x^2 - 4", seed=1)), flush=True)
""")


def _interrupt_during(stage, n):
    caught, after, latency = interrupt_child(CHILD.format(tests=os.path.dirname(__file__)), stage,
                                             str(n))
    assert caught == ["caught", "Interrupted", "True", "zormix:interrupted"]
    assert after == ["after", "2"]  # the interpreter goes on solving
    assert latency < 1.0


# Each system keeps its solve in the stage for several seconds.
def test_ctrl_c_stops_the_mixed_cell_search():
    _interrupt_during("mixed cells", 11)


def test_ctrl_c_stops_tracking():
    _interrupt_during("tracking", 8)
