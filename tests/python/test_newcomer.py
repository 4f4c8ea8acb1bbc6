"""What a first user of the package meets: one vocabulary for the paths with the command line,
real roots that are roots, the variable order in their hands, PHCpack's files, roots printed
without rounding noise, and a build that says how far it is."""

import importlib.util
import json
import subprocess

import numpy as np
import pytest

import zormix
from conftest import REPOSITORY

# Between them every verdict but "failed", which no small system reaches (the derivation of that
# count from the paths' verdicts is tested in C++): regular and real, singular (real), on sets,
# at infinity.
SYSTEMS = [
    ("x^2 + y^2 - 1; x - y", "polyhedral"),
    ("x^2 + y^2 - 1; (x - 2)^2 + y^2 - 1", "polyhedral"),  # circles touching at (1, 0)
    ("x*(y - 1)*(x - 3); x*((x - 2)^2 + (y - 1)^2 - 1)", "total-degree"),
]
CLASSES = ["regular_count", "singular_end_point_count", "positive_dimensional_count",
           "at_infinity_count", "failed_count"]


def cli_json(cli, tmp_path, text, route):
    source = tmp_path / "system.txt"
    source.write_text(text)
    out = tmp_path / "out.json"
    subprocess.run([cli, str(source), "--seed", "1", "--route", route, "--no-report", "-q",
                    "--json", str(out)], check=True, capture_output=True)
    return json.loads(out.read_text())


@pytest.mark.parametrize("text,route", SYSTEMS)
def test_counts_mean_the_same_in_python_and_the_json(cli, tmp_path, text, route):
    result = zormix.solve(text, seed=1, route=route)
    document = cli_json(cli, tmp_path, text, route)
    counts = result.counts
    for key, value in counts.items():
        assert value == document[key], key
    assert sum(counts[k] for k in CLASSES) == counts["path_count"]
    assert len(result.lost_paths) == counts["failed_count"] == counts["lost_path_count"]
    assert len(result.at_infinity_paths) == counts["at_infinity_count"]
    assert all(p.status == "diverged" and p.valuation < 0 for p in result.at_infinity_paths)
    assert int(result.is_real.sum()) == len(result.real) == counts["real_count"] \
        == counts["real_regular_count"]
    assert result.summary().splitlines()[0] == document["summary"]
    assert [r.real for r in result.records] == [root["real"] for root in document["roots"]]


def test_every_verdict_is_counted_where_it_belongs():
    result = zormix.solve(SYSTEMS[2][0], seed=1, route="total-degree")
    c = result.counts
    assert (c["regular_count"], c["singular_count"], c["positive_dimensional_count"],
            c["at_infinity_count"], c["failed_count"]) == (1, 1, 4, 1, 0)
    assert c["singular_end_point_count"] == 3 and c["path_count"] == 9


def test_real_roots_are_the_real_regular_roots():
    # Two circles touching at (1, 0): one real double root, no regular root.
    result = zormix.solve(SYSTEMS[1][0], seed=1)
    assert result.counts["singular_count"] == 1 and result.counts["regular_count"] == 0
    assert result.is_real_point.all() and not result.is_real.any()
    assert result.real.shape == (0, 2) and result.counts["real_count"] == 0
    assert result.real_solutions().shape == (0, 2)
    once = result.real_solutions(only_regular=False)
    assert once.shape == (1, 2)
    np.testing.assert_allclose(once, [[1.0, 0.0]], atol=1e-6)
    # A tolerance of one's own: the double root's copies are only about 1e-8 from real.
    assert result.real_solutions(tol=0.0, only_regular=False).shape[0] <= 1
    # The points of the curve of two equal circles are not roots at all.
    curve = zormix.solve("x^2 + y^2 - 1; x^2 + y^2 - 1", seed=1)
    assert curve.counts["positive_dimensional_count"] == 4
    assert curve.real_solutions(tol=1e300, only_regular=False).shape == (0, 2)


def test_variables_fix_the_order_of_the_columns():
    equations = ["c1^2 + s1^2 - 1", "c2^2 + s2^2 - 1", "c1 + c2 - 1.5", "s1 - s2 - 0.5"]
    default = zormix.solve(equations, seed=1)
    assert default.variables == ["c1", "s1", "c2", "s2"]
    wanted = ["s2", "c2", "s1", "c1"]
    ordered = zormix.solve(equations, variables=wanted, seed=1)
    assert ordered.variables == wanted
    columns = [default.variables.index(v) for v in wanted]
    expected = default.roots[:, columns]

    def rows(roots):  # the roots as a set: their order follows the paths, which the order moves
        return roots[np.lexsort(np.round(roots.real, 8).T[::-1])]

    np.testing.assert_allclose(rows(ordered.roots), rows(expected), atol=1e-12)
    assert "variables: s2, c2, s1, c1" in str(ordered)
    system = zormix.System.from_text("; ".join(equations))
    assert zormix.solve(system, variables=wanted, seed=1).variables == wanted
    with pytest.raises(zormix.BadArgument, match="'q' is not a variable"):
        zormix.solve(equations, variables=["c1", "s1", "c2", "q"])
    with pytest.raises(zormix.BadArgument, match="'s2' is missing"):
        zormix.solve(equations, variables=["c1", "s1", "c2"])


def test_families_take_the_variable_order_too():
    text = "(c1 - px)^2 + s1^2 - 1; c2^2 + (s2 - py)^2 - 1; c1 - c2; s1 + s2 - 1"
    family = zormix.Family(text, parameters=["px", "py"])
    assert family.variables == ["c1", "s1", "c2", "s2"]
    wanted = ["s2", "s1", "c2", "c1"]
    ordered = zormix.Family(text, parameters=["px", "py"], variables=wanted)
    assert ordered.variables == wanted
    members = zormix.sweep(text, ["px", "py"], [[0.5, 0.25]], variables=wanted, seed=1)
    assert members[0].variables == wanted
    with pytest.raises(zormix.BadArgument, match="the text declares"):
        zormix.Family("variables s1, c1, s2, c2; parameters px, py; " + text, variables=wanted)


def test_a_parameter_missing_from_the_text_is_named():
    with pytest.raises(zormix.InvalidInput, match="parameter 'b' appears in no equation"):
        zormix.Family("x^2 - a", parameters=["b"])


def test_phcpack_files_and_texts_are_read_as_phcpack_reads_them(tmp_path):
    phc = "2\nx^2 + y^2 - 1;\nx - y;\nTHE SOLUTIONS :\n"
    result = zormix.solve(phc, seed=1)
    np.testing.assert_allclose(np.abs(result.roots), np.sqrt(0.5), rtol=1e-12)
    path = tmp_path / "circle"
    path.write_text(phc)
    system = zormix.read_system(path)
    assert system == zormix.System.from_text("x^2 + y^2 - 1; x - y")
    assert zormix.read_system(path, format="phc", variables=["y", "x"]).variables == ["y", "x"]
    written = tmp_path / "again.phc"
    zormix.write_system(system, written)
    assert written.read_text() == system.to_phc() == "2\nx^2 + y^2 - 1;\nx - y;\n"
    with pytest.raises(zormix.InvalidInput, match="PHCpack"):
        zormix.System.from_text("variables e1, y; e1 - y; e1 + y - 1").to_phc()


def test_printed_roots_show_rounding_noise_as_zero():
    # x = y = +-0.0316i: the solver leaves real parts of 1e-27 and below.
    result = zormix.solve("x^2 + 1e-3; y - x", seed=1)
    assert np.any((result.roots.real != 0) & (np.abs(result.roots.real) < 1e-20))
    text = str(result)
    assert "0.0316228i" in text and "e-2" not in text and "e-3" not in text and "e-4" not in text


def test_total_degree_has_octaves_name_too():
    assert zormix.solve("x^2 - 1; y - x", route="totaldegree", seed=1).route == "total-degree"


def test_progress_line_is_the_command_lines():
    assert zormix._zormix.progress_line("tracking", 600, 1000, 550, 50, 500, 10.0) == (
        "zormix: tracking 600/1000 paths (500 restored): 550 reached, 50 not reached, "
        "10.0 paths/s, 0:40 left")


def _setup_module():
    # Loaded from its path: setup.py is a script at the top of the repository, not a package module.
    setup_file = importlib.util.spec_from_file_location("zormix_setup", REPOSITORY / "setup.py")
    module = importlib.util.module_from_spec(setup_file)
    setup_file.loader.exec_module(module)
    return module


def test_the_source_build_uses_every_core_and_reports_its_progress(tmp_path):
    setup = _setup_module()
    import os

    assert setup.build_jobs({}) == str(len(os.sched_getaffinity(0)))
    assert setup.build_jobs({"ZORMIX_BUILD_JOBS": "3"}) == "3"
    assert setup.build_dir({"ZORMIX_BUILD_DIR": str(tmp_path)}) == tmp_path
    assert setup.build_dir({}) == REPOSITORY / "build-python"
    assert setup.percent_done("[ 45%] Building CXX object src/io/reader.cc.o") == 45
    assert setup.percent_done("[12/80] Building CXX object src/io/reader.cc.o") == 15
    assert setup.percent_done("-- Configuring done") is None
