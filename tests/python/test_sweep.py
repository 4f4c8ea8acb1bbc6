"""zormix.sweep: members against fresh solves, the command's JSON Lines for a seed, start files
between the package and the command, argument errors, and Ctrl-C during a sweep."""

import os
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import zormix
from conftest import REPOSITORY, interrupt_child

FAMILIES = REPOSITORY / "examples" / "families"
PLANAR = (FAMILIES / "planar_3rpr.txt").read_text()
# Real and non-real members, leg lengths far apart, one complex value.
PLANAR_VALUES = np.array([[25, 45, 20], [18, 52, 30], [40, 30, 22], [25 + 0.5j, 45, 20],
                          [3.5, 170, 61]], dtype=complex)
# The member a = 0 makes the first equation vanish: it is not solved, and the sweep goes on.
SMALL = "variables x, y; parameters a, b; a*x^2 + a*y - a*b; x*y - b - 1"
# complex(0, -1.5), not -1.5j: that one has the real part -0.0, and the JSON writes the sign.
SMALL_VALUES = [[2, 3], [0, 1], [complex(0, -1.5), 0.25]]


def _matched(found, expected, tolerance=1e-8):
    """Every row of `expected` has its own row of `found` within tolerance (and as many rows)."""
    assert len(found) == len(expected)
    free = list(range(len(found)))
    for row in expected:
        distances = [np.max(np.abs(found[k] - row)) for k in free]
        best = int(np.argmin(distances))
        assert distances[best] <= tolerance * max(1.0, np.max(np.abs(row)))
        free.pop(best)


def test_every_member_has_the_roots_of_a_fresh_solve():
    family = zormix.Family(PLANAR)
    results = zormix.sweep(family, None, PLANAR_VALUES, seed=7, threads=2)
    assert [r.instance for r in results] == [1, 2, 3, 4, 5]
    for values, result in zip(PLANAR_VALUES, results):
        assert result.solved and result.route == "parameter"
        np.testing.assert_array_equal(result.parameters, values)
        fresh = zormix.solve(family.at(values), seed=11)
        assert result.counts["regular_count"] == fresh.counts["regular_count"] > 0
        _matched(result.regular, fresh.regular)
        assert result.is_real.sum() == fresh.is_real.sum()
    assert zormix.sweep(PLANAR, None, PLANAR_VALUES[:2], seed=7, threads=1)[1].to_json() == \
        results[1].to_json()  # any thread count, the same bits


def test_parameters_in_another_order_or_given_beside_the_equations(capsys):
    reference = zormix.sweep(SMALL, None, SMALL_VALUES, seed=3, progress=True)
    assert "zormix: 3/3 instances (1 not solved)" in capsys.readouterr().err
    swapped = zormix.sweep(SMALL, ["b", "a"], [row[::-1] for row in SMALL_VALUES], seed=3)
    equations = ["a*x^2 + a*y - a*b", "x*y - b - 1"]
    given = zormix.sweep(equations, ["a", "b"], np.array(SMALL_VALUES), seed=3)
    for a, b, c in zip(reference, swapped, given):
        np.testing.assert_array_equal(a.roots, b.roots)
        np.testing.assert_array_equal(a.roots, c.roots)
    first = reference[0]
    assert first.variables == ["x", "y"] and len(first.regular) == 3
    x, y = first.regular.T
    np.testing.assert_allclose(2 * x**2 + 2 * y - 6, 0, atol=1e-9)
    unsolved = reference[1]
    assert not unsolved.solved and unsolved.error and unsolved.roots.shape == (0, 2)
    assert "not solved" in str(unsolved) and reference[2].solved


def test_json_lines_and_start_files_are_the_commands(cli, tmp_path):
    system, values = tmp_path / "small.txt", tmp_path / "values.txt"
    system.write_text(SMALL)
    values.write_text("2 3\n0 1\n(0, -1.5) 0.25\n")
    out, saved = tmp_path / "out.jsonl", tmp_path / "cli_start.json"
    subprocess.run([cli, "sweep", str(system), str(values), "--seed", "99", "--threads", "2",
                    "--json", str(out), "--save-start", str(saved), "-q"], check=True,
                   capture_output=True)
    ours = tmp_path / "py_start.json"
    results = zormix.sweep(SMALL, None, SMALL_VALUES, seed=99, threads=1, save_start=ours)
    assert "".join(r.to_json() for r in results) == out.read_text()
    assert ours.read_bytes() == saved.read_bytes()

    # The command's start read by the package, and the package's start used by the command.
    start = zormix.load_start(saved)
    assert (start.seed, start.parameter_names, len(start)) == (99, ["a", "b"], 3)
    again = zormix.sweep(SMALL, None, SMALL_VALUES, start=start, seed=99)
    assert [r.to_json() for r in again] == [r.to_json() for r in results]
    out2 = tmp_path / "out2.jsonl"
    subprocess.run([cli, "sweep", str(system), str(values), "--start", str(ours), "--seed", "99",
                    "--json", str(out2), "-q"], check=True, capture_output=True)
    assert out2.read_text() == out.read_text()


def test_start_of_one_seed_reused_and_refused_by_another_family(tmp_path):
    start = zormix.start(PLANAR, seed=5)
    assert start.roots.shape == (6, 4) and start.path_count == 16
    assert np.all(np.abs(start.parameters.imag) > 0)  # generic complex p0
    start.save(tmp_path / "s.json")
    loaded = zormix.load_start(tmp_path / "s.json")
    np.testing.assert_array_equal(loaded.roots, start.roots)
    assert loaded.to_json() == start.to_json()
    reused = zormix.sweep(PLANAR, None, PLANAR_VALUES[:1], start=loaded, seed=1)
    direct = zormix.sweep(PLANAR, None, PLANAR_VALUES[:1], seed=5)
    _matched(reused[0].regular, direct[0].regular)
    with pytest.raises(zormix.Error, match="another system"):
        zormix.sweep(SMALL, None, SMALL_VALUES, start=loaded)


@pytest.mark.parametrize("system, parameters, values, message", [
    (PLANAR, None, np.ones((2, 2)), r"shape \(instances, 3\).*got shape \(2, 2\)"),
    (PLANAR, None, [[1, 2, 3], [1, 2]], r"values\[1\] \(instance 2\): expected 3 values"),
    (PLANAR, None, [[1, 2, 3], [1, "x", 3]], r"values\[1, 1\] \(L2, instance 2\)"),
    (PLANAR, None, np.array([[1, 2, 3], [4, 5, np.nan]]), r"values\[1, 2\] \(L3, instance 2\)"),
    (PLANAR, ["L1", "L2", "Q"], [[1, 2, 3]], "the text declares"),
    ("x^2 - 1; y - 1", None, [[1]], "no parameters"),
    (zormix.System.from_text("x - 1"), None, [[1]], "has no parameters"),
    (PLANAR, None, None, "values"),
])
def test_bad_arguments_say_what_and_where(system, parameters, values, message):
    with pytest.raises(zormix.Error, match=message) as caught:
        zormix.sweep(system, parameters, values, seed=1)
    assert caught.type in (zormix.BadArgument, zormix.InvalidInput)


CHILD = textwrap.dedent("""
    import sys, zormix
    family = zormix.Family(open(sys.argv[1]).read())
    seen = []
    def progress(stage, done, total, solved, unsolved):
        if not seen:
            seen.append(done)
            print("sweeping", flush=True)
    print("ready", flush=True)
    try:
        zormix.sweep(family, None, [[0.5, -0.3]] * 20000, seed=1, threads=2, progress=progress)
        print("finished", flush=True)
    except KeyboardInterrupt as error:
        first = [r.instance for r in error.results] == list(range(1, len(error.results) + 1))
        print("caught", type(error).__name__, error.id, len(error.results) > 0 and first,
              str(error).replace(" ", "_"), flush=True)
    print("after", len(zormix.sweep(family, None, [[0.1, 0.2]], seed=1)[0].regular), flush=True)
""")


def test_ctrl_c_stops_a_sweep_and_the_interpreter_goes_on():
    caught, after, latency = interrupt_child(CHILD, str(FAMILIES / "dense_quadrics.txt"))
    # The members finished before Ctrl-C come with it, in order from the first.
    assert caught == ["caught", "Interrupted", "zormix:interrupted", "True",
                      "the_sweep_was_interrupted"]
    assert after == ["after", "16"]
    assert latency < 1.0


def test_the_robot_example_finds_every_pose_of_its_trajectory(tmp_path):
    script = REPOSITORY / "python" / "examples" / "planar_robot.py"
    run = subprocess.run([sys.executable, str(script), "--poses", "40", "--plot",
                          str(tmp_path / "poses.png")], capture_output=True, text=True,
                         env={**os.environ, "MPLBACKEND": "Agg"})
    assert run.returncode == 0, run.stdout + run.stderr
    assert "the given pose among them in 40" in run.stdout
    assert (tmp_path / "poses.png").exists() or "matplotlib is not installed" in run.stdout
