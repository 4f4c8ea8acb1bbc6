"""zormix.monodromy: a start for zormix.sweep, the same as the command's for a seed, and its
arguments' mistakes."""

import json
import os
import subprocess

import numpy as np
import pytest

import zormix
from conftest import REPOSITORY

PLANAR = (REPOSITORY / "examples" / "families" / "planar_3rpr.txt").read_text()


def test_a_monodromy_start_sweeps_like_a_solved_start():
    found = zormix.monodromy(PLANAR, seed=5, threads=2)
    assert isinstance(found, zormix.Start) and len(found) == 6
    assert found.solution_count == 6 and found.trace_test_passed and found.stop == "trace test"
    solved = zormix.start(PLANAR, seed=5)
    assert np.array_equal(found.parameters, solved.parameters)  # the same p0 for a seed
    values = np.array([[25, 45, 20], [18, 52, 30]], dtype=complex)
    for a, b in zip(zormix.sweep(PLANAR, None, values, start=found, seed=1),
                    zormix.sweep(PLANAR, None, values, start=solved, seed=1)):
        assert len(a.regular) == len(b.regular) == 6
        for row in b.regular:
            assert np.min(np.max(np.abs(a.regular - row), axis=1)) < 1e-9 * max(1, np.abs(row).max())


def test_the_same_start_as_the_command(tmp_path):
    family = tmp_path / "family.txt"
    family.write_text("variables x, y; parameters a, b; x^2 + y^2 - a; x*y - b")
    found = zormix.monodromy(zormix.Family(family.read_text()), seed=2, count=4,
                             symmetries=["y, x"], save_start=tmp_path / "p.json")
    assert found.trace_test == "not run" and found.stop == "count"
    cli = os.environ.get("ZORMIX_CLI")
    if cli is None:
        pytest.skip("ZORMIX_CLI names no command")
    subprocess.run([cli, "monodromy", str(family), "--seed", "2", "--count", "4", "--symmetry",
                    "y, x", "--save-start", str(tmp_path / "c.json"), "-q"], check=True)
    assert json.loads((tmp_path / "c.json").read_text()) == json.loads(found.to_json())


def test_mistakes():
    with pytest.raises(zormix.BadArgument, match="count"):
        zormix.monodromy(PLANAR, seed=1, count=0)
    with pytest.raises(zormix.BadArgument, match="appears twice"):
        zormix.monodromy("variables x, y; parameters a; x^2 - a; y^2 - a", seed=1,
                         symmetries="x, x")
    with pytest.raises(zormix.BadArgument, match="symmetries"):
        zormix.monodromy(PLANAR, seed=1, symmetries=[1, 2])
