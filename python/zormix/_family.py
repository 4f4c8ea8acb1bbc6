"""Families of systems: zormix.Family, the start of a sweep (zormix.Start) and zormix.sweep."""

from __future__ import annotations

import os
from typing import TYPE_CHECKING, Sequence, Union

from . import _zormix
from ._errors import BadArgument, Interrupted
from ._result import SweepResult, data_property
from ._solve import ProgressCallback, _integer, _MAX_SEED, _path, _progress, _route
from ._system import System, _without_final_semicolon

if TYPE_CHECKING:
    import numpy as np

# A 'parameters' statement: declarations come before the equations, at the start of a statement.
# (Compiled when first needed: the regular expression module is slow to import.)
_PARAMETER_STATEMENT = r"(?:^|[;\n])\s*parameters\b"
_VARIABLE_STATEMENT = r"(?:^|[;\n])\s*(?:variables|vars)\b"
_COMMENT = r"#[^\n]*"


class Family:
    """A family of square systems: the same monomials in the variables, coefficients that are
    polynomials in a few parameters.

    ``Family("variables x, y; parameters a, b; x^2 + a*y - 1; x - b*y")``, or the equations
    alone with ``parameters=["a", "b"]`` (a str with ';' or a list of equations) and
    ``variables=["x", "y"]``. Without either, every name that is not a parameter is a variable,
    in order of first appearance; ``family.variables`` tells the order, which is the order of
    the columns of every root.

    ``family.at(values)`` is the member at one set of parameter values, a zormix.System.
    """

    __slots__ = ("_family", "_order")

    def __init__(self, text: str | Sequence[str],
                 parameters: Sequence[str] | None = None, source: str = "<string>", *,
                 variables: Sequence[str] | None = None) -> None:
        given = _parameter_names(parameters)
        order = _names(variables, "variables")
        self._family = _zormix.parse_family(_family_text(text, given, order), source)
        self._order = _column_order(self._family.parameters, given)
        if order is not None and order != list(self._family.variables):
            raise BadArgument(f"variables {order}: the text declares "
                              f"{list(self._family.variables)}")

    @property
    def variables(self) -> list[str]:
        return list(self._family.variables)

    @property
    def parameters(self) -> list[str]:
        """The parameters in the order values are given (the order asked for, else the text's)."""
        names = self._family.parameters
        return [names[k] for k in self._order]

    def at(self, values: object) -> System:
        """The member at ``values`` (one per parameter, in the order of ``parameters``) as a
        System; terms whose coefficient is zero there are left out. Raises InvalidInput when the
        member is not a valid system (an equation vanishes)."""
        row = _values_matrix([values] if _is_row(values) else values, self.parameters)
        if len(row) != 1:
            raise BadArgument("at: expected the values of one member")
        return System._from_parts(self._family.member(row[0][self._inverse_order()]))

    def _inverse_order(self) -> list[int]:
        inverse = [0] * len(self._order)
        for column, parameter in enumerate(self._order):
            inverse[parameter] = column
        return inverse

    def __repr__(self) -> str:
        return (f"<zormix.Family: {len(self.variables)} equations in {', '.join(self.variables)}; "
                f"parameters {', '.join(self.parameters)}>")


class Start:
    """The roots of a family at generic complex parameters p0, from which a sweep reaches every
    member. ``save(path)`` writes it in the format of ``zormix sweep --save-start``;
    ``zormix.load_start(path)`` reads such a file (written here or by the command line)."""

    __slots__ = ("_start", "_data")

    def __init__(self, start: _zormix.Start) -> None:
        self._start = start
        self._data = start.arrays()
        for value in self._data.values():
            if hasattr(value, "flags"):
                value.flags.writeable = False

    parameter_names = property(lambda self: list(self._data["parameter_names"]))
    parameters = data_property("parameters", "p0, one complex value per parameter.")
    roots = data_property("roots", "The start roots (regular ones and one point of each "
                          "isolated singular root), one row each.")
    multiplicity = data_property("multiplicity")
    seed = data_property("seed")
    route = data_property("route")
    path_count = data_property("path_count", "Paths the start solve tracked.")

    def save(self, path: str | os.PathLike) -> None:
        """Writes the start file (JSON); it appears complete or not at all."""
        self._start.save(_path(path, "path"))

    def to_json(self) -> str:
        return self._start.json()

    def __len__(self) -> int:
        return len(self.roots)

    def __repr__(self) -> str:
        return (f"<zormix.Start: {len(self)} roots from {self.path_count} paths, parameters "
                f"{', '.join(self.parameter_names)}, seed {self.seed}>")


FamilyLike = Union[str, Sequence[str], Family]


def start(system: FamilyLike, parameters: Sequence[str] | None = None, *,
          variables: Sequence[str] | None = None, seed: int | None = None, threads: int = 0,
          route: str = "polyhedral") -> Start:
    """Solves the family at random complex parameters (drawn from the seed) and returns the
    roots a sweep starts from. The same seed gives the same start as ``zormix sweep --seed`` and
    ``zormix solve --save-start``. The GIL is released; Ctrl-C raises Interrupted."""
    family = as_family(system, parameters, variables)
    return Start(_zormix.solve_start(family._family, _seed(seed),
                                     _integer(threads, "threads", 0, _zormix.MAX_THREADS),
                                     _route(route)))


def load_start(path: str | os.PathLike) -> Start:
    """Reads a start file written by Start.save or by ``zormix sweep --save-start``."""
    return Start(_zormix.load_start(_path(path, "path")))


def sweep(system: FamilyLike, parameters: Sequence[str] | None = None,
          values: object = None, *, variables: Sequence[str] | None = None,
          start: Start | None = None, seed: int | None = None,
          threads: int = 0, certify: bool = False,
          progress: bool | ProgressCallback = False,
          save_start: str | os.PathLike | None = None) -> list[SweepResult]:
    """Solves many members of a family by the parameter homotopy: one start solve at random
    complex parameters (or ``start``), then the start's roots followed to every member.

    system
        The family: polynomial text with a ``parameters a, b;`` statement, the equations (a str
        or a list of str) with ``parameters`` naming the parameters, or a zormix.Family.
    parameters
        The parameter names, in the order of the columns of ``values``; None takes the text's.
    values
        The members: an array of shape (instances, parameters), real or complex, or a list of
        rows.
    variables
        The order of the variables, the columns of every member's roots; default the text's
        declaration, else the order of first appearance.
    start
        A zormix.Start of this family (zormix.start, zormix.load_start); None solves one first.
    seed
        Seed of every random draw (the start's p0 and solve, each member's detour); with a seed
        the results equal ``zormix sweep --seed`` bit for bit whatever the thread count.
    threads
        Threads; 0 (the default) uses every core. Members run in parallel, one per thread.
    certify
        Certify every member's regular roots.
    progress
        True shows the instances done on standard error; a callable is called with
        ``("sweep", done, total, solved, not_solved)``.
    save_start
        Also write the start used to this file (for ``start=zormix.load_start(...)`` later).

    Returns one zormix.SweepResult per instance, in order: a Result with the member's
    ``instance`` (1-based), ``parameters``, ``solved`` (False with ``error`` when the values give
    no valid system), ``flagged`` and ``gamma_attempts``. Raises BadArgument for values of the
    wrong shape (naming the row and column) and Interrupted (a KeyboardInterrupt) on Ctrl-C,
    whose ``results`` holds the members finished before it.
    The GIL is released while the solver works.
    """
    family = as_family(system, parameters, variables)
    if values is None:
        raise BadArgument("values: expected the members' parameter values")
    if start is not None and not isinstance(start, Start):
        raise BadArgument("start: expected a zormix.Start, got " + type(start).__name__)
    matrix = _values_matrix(values, family.parameters)[:, family._inverse_order()]
    try:
        used, members = _zormix.sweep(
            family._family, None if start is None else start._start, matrix, _seed(seed),
            _integer(threads, "threads", 0, _zormix.MAX_THREADS), bool(certify),
            _progress(progress, _SweepLine))
    except Interrupted as error:
        error.results = [SweepResult(member) for member in getattr(error, "results", [])]
        raise
    if save_start is not None:
        used.save(_path(save_start, "save_start"))
    return [SweepResult(member) for member in members]


def as_family(system: object, parameters: Sequence[str] | None = None,
              variables: Sequence[str] | None = None) -> Family:
    if isinstance(system, Family):
        if parameters is not None and list(parameters) != system.parameters:
            raise BadArgument(f"parameters {list(parameters)}: the family has "
                              f"{system.parameters}")
        if variables is not None and list(variables) != system.variables:
            raise BadArgument(f"variables {list(variables)}: the family has "
                              f"{system.variables}")
        return system
    if isinstance(system, System):
        raise BadArgument("system: a zormix.System has no parameters; give the family as text "
                          "or as a zormix.Family")
    return Family(system, parameters, variables=variables)


def _seed(seed: object) -> int | None:
    return None if seed is None else _integer(seed, "seed", 0, _MAX_SEED)


def _parameter_names(parameters: object) -> list[str] | None:
    return _names(parameters, "parameters")


def _names(given: object, what: str) -> list[str] | None:
    if given is None:
        return None
    if isinstance(given, str):
        given = [given]
    names = list(given)
    if not names or not all(isinstance(name, str) and name.isidentifier() for name in names):
        raise BadArgument(f"{what}: expected names, got {given!r}")
    if len(set(names)) != len(names):
        raise BadArgument(f"{what}: {names} names a {what[:-1]} twice")
    return names


def _family_text(text: object, given: list[str] | None, variables: list[str] | None) -> str:
    if isinstance(text, (list, tuple)) and text and all(isinstance(s, str) for s in text):
        text = "\n;\n".join(_without_final_semicolon(s) for s in text)
    if not isinstance(text, str):
        raise BadArgument("system: expected polynomial text, a list of equations or a "
                          "zormix.Family; got " + type(text).__name__)
    import re

    # The declarations go on the first line, so that the lines of errors stay the text's.
    bare = re.sub(_COMMENT, "", text)
    if given is not None and not re.search(_PARAMETER_STATEMENT, bare):
        text = f"parameters {', '.join(given)}; {text}"
    if variables is not None and not re.search(_VARIABLE_STATEMENT, bare):
        text = f"variables {', '.join(variables)}; {text}"
    return text


def _column_order(declared: list[str], given: list[str] | None) -> list[int]:
    """For each column of the values, the parameter of the family it holds."""
    if given is None:
        return list(range(len(declared)))
    if sorted(given) != sorted(declared):
        raise BadArgument(f"parameters {given}: the text declares {declared}")
    return [declared.index(name) for name in given]


def _is_row(values: object) -> bool:
    import numpy as np

    return np.ndim(values) <= 1


def _values_matrix(values: object, names: list[str]) -> np.ndarray:
    """The members as a complex (instances, parameters) array; BadArgument names the first row
    or entry that is not right (0-based, as the array is indexed)."""
    import numpy as np

    count = len(names)
    if not isinstance(values, np.ndarray):
        values = _rows_of(values, names)
    if values.ndim == 1 and count == 1:
        values = values.reshape(-1, 1)
    if values.ndim != 2 or values.shape[1] != count:
        raise BadArgument(f"values: expected an array of shape (instances, {count}), one column "
                          f"per parameter ({', '.join(names)}), got shape {values.shape}")
    if values.dtype.kind not in "biufc":
        for (row, column), entry in np.ndenumerate(values):
            _entry(entry, row, column, names)
    matrix = values.astype(np.complex128)
    bad = np.argwhere(~np.isfinite(matrix))
    if len(bad):
        row, column = bad[0]
        value = matrix[row, column]
        shown = value.real if value.imag == 0 else complex(value)
        raise BadArgument(f"values[{row}, {column}] ({names[column]}, instance {row + 1}): "
                          f"{shown} is not a finite number")
    return np.ascontiguousarray(matrix)


def _rows_of(values: object, names: list[str]) -> np.ndarray:
    import numpy as np

    if isinstance(values, (str, bytes)) or not hasattr(values, "__iter__"):
        raise BadArgument("values: expected an array or a list of rows, got "
                          + type(values).__name__)
    rows = []
    for row, given in enumerate(values):
        entries = [given] if len(names) == 1 and np.ndim(given) == 0 else given
        if isinstance(entries, (str, bytes)) or not hasattr(entries, "__len__") \
                or len(entries) != len(names):
            size = len(entries) if hasattr(entries, "__len__") else 1
            raise BadArgument(f"values[{row}] (instance {row + 1}): expected {len(names)} values "
                              f"({', '.join(names)}), got {size}")
        rows.append([_entry(entry, row, column, names) for column, entry in enumerate(entries)])
    return np.array(rows, dtype=np.complex128).reshape(len(rows), len(names))


def _entry(entry: object, row: int, column: int, names: list[str]) -> complex:
    if isinstance(entry, (str, bytes, bool)):
        raise BadArgument(f"values[{row}, {column}] ({names[column]}, instance {row + 1}): "
                          f"{entry!r} is not a number")
    try:
        return complex(entry)
    except (TypeError, ValueError):
        raise BadArgument(f"values[{row}, {column}] ({names[column]}, instance {row + 1}): "
                          f"{entry!r} is not a number") from None


class _SweepLine:
    """progress=True for a sweep: the instances done, on standard error."""

    def __init__(self) -> None:
        import sys

        self._out = sys.stderr

    def __call__(self, stage: str, done: int, total: int, solved: int, unsolved: int) -> None:
        tty = self._out.isatty()
        text = f"zormix: {done}/{total} instances ({unsolved} not solved)"
        self._out.write(("\r\x1b[K" + text + ("\n" if done == total else "")) if tty
                        else text + "\n")
        self._out.flush()
