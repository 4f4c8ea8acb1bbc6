"""zormix: all isolated complex solutions of a square polynomial system by homotopy continuation.

>>> import zormix
>>> result = zormix.solve("x^2 + y^2 - 1; x - y", seed=1)
>>> result.roots          # complex array, one row per root
>>> print(result)         # the summary

Entry points: solve, mixed_volume, read_system, write_system, System; for families of systems
(coefficients that depend on parameters): Family, start, monodromy, load_start, sweep. Errors are
subclasses of zormix.Error named after their identifiers (InvalidInput, BadArgument,
Interrupted, OutOfMemory, Checkpoint, Internal), each with ``.id``.
"""

from . import _zormix
from ._errors import (BadArgument, Checkpoint, Error, Internal, Interrupted, InvalidInput,
                      OutOfMemory)
from ._family import Family, Start, load_start, start, sweep
from ._monodromy import MonodromyStart, monodromy
from ._result import PathInfo, Result, Root, SweepResult
from ._solve import mixed_volume, read_system, solve, write_system
from ._system import System

__version__ = _zormix.VERSION

__all__ = [
    "BadArgument", "Checkpoint", "Error", "Family", "Internal", "Interrupted", "InvalidInput",
    "MonodromyStart", "OutOfMemory", "PathInfo", "Result", "Root", "Start", "SweepResult",
    "System", "load_start", "mixed_volume", "monodromy", "read_system", "solve", "start", "sweep",
    "write_system",
]
