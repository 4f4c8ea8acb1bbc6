"""zormix.System: a square polynomial system as exponent matrices and coefficients."""

from __future__ import annotations

from typing import TYPE_CHECKING, Iterable, Sequence

from . import _zormix
from ._errors import BadArgument

if TYPE_CHECKING:
    import numpy as np

# NumPy is imported by the functions that need it, not with the package: "import zormix" stays
# fast, and a solve needs NumPy's arrays only for its result.
_INT32_MAX = 2**31 - 1


class System:
    """A square polynomial system: n equations in n variables.

    Equation i is ``sum_t coefficients[i][t] * prod_j x_j ** exponents[i][t, j]``.

    ``System(exponents, coefficients, variables=None)``:

    - ``exponents``: n integer arrays, one per equation, of shape (terms, n): row t holds the
      exponents of term t;
    - ``coefficients``: n sequences of complex numbers, one per term;
    - ``variables``: n names (default ``x1 ... xn``).

    ``System.from_text("x^2 + y^2 - 1; x - y")`` reads polynomial text (or PHCpack's format);
    ``str(system)`` writes it. ``system.reordered(["y", "x"])`` puts the variables in another order.
    """

    __slots__ = ("_parts",)

    def __init__(self, exponents: Sequence, coefficients: Sequence,
                 variables: Sequence[str] | None = None) -> None:
        self._parts = _parts_from_equations(exponents, coefficients, variables)

    @classmethod
    def from_text(cls, text: str, source: str = "<string>") -> System:
        """Reads polynomial text: equations separated by ';' or by lines, an optional
        ``variables x, y;`` first; or PHCpack's format (a first line with the number of
        polynomials, each polynomial ended by ';'). Raises InvalidInput with line and column."""
        if not isinstance(text, str):
            raise BadArgument("the polynomial text must be a str, not " + type(text).__name__)
        return cls._from_parts(_zormix.parse_text(text, source))

    @classmethod
    def _from_parts(cls, parts: tuple) -> System:
        system = cls.__new__(cls)
        system._parts = parts
        return system

    @property
    def n(self) -> int:
        """Number of equations and of variables."""
        return len(self._parts[3])

    @property
    def variables(self) -> list[str]:
        """Variable names in their order."""
        return list(self._parts[3])

    @property
    def equations(self) -> list[tuple[np.ndarray, np.ndarray]]:
        """(exponents (terms x n), coefficients (terms)) of every equation."""
        import numpy as np

        counts, exponents, coefficients, _ = self._parts
        ends = np.cumsum(counts)
        starts = ends - counts
        return [(exponents[a:b], coefficients[a:b]) for a, b in zip(starts, ends)]

    def reordered(self, variables: Sequence[str]) -> System:
        """The same system with its variables (the columns of every exponent array and of the
        roots of a solve) in the order of ``variables``, which names each variable once."""
        names = list(self._parts[3])
        order = _variable_order(variables, names)
        if order == list(range(len(names))):
            return self
        counts, exponents, coefficients, _ = self._parts
        return System._from_parts((counts, exponents[:, order].copy(), coefficients,
                                   [names[k] for k in order]))

    def to_text(self) -> str:
        """The system as polynomial text that reads back to the same system."""
        return _zormix.format_system(self._parts, "text")

    def to_psnum(self) -> str:
        """The system in the PS.num format."""
        return _zormix.format_system(self._parts, "psnum")

    def to_phc(self) -> str:
        """The system in PHCpack's format (``phc`` reads it); raises InvalidInput for a variable
        name PHCpack would read otherwise (one beginning with e, E, i or I, or not a plain
        name)."""
        return _zormix.format_system(self._parts, "phc")

    def __str__(self) -> str:
        return self.to_text()

    def __repr__(self) -> str:
        return "<zormix.System: {} equations in {}, {} terms>".format(
            self.n, ", ".join(self._parts[3]), len(self._parts[2]))

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, System):
            return NotImplemented
        import numpy as np

        a, b = self._parts, other._parts
        return (all(np.array_equal(x, y) for x, y in zip(a[:3], b[:3]))
                and list(a[3]) == list(b[3]))

    __hash__ = None  # type: ignore[assignment]


def _integer_matrix(value: object, n: int, i: int) -> np.ndarray:
    import numpy as np

    matrix = np.asarray(value)
    if matrix.ndim != 2 or matrix.shape[1] != n or matrix.shape[0] == 0:
        raise BadArgument(f"exponents of equation {i + 1}: expected an array of shape "
                          f"(terms, {n}), got shape {matrix.shape}")
    if matrix.dtype.kind not in "iub":
        raise BadArgument(f"exponents of equation {i + 1}: expected integers, got {matrix.dtype}")
    if matrix.size and (matrix.min() < 0 or matrix.max() > _INT32_MAX):
        raise BadArgument(f"exponents of equation {i + 1}: expected integers from 0 to "
                          f"{_INT32_MAX}")
    return matrix.astype(np.int32)


def _complex_vector(value: object, terms: int, i: int) -> np.ndarray:
    import numpy as np

    try:
        vector = np.asarray(value, dtype=np.complex128)
    except (TypeError, ValueError) as error:
        raise BadArgument(f"coefficients of equation {i + 1}: {error}") from None
    if vector.shape != (terms,):
        raise BadArgument(f"coefficients of equation {i + 1}: expected {terms} values, one per "
                          f"term, got shape {vector.shape}")
    return vector


def _names(variables: Iterable[str] | None, n: int) -> list[str]:
    if variables is None:
        return [f"x{j + 1}" for j in range(n)]
    names = list(variables)
    longest = _zormix.VARIABLE_NAME_LENGTH
    if len(names) != n or not all(isinstance(name, str) and 0 < len(name) <= longest
                                  for name in names):
        raise BadArgument(f"variables: expected {n} names of 1 to {longest} characters")
    return names


def _parts_from_equations(exponents: Sequence, coefficients: Sequence,
                          variables: Sequence[str] | None) -> tuple:
    import numpy as np

    n = len(exponents)
    if n == 0 or len(coefficients) != n:
        raise BadArgument(f"expected as many coefficient lists as exponent arrays, at least one; "
                          f"got {n} and {len(coefficients)}")
    matrices = [_integer_matrix(e, n, i) for i, e in enumerate(exponents)]
    vectors = [_complex_vector(c, len(m), i) for i, (c, m) in enumerate(zip(coefficients, matrices))]
    counts = np.array([len(m) for m in matrices], dtype=np.int32)
    return (counts, np.ascontiguousarray(np.vstack(matrices)), np.concatenate(vectors),
            _names(variables, n))


def _without_final_semicolon(statement: str) -> str:
    statement = statement.rstrip()
    return statement[:-1] if statement.endswith(";") else statement


def _variable_order(variables: object, names: list[str]) -> list[int]:
    """For each requested variable, its column among ``names``; BadArgument unless ``variables``
    names every one of ``names`` once."""
    if isinstance(variables, str) or not hasattr(variables, "__iter__"):
        raise BadArgument(f"variables: expected a list of names, got {type(variables).__name__}")
    wanted = list(variables)
    unknown = [v for v in wanted if v not in names]
    if unknown:
        raise BadArgument(f"variables: {unknown[0]!r} is not a variable of the system, whose "
                          f"variables are {', '.join(names)}")
    missing = [v for v in names if v not in wanted]
    if missing or len(wanted) != len(names):
        which = f"{missing[0]!r} is missing" if missing else "a name is given twice"
        raise BadArgument(f"variables: {which}; give each of {', '.join(names)} once")
    return [names.index(v) for v in wanted]


def as_system(system: object, variables: Sequence[str] | None = None) -> System:
    """A System from any form zormix.solve accepts, its variables in the order of
    ``variables`` when given."""
    if variables is not None:
        return as_system(system).reordered(variables)
    if isinstance(system, System):
        return system
    if isinstance(system, str):
        return System.from_text(system)
    if isinstance(system, (list, tuple)) and system and all(isinstance(s, str) for s in system):
        # One statement per element; the ';' goes on a line of its own so that a comment at the end
        # of an element cannot swallow it.
        return System.from_text("\n;\n".join(_without_final_semicolon(s) for s in system))
    if isinstance(system, tuple) and len(system) in (2, 3):
        return System(*system)
    raise BadArgument("system: expected polynomial text, a list of equations, "
                      "(exponents, coefficients[, variables]) or a zormix.System; got "
                      + type(system).__name__)
