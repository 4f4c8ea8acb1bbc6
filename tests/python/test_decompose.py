"""zormix.decompose: the components of every dimension with their witness points, the command's
decomposition for a seed, membership, and its arguments' mistakes."""

import json
import os
import subprocess

import numpy as np
import pytest

import zormix
from conftest import REPOSITORY

ILLUSTRATIVE = REPOSITORY / "examples" / "decompose" / "illustrative.txt"


def test_components_and_their_witness_points():
    d = zormix.decompose(ILLUSTRATIVE, seed=3, threads=2)
    assert d.degrees(2) == [2] and d.degrees(1) == [3, 1, 1, 1]
    assert d.counts["regular_count"] == 1 and d.counts["singular_count"] == 0
    assert np.allclose(d.isolated, [[0.5, 0.5, 0.5]], atol=1e-10)
    for c in d.components:
        assert c.trace_test_passed and c.multiplicity == 1
        assert c.points.shape == (c.degree, 3) and c.slice.shape == (c.dimension, 3)
        # Every witness point lies on its slice.
        assert np.max(np.abs(c.points @ c.slice.T + c.constants)) < 1e-10
    cubic = d.components[1]
    assert np.max(np.abs(cubic.points[:, 1] - cubic.points[:, 0] ** 2)) < 1e-10
    assert np.max(np.abs(cubic.points[:, 2] - cubic.points[:, 0] ** 3)) < 1e-10
    assert str(d) == d.summary and d.summary.startswith("dimension 2: 1 component of degree 2")


def test_the_same_decomposition_as_the_command_whatever_the_threads(tmp_path):
    one = zormix.decompose(ILLUSTRATIVE, seed=7, threads=1)
    two = zormix.decompose(ILLUSTRATIVE, seed=7, threads=2)
    for a, b in zip(one.components, two.components):
        assert np.array_equal(a.points, b.points) and a.trace_residual == b.trace_residual
    cli = os.environ.get("ZORMIX_CLI")
    if cli is None:
        pytest.skip("ZORMIX_CLI names no command")
    out = tmp_path / "d.json"
    subprocess.run([cli, "decompose", str(ILLUSTRATIVE), "--seed", "7", "--json", str(out), "-q"],
                   check=True, capture_output=True)
    document = json.loads(out.read_text())
    assert [(c["dimension"], c["degree"]) for c in document["components"]] == \
        [(c.dimension, c.degree) for c in one.components]
    assert all(document[k] == v for k, v in one.counts.items())
    for c, ours in zip(document["components"], one.components):
        points = np.array(c["witness_points"], dtype=float)
        assert np.array_equal(points[..., 0] + 1j * points[..., 1], ours.points)


def test_membership_and_a_double_line():
    d = zormix.decompose("x*y\nx*z\n", seed=2, member=[[0, 2, -3], [0.5, 0, 0], [1, 1, 1]])
    plane = d.degrees(2)
    assert plane == [1] and d.degrees(1) == [1]
    assert d.membership[0] == [0]  # on the plane x = 0
    assert d.membership[1] == [1]  # on the line y = z = 0
    assert d.membership[2] == []
    double = zormix.decompose("variables x, y, z;\nx^2;\ny;\n", seed=1)
    assert [(c.dimension, c.degree, c.multiplicity, c.trace_test_passed)
            for c in double.components] == [(1, 1, 2, True)]


def test_mistakes_are_named():
    with pytest.raises(zormix.BadArgument, match="seed"):
        zormix.decompose("x*y\nx*z\n", seed=-1)
    with pytest.raises(zormix.BadArgument, match="system"):
        zormix.decompose(42)
    with pytest.raises(zormix.BadArgument, match="top dimension"):
        zormix.decompose("x*y\nx*z\n", top_dimension=5)
