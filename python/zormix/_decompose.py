"""zormix.decompose: the solution set of a system of any shape broken into irreducible components
of every dimension (docs/decompose.md)."""

from __future__ import annotations

import json
import os
from dataclasses import dataclass, field
from typing import Any, Optional, Sequence

import numpy as np

from . import _zormix
from ._errors import BadArgument
from ._solve import _MAX_SEED, _ProgressLine, _integer


def _points(rows: Sequence[Sequence[Sequence[float]]]) -> np.ndarray:
    """[[re, im], ...] per row -> a complex array, one row per point."""
    array = np.array(rows, dtype=float).reshape(len(rows), -1, 2) if rows else np.zeros((0, 0, 2))
    return array[..., 0] + 1j * array[..., 1]


def _values(pairs: Sequence[Sequence[float]]) -> np.ndarray:
    array = np.array(pairs, dtype=float).reshape(-1, 2)
    return array[:, 0] + 1j * array[:, 1]


@dataclass
class Component:
    """An irreducible component: its witness points (degree x n) on the slice
    ``slice @ x + constants = 0``."""
    dimension: int
    degree: int
    multiplicity: int
    points: np.ndarray
    slice: np.ndarray
    constants: np.ndarray
    trace_residual: float
    trace_test_passed: bool


@dataclass
class Decomposition:
    """What zormix.decompose returns: ``components``, the isolated points (``isolated``, one row
    per point), the counts of dimension 0 under the names of the solve's JSON, and ``json``, the
    whole document of ``zormix decompose --json``."""
    components: list[Component]
    isolated: np.ndarray
    counts: dict[str, int]
    summary: str
    seed: int
    membership: list[list[int]] = field(default_factory=list)
    warnings: list[str] = field(default_factory=list)
    json: dict[str, Any] = field(default_factory=dict)

    def degrees(self, dimension: int) -> list[int]:
        return [c.degree for c in self.components if c.dimension == dimension]

    def __str__(self) -> str:
        return self.summary


_COUNTS = ("regular_count", "real_regular_count", "singular_count", "singular_end_point_count",
           "positive_dimensional_count", "embedded_count", "extraneous_count",
           "at_infinity_count", "failed_count")


def decompose(system: str, *, seed: Optional[int] = None, threads: int = 0,
              top_dimension: Optional[int] = None, member: Optional[Sequence[Sequence[complex]]] = None,
              progress: Any = None) -> Decomposition:
    """Decomposes the solution set of ``system`` (polynomial text, any number of equations, or
    the path of such a file). ``member``: points (one row each) to test against every component;
    ``Decomposition.membership`` lists, per point, the components it lies on."""
    if isinstance(system, os.PathLike) or (isinstance(system, str) and os.path.isfile(system)):
        source = os.fsdecode(os.fspath(system))
        with open(source, encoding="utf-8") as f:
            text = f.read()
    elif isinstance(system, str):
        text, source = system, "text"
    else:
        raise BadArgument(f"system: expected polynomial text or a path, got {type(system).__name__}")
    if seed is not None:
        seed = _integer(seed, "seed", 0, _MAX_SEED)
    threads = _integer(threads, "threads", 0, _zormix.MAX_THREADS)
    if top_dimension is not None:
        top_dimension = _integer(top_dimension, "top_dimension", 0, 2**31 - 1)
    points = [] if member is None else [list(np.asarray(p, dtype=complex).ravel()) for p in member]
    callback = _ProgressLine() if progress is True else (progress or None)
    document = json.loads(_zormix.decompose(text, source, seed, threads, top_dimension, points,
                                            callback))
    components = [
        Component(c["dimension"], c["degree"], c["multiplicity"], _points(c["witness_points"]),
                  _points(c["slice"]["coefficients"]), _values(c["slice"]["constants"]),
                  c["trace_residual"], c["trace_test_passed"])
        for c in document["components"]]
    isolated = _points([p["values"] for p in document["isolated_points"]])
    return Decomposition(components, isolated, {k: document[k] for k in _COUNTS},
                         document["summary"], document["seed"],
                         [m["components"] for m in document.get("membership", [])],
                         document["warnings"], document)
