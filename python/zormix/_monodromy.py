"""A family's start found by monodromy: zormix.monodromy and zormix.MonodromyStart."""

from __future__ import annotations

import os
from typing import Sequence

from . import _zormix
from ._errors import BadArgument
from ._family import FamilyLike, Start, _seed, as_family
from ._solve import _integer, _path, _progress


class MonodromyStart(Start):
    """A zormix.Start found by monodromy loops (zormix.monodromy), usable as ``start=`` of
    zormix.sweep, with what the loops did: ``solution_count``, ``trace_test_passed``,
    ``trace_test`` ("passed", "not passed", "not run" when a count was given, "not applicable"
    when no parameter enters linearly), ``trace_residual``, ``trace_threshold``, ``stop``
    ("count", "trace test", "stable", "loop limit"), ``loops``, ``paths_tracked``,
    ``paths_failed``, ``seconds``."""

    __slots__ = ("_info",)

    def __init__(self, start: _zormix.Start, info: dict) -> None:
        super().__init__(start)
        self._info = dict(info)

    def __getattr__(self, name: str) -> object:
        info = object.__getattribute__(self, "_info")
        if name in info:
            return info[name]
        raise AttributeError(name)

    @property
    def info(self) -> dict:
        return dict(self._info)

    def __repr__(self) -> str:
        return (f"<zormix.MonodromyStart: {len(self)} roots from {self.paths_tracked} paths, "
                f"trace test {self.trace_test}, stop: {self.stop}, seed {self.seed}>")


class _MonodromyLine:
    """progress=True for monodromy: the roots found, on standard error."""

    def __init__(self) -> None:
        import sys

        self._out = sys.stderr

    def __call__(self, stage: str, roots: int, count: int, _roots: int, _zero: int) -> None:
        text = f"zormix: {roots} roots" + (f" of {count}" if count else "")
        tty = self._out.isatty()
        self._out.write(("\r\x1b[K" + text) if tty else text + "\n")
        self._out.flush()


def monodromy(system: FamilyLike, parameters: Sequence[str] | None = None, *,
              seed: int | None = None, threads: int = 0, count: int | None = None,
              symmetries: Sequence[str] = (), progress: object = False,
              save_start: str | os.PathLike | None = None) -> MonodromyStart:
    """Finds the roots of the family at random complex parameters p0 (drawn from the seed as
    zormix.start draws them) by monodromy: from one root, loops in parameter space collect the
    others until ``count`` roots are known, the trace test proves them complete, or the loops
    stop finding new ones (docs/monodromy.md). Returns a MonodromyStart for zormix.sweep.

    count
        The number of roots of a generic member, when known: the loops stop there and no trace
        test is run.
    symmetries
        Symmetries of the roots as texts, the image of each unknown in order: ``"y, x, -z"``
        maps the root (x, y, z) to (y, x, -z); factors ``-``, ``i*``, or a real number and ``*``.
        Each orbit is then carried around the loops once.
    progress
        True shows the roots found on standard error; a callable is called with
        ``("monodromy", roots, count or 0, roots, 0)``.
    save_start
        Also write the start to this file (for ``zormix sweep --start``).

    With a seed, the result is identical bit for bit whatever the thread count. The GIL is
    released; Ctrl-C raises Interrupted.
    """
    family = as_family(system, parameters)
    if count is not None:
        count = _integer(count, "count", 1, 2**62)
    if isinstance(symmetries, str):
        symmetries = [symmetries]
    texts = list(symmetries)
    if not all(isinstance(text, str) for text in texts):
        raise BadArgument("symmetries: expected texts such as 'y, x, -z'")
    start, info = _zormix.monodromy(family._family, _seed(seed),
                                    _integer(threads, "threads", 0, _zormix.MAX_THREADS), count,
                                    texts, _progress(progress, _MonodromyLine))
    result = MonodromyStart(start, info)
    if save_start is not None:
        result.save(_path(save_start, "save_start"))
    return result
