"""Known answers of zormix.solve, its input forms and its result objects."""

import numpy as np
import pytest

import zormix
from conftest import cyclic

CIRCLE_LINE = "x^2 + y^2 - 1; x - y"


def test_circle_and_line_has_two_real_regular_roots():
    result = zormix.solve(CIRCLE_LINE, seed=5)
    s = np.sqrt(0.5)
    expected = np.array([[s, s], [-s, -s]])
    order = np.argsort(result.roots[:, 0].real)[::-1]
    np.testing.assert_allclose(result.roots[order], expected, atol=1e-12)
    assert result.roots.dtype == np.complex128 and result.roots.shape == (2, 2)
    assert result.real.dtype == np.float64 and result.real.shape == (2, 2)
    assert result.regular.shape == (2, 2)
    assert result.seed == 5 and result.variables == ["x", "y"]
    assert result.counts["root_count"] == 2 and result.counts["real_count"] == 2
    assert [r.status for r in result.records] == ["regular", "regular"]
    assert all(r.residual < 1e-12 and r.multiplicity == 1 and r.certified is None
               for r in result.records)
    with pytest.raises(ValueError):
        result.roots[0, 0] = 0  # results are read only


def test_non_real_roots_far_from_one():
    # x = +-2000i, y = 3x: nothing real, values of size 1e3.
    result = zormix.solve("x^2 + 4e6; y - 3 x", seed=2, threads=1)
    assert len(result) == 2 and result.real.shape == (0, 2)
    assert not result.is_real.any()
    np.testing.assert_allclose(sorted(result.roots[:, 0].imag), [-2000, 2000], rtol=1e-12)
    np.testing.assert_allclose(result.roots[:, 1], 3 * result.roots[:, 0], rtol=1e-12)


def test_real_and_regular_pick_their_rows():
    # x = +-1 with y in {2, i, -i}: six regular roots, the two with y = 2 real.
    result = zormix.solve("x^2 - 1; (y - 2)*(y^2 + 1)", seed=4)
    assert len(result) == 6 and result.regular.shape == (6, 2)
    np.testing.assert_allclose(sorted(result.real[:, 0]), [-1, 1], atol=1e-12)
    np.testing.assert_allclose(result.real[:, 1], [2, 2], atol=1e-12)
    assert [r.real for r in result.records] == list(result.is_real)


def test_routes_count_their_own_paths():
    # x^3 = 1 after eliminating y: 3 roots, mixed volume 3, Bezout number 4.
    system = "x*y - 1; x^2 - y"
    assert zormix.mixed_volume(system, seed=1) == 3
    polyhedral = zormix.solve(system, seed=1)
    total = zormix.solve(system, route="total-degree", seed=1)
    assert polyhedral.counts["path_count"] == 3 and total.counts["path_count"] == 4
    assert len(polyhedral) == len(total) == 3
    assert total.route == "total-degree" and sum(total.path_status_counts.values()) == 4
    np.testing.assert_allclose(np.sort_complex(polyhedral.roots[:, 0] ** 3), [1, 1, 1],
                               atol=1e-12)


def test_input_forms_give_the_same_roots_bit_for_bit():
    exponents = [np.array([[2, 0], [0, 2], [0, 0]]), np.array([[1, 0], [0, 1]])]
    coefficients = [[1, 1, -1], [1, -1]]
    forms = [
        CIRCLE_LINE,
        ["x^2 + y^2 - 1  # the circle", "x - y;"],
        (exponents, coefficients, ["x", "y"]),
        zormix.System(exponents, coefficients, ["x", "y"]),
        zormix.System.from_text(CIRCLE_LINE),
    ]
    results = [zormix.solve(f, seed=11, threads=1) for f in forms]
    for r in results[1:]:
        assert np.array_equal(r.roots, results[0].roots)


def test_singular_root_is_grouped_with_its_multiplicity():
    result = zormix.solve("x^2; y - 2", seed=3)
    assert result.counts["singular_count"] == 1
    assert result.counts["singular_end_point_count"] == 2
    singular = [r for r in result.records if r.status == "singular"]
    assert singular and singular[0].multiplicity == 2
    np.testing.assert_allclose(singular[0].values, [0, 2], atol=1e-6)


def test_certified_roots_of_cyclic_5():
    result = zormix.solve(cyclic(5), seed=7, certify=True)
    assert len(result) == 70 and result.certification_run
    assert result.certified.all() and result.counts["certified_distinct_count"] == 70
    assert all(r.certified for r in result.records)
    assert (result.box_radii > 0).all() and (result.box_radii < 1e-6).all()
    # Each box is around its own root (rows not mixed up): the centers are the roots to rounding.
    np.testing.assert_allclose(result.box_centers, result.roots, rtol=0, atol=1e-14)


def test_same_seed_same_roots_whatever_the_threads():
    a = zormix.solve(cyclic(5), seed=2**64 - 1, threads=1)
    b = zormix.solve(cyclic(5), seed=2**64 - 1, threads=2)
    assert a.seed == 2**64 - 1 and np.array_equal(a.roots, b.roots)
    fresh = zormix.solve(CIRCLE_LINE)
    assert np.array_equal(zormix.solve(CIRCLE_LINE, seed=fresh.seed).roots, fresh.roots)


def test_printed_summary_and_repr():
    result = zormix.solve(CIRCLE_LINE, seed=9)
    text = str(result)
    assert text.startswith("2 regular roots (2 real) · 0 paths to infinity · 0 failed · 2 paths"
                           " · seed 9\n")
    assert "roots (x, y):" in text and text.count("regular  real") == 2
    assert repr(result) == "<zormix.Result: 2 roots (2 real) in x, y, 2 paths, seed 9>"


def test_progress_callback_sees_the_stages_and_its_exception_stops_the_solve():
    seen = []
    zormix.solve(cyclic(5), seed=1, progress=lambda *p: seen.append(p))
    stages = [p[0] for p in seen]
    assert "mixed cells" in stages and "tracking" in stages
    tracking = [p for p in seen if p[0] == "tracking"]
    assert tracking[-1][1:3] == (70, 70)  # the last report counts every path

    def fail(*_):
        raise RuntimeError("stop here")

    with pytest.raises(RuntimeError, match="stop here"):
        zormix.solve(cyclic(5), seed=1, progress=fail)


def test_progress_line_on_standard_error(capsys):
    zormix.solve(cyclic(5), seed=1, progress=True)
    err = capsys.readouterr().err
    assert "zormix: mixed cells" in err and "tracking 70/70 paths: 70 reached, 0 not reached" in err
