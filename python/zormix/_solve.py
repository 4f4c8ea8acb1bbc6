"""zormix.solve and the other entry points: argument checks, then one call into the solver."""

from __future__ import annotations

import os
import sys
import time
from typing import Callable, Sequence, Union

from . import _zormix
from ._errors import BadArgument
from ._result import Result
from ._system import System, as_system

# Octave's name of the total-degree route ("totaldegree") is accepted as well.
_ROUTES = {"polyhedral": "polyhedral", "total-degree": "total-degree",
           "total_degree": "total-degree", "totaldegree": "total-degree"}
_MAX_SEED = 2**64 - 1

ProgressCallback = Callable[[str, int, int, int, int], None]


def _route(route: object) -> str:
    if route not in _ROUTES:
        raise BadArgument(f"route {route!r}: expected 'polyhedral' or 'total-degree'")
    return _ROUTES[route]


def _integer(value: object, name: str, low: int, high: int) -> int:
    if isinstance(value, bool) or not hasattr(value, "__index__"):
        raise BadArgument(f"{name}: expected an integer, got {type(value).__name__}")
    number = value.__index__()
    if not low <= number <= high:
        raise BadArgument(f"{name} {number}: expected an integer from {low} to {high}")
    return number


def _path(value: object, name: str) -> str:
    if value is None:
        return ""
    try:
        text = os.fspath(value)
    except TypeError:
        raise BadArgument(f"{name}: expected a path, got {type(value).__name__}") from None
    return os.fsdecode(text)


class _ProgressLine:
    """progress=True: the command line's progress line on standard error, redrawn in place on a
    terminal, else one line per second and per stage. The solve sets ``restored`` to the paths a
    checkpoint gave back before each call."""

    def __init__(self) -> None:
        self._tty = sys.stderr.isatty()
        self._last = 0.0
        self._stage = ""
        self._tracking_began: float | None = None
        self.restored = 0

    def __call__(self, stage: str, done: int, total: int, reached: int, failed: int) -> None:
        now = time.monotonic()
        if stage == "tracking" and self._tracking_began is None:
            self._tracking_began = now
        if not self._tty and stage == self._stage and now - self._last < 1.0 and done < total:
            return
        self._last, self._stage = now, stage
        seconds = 0.0 if self._tracking_began is None else now - self._tracking_began
        text = _zormix.progress_line(stage, done, total, reached, failed, self.restored, seconds)
        sys.stderr.write(("\r\x1b[K" + text) if self._tty else text + "\n")
        if self._tty and total and done == total:
            sys.stderr.write("\n")
        sys.stderr.flush()


def _progress(progress: object, line: type = _ProgressLine) -> ProgressCallback | None:
    if progress is None or progress is False:
        return None
    if progress is True:
        return line()
    if callable(progress):
        return progress
    raise BadArgument("progress: expected True, False or a callable "
                      "(stage, paths_done, paths_total, paths_reached, paths_not_reached)")


SystemLike = Union[str, "list[str]", tuple, System]


def solve(system: SystemLike, *, variables: Sequence[str] | None = None,
          route: str = "polyhedral", seed: int | None = None, threads: int = 0,
          certify: bool = False, progress: bool | ProgressCallback = False,
          report: str | os.PathLike | None = None,
          checkpoint: str | os.PathLike | None = None) -> Result:
    """Finds all isolated complex solutions of a square polynomial system.

    system
        Polynomial text (``"x^2 + y^2 - 1; x - y"``, equations separated by ';' or lines, or
        PHCpack's format), a list of equations as strings, a tuple
        ``(exponents, coefficients[, variables])`` as zormix.System takes, or a zormix.System.
    variables
        The order of the variables, which is the order of the columns of ``result.roots``: every
        variable of the system once. Default: the declared order, else the order of first
        appearance in the text (``result.variables`` tells).
    route
        ``"polyhedral"`` (one path per unit of mixed volume) or ``"total-degree"`` (also
        ``"totaldegree"``; one path per solution of ``a_i x_i^d_i + b_i = 0``).
    seed
        Seed of every random draw, 0 to 2**64 - 1. With a seed the result is the same bit for bit
        whatever the thread count; without one a fresh seed is drawn and given as
        ``result.seed``.
    threads
        Threads that track paths; 0 (the default) uses every core.
    certify
        Certify the regular roots by Krawczyk's interval test (``result.certified``).
    progress
        True shows the command line's progress line on standard error; a callable is called
        with ``(stage, paths_done, paths_total, paths_reached, paths_not_reached)`` a few times a
        second from the solving thread (an exception it raises stops the solve and is raised).
        A path not reached (yet) diverged or was lost; the result tells which (docs/cli.md).
    report
        Also write the report file "data.roots" of the solve to this path.
    checkpoint
        Keep every finished path in this file; a solve given the same file continues where an
        earlier one stopped.

    Returns a zormix.Result. Raises InvalidInput for a system that cannot be solved,
    BadArgument for a wrong argument, and Interrupted (a KeyboardInterrupt) on Ctrl-C. The GIL
    is released while the solver works.
    """
    return _run(as_system(system, variables), route=route, seed=seed, threads=threads,
                certify=certify, progress=progress, report=report, checkpoint=checkpoint,
                mixed_volume_only=False)


def mixed_volume(system: SystemLike, *, seed: int | None = None, threads: int = 0) -> int:
    """The mixed volume of the system's supports: the number of paths of the polyhedral route
    and a bound on its isolated roots with no zero coordinate."""
    result = _run(system, route="polyhedral", seed=seed, threads=threads, certify=False,
                  progress=False, report=None, checkpoint=None, mixed_volume_only=True)
    return result.counts["path_count"]


def _run(system: SystemLike, *, route: str, seed: int | None, threads: int, certify: bool,
         progress: object, report: object, checkpoint: object, mixed_volume_only: bool) -> Result:
    parts = as_system(system)._parts
    solved = _zormix.solve(
        parts, _route(route),
        None if seed is None else _integer(seed, "seed", 0, _MAX_SEED),
        _integer(threads, "threads", 0, _zormix.MAX_THREADS), bool(certify),
        _progress(progress), _path(report, "report"), _path(checkpoint, "checkpoint"),
        mixed_volume_only)
    return Result(solved)


_FORMATS = ("auto", "text", "phc", "psnum")


def read_system(path: str | os.PathLike, format: str = "auto",
                variables: Sequence[str] | None = None) -> System:
    """Reads a system file: polynomial text, PHCpack's format or "PS.num". ``format="auto"``
    takes PS.num for a name ending in .num or a first line with one integer followed by a line
    of integers, PHCpack's format for a first line with one or two integers followed by the
    polynomials, text otherwise (and tries the other formats when that one fails).
    ``variables`` puts the variables in that order."""
    if format not in _FORMATS:
        raise BadArgument(f"format {format!r}: expected 'auto', 'text', 'phc' or 'psnum'")
    parts, _, _ = _zormix.read_file(_path(path, "path"), format)
    system = System._from_parts(parts)
    return system if variables is None else system.reordered(variables)


def write_system(system: SystemLike, path: str | os.PathLike,
                 format: str | None = None) -> None:
    """Writes a system as "PS.num" (``format="psnum"``, the default for names ending in .num),
    in PHCpack's format (``"phc"``, the default for names ending in .phc) or as polynomial text
    (``"text"``, the default otherwise). The file appears complete or not at all."""
    target = _path(path, "path")
    if format is None:
        format = ("psnum" if target.endswith(".num") else
                  "phc" if target.endswith(".phc") else "text")
    if format not in _FORMATS[1:]:
        raise BadArgument(f"format {format!r}: expected 'text', 'phc' or 'psnum'")
    _zormix.write_file(as_system(system)._parts, target, format)
