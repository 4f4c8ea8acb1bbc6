"""zormix.Result: the roots of a solve as NumPy arrays, per-root records, counts and the JSON."""

from __future__ import annotations

from typing import TYPE_CHECKING, NamedTuple

from . import _zormix

if TYPE_CHECKING:
    import numpy as np

# Roots printed by str(result) before "... N more".
_PRINTED_ROOTS = 10


class PathInfo(NamedTuple):
    """How one path was tracked: its mixed cell (1-based, 0 on the total-degree route), its start
    solution (1-based), accepted steps, re-tracks, final status ("reached", "diverged", ...) and,
    for a path at infinity, the valuation that proved it (the largest coordinate grows like
    (1 - t)**valuation; 0 otherwise)."""

    cell: int
    start_index: int
    steps: int
    retracks: int
    status: str
    valuation: float = 0.0


class Root(NamedTuple):
    """One accepted end point.

    ``status`` is "regular", "singular" or "positive-dimensional"; ``multiplicity`` the end
    points at this point; ``residual`` the Euclidean norm of the system at the root;
    ``condition`` the Jacobian's sigma_max / sigma_min, ``scaled_condition`` that of the row- and
    column-scaled Jacobian; ``real`` a real root (regular and real), ``real_point`` the point is
    real whatever its status; ``certified`` True/False when certification ran (None otherwise)."""

    index: int
    values: np.ndarray
    status: str
    multiplicity: int
    residual: float
    condition: float
    scaled_condition: float
    real: bool
    certified: bool | None
    certified_real: bool | None
    path: PathInfo
    real_point: bool = False


def data_property(key: str, doc: str | None = None) -> property:
    """A read-only attribute holding the converted field ``key`` of ``self._data``."""
    return property(lambda self: self._data[key], doc=doc)


def _frozen(value: object) -> object:
    if hasattr(value, "flags"):  # a NumPy array
        value.flags.writeable = False
    return value


def _path_infos(fields: dict, index: int | None = None) -> list[PathInfo]:
    names = _zormix.PATH_STATUS_NAMES
    rows = range(len(fields["status"])) if index is None else (index,)
    return [PathInfo(int(fields["cell"][k]), int(fields["start_index"][k]),
                     int(fields["steps"][k]), int(fields["retracks"][k]),
                     names[fields["status"][k]], float(fields["valuation"][k])) for k in rows]


class Result:
    """What zormix.solve found.

    - ``roots``: complex array, one row per accepted end point, one column per variable (in the
      order of ``variables``);
    - ``regular``: the rows of the regular roots; ``real``: the real roots, the regular roots
      classed as real, as a float array; ``real_solutions(...)`` for other choices;
    - ``is_regular``, ``is_real``, ``is_real_point``, ``residuals``, ``conditions``,
      ``multiplicity``, ``certified``: per-root arrays in the order of ``roots``; ``records``:
      the same as Root records;
    - ``counts``: dict of counts under the names and meanings of the JSON document;
      ``path_status_counts``: paths by final status; ``lost_paths``: the failed paths (verdict
      unknown), ``at_infinity_paths``: the paths found to diverge;
    - ``seed``: the seed used (pass it again for the same result bit for bit);
    - ``to_json()``: the command line's ``--json`` document for the same solve.
    """

    def __init__(self, solved: _zormix.SolvedResult) -> None:
        self._solved = solved
        self._data = {key: _frozen(value) for key, value in solved.arrays().items()}
        self._records: list[Root] | None = None

    # Scalars ---------------------------------------------------------------------------------
    @property
    def seed(self) -> int:
        return self._data["seed"]

    @property
    def route(self) -> str:
        return self._data["route"]

    @property
    def variables(self) -> list[str]:
        return list(self._data["variables"])

    @property
    def warnings(self) -> list[str]:
        """Conditions of the system that put the completeness of the roots in doubt."""
        return list(self._data["warnings"])

    @property
    def counts(self) -> dict[str, int]:
        return dict(self._data["counts"])

    @property
    def path_status_counts(self) -> dict[str, int]:
        return dict(self._data["path_status_counts"])

    @property
    def certification_run(self) -> bool:
        return self._data["certification_run"]

    # Per-root arrays -------------------------------------------------------------------------
    @property
    def roots(self) -> np.ndarray:
        return self._data["roots"]

    @property
    def residuals(self) -> np.ndarray:
        return self._data["residuals"]

    @property
    def conditions(self) -> np.ndarray:
        return self._data["conditions"]

    @property
    def scaled_conditions(self) -> np.ndarray:
        return self._data["scaled_conditions"]

    @property
    def multiplicity(self) -> np.ndarray:
        return self._data["multiplicity"]

    @property
    def is_real(self) -> np.ndarray:
        """Per root: a real root, regular and classed as real (what "real" counts everywhere)."""
        return self._data["real"]

    @property
    def is_real_point(self) -> np.ndarray:
        """Per root: the point is classed as real (every imaginary part below 1e-7 of the largest
        modulus), whatever its status: singular and positive-dimensional end points too."""
        return self._data["real_point"]

    @property
    def is_regular(self) -> np.ndarray:
        return self._data["status"] == 0

    @property
    def certified(self) -> np.ndarray:
        """Per root: a Krawczyk box holds exactly this root (empty unless certify=True)."""
        return self._data["certified"]

    @property
    def group_leader(self) -> np.ndarray:
        """Per root: the row of the first root of its group (itself for a simple root)."""
        return self._data["group_leader"]

    @property
    def box_centers(self) -> np.ndarray:
        """Per root: the center of its certified box (rows of zeros without a certificate)."""
        return self._data["box_centers"]

    @property
    def box_radii(self) -> np.ndarray:
        """Per root: the max-norm radius of its certified box; 0 without a certificate."""
        return self._data["box_radii"]

    @property
    def regular(self) -> np.ndarray:
        return self.roots[self.is_regular]

    @property
    def real(self) -> np.ndarray:
        """The real roots (regular and classed as real), one row each, as a float array."""
        return self.roots[self.is_real].real

    def real_solutions(self, tol: float | None = None, only_regular: bool = True) -> np.ndarray:
        """The real parts of the roots that are real, one row each.

        ``tol=None`` takes the solver's classification (every imaginary part below 1e-7 of the
        largest modulus); a number takes the roots whose imaginary parts are all at most ``tol``.
        ``only_regular=False`` adds the isolated singular roots, each once (the first end point
        of its group); end points on positive-dimensional sets are not isolated roots and are
        never included."""
        import numpy as np

        status = self._data["status"]
        wanted = status == 0
        if not only_regular:
            leaders = self.group_leader == np.arange(len(self))
            wanted = wanted | ((status == 1) & leaders)
        if tol is None:
            real = self.is_real_point
        else:
            real = np.all(np.abs(self.roots.imag) <= float(tol), axis=1)
        return self.roots[wanted & real].real

    @property
    def records(self) -> list[Root]:
        if self._records is None:
            self._records = [self._record(k) for k in range(len(self))]
        return self._records

    @property
    def lost_paths(self) -> list[PathInfo]:
        """The failed paths, whose verdict is unknown (counts["failed_count"] of them)."""
        return _path_infos(self._data["lost_paths"])

    @property
    def at_infinity_paths(self) -> list[PathInfo]:
        """The paths found to diverge (counts["at_infinity_count"] of them)."""
        return _path_infos(self._data["at_infinity_paths"])

    def _record(self, k: int) -> Root:
        d = self._data
        run = d["certification_run"]
        return Root(k, d["roots"][k], _zormix.ROOT_STATUS_NAMES[d["status"][k]],
                    int(d["multiplicity"][k]), float(d["residuals"][k]),
                    float(d["conditions"][k]), float(d["scaled_conditions"][k]),
                    bool(d["real"][k]), bool(d["certified"][k]) if run else None,
                    bool(d["certified_real"][k]) if run else None,
                    _path_infos(d["paths"], k)[0], bool(d["real_point"][k]))

    # Output ----------------------------------------------------------------------------------
    def to_json(self) -> str:
        """The command line's ``--json`` document of this solve, byte for byte."""
        return self._solved.json()

    def summary(self) -> str:
        """The command line's summary lines: counts, variables, route."""
        return self._solved.summary()

    def __len__(self) -> int:
        return len(self.roots)

    def __iter__(self):
        return iter(self.records)

    def __str__(self) -> str:
        """The summary, then the first roots; a part of a coordinate below the root's accuracy
        is shown as 0 (the values in ``roots`` stay as computed)."""
        return (self.summary() + self._solved.roots_text(_PRINTED_ROOTS)).rstrip("\n")

    def __repr__(self) -> str:
        return (f"<zormix.Result: {len(self)} roots ({int(self.is_real.sum())} real) in "
                f"{', '.join(self.variables)}, {self.counts['path_count']} paths, "
                f"seed {self.seed}>")


class SweepResult(Result):
    """One member of zormix.sweep: a Result (its ``route`` is "parameter", its path count the
    start's roots) with the member's ``instance`` (1-based), ``parameters`` (complex array),
    ``solved`` and ``error`` (the values gave no valid system: no roots), ``flagged`` (paths
    were lost on the first detour and the member was tracked again) and ``gamma_attempts``.
    ``to_json()`` is the member's line of ``zormix sweep --json``."""

    instance = data_property("instance")
    parameters = data_property("parameters", "The member's parameter values (complex array).")
    solved = data_property("solved")
    error = data_property("error", 'Why the member was not solved ("" when it was).')
    flagged = data_property("flagged")
    gamma_attempts = data_property("gamma_attempts")

    def __repr__(self) -> str:
        if not self.solved:
            return f"<zormix.SweepResult: instance {self.instance} not solved: {self.error}>"
        return (f"<zormix.SweepResult: instance {self.instance}, {len(self)} roots "
                f"({int(self.is_real.sum())} real) in {', '.join(self.variables)}, "
                f"seed {self.seed}>")
