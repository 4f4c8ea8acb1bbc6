"""Exceptions of zormix: one class per error identifier, all subclasses of zormix.Error."""


class Error(Exception):
    """An error of the solver. ``id`` names its kind (e.g. ``"zormix:invalidInput"``), the
    message says for people where and what."""

    id = "zormix:error"

    def __init__(self, message: str, id: "str | None" = None) -> None:
        super().__init__(message)
        if id is not None:
            self.id = id


class InvalidInput(Error, ValueError):
    """The system cannot be read or solved as given (syntax, sizes, a system that is not square,
    numbers out of range)."""

    id = "zormix:invalidInput"


class BadArgument(Error, ValueError):
    """An argument of a zormix function has the wrong type or value."""

    id = "zormix:badArgument"


class Interrupted(Error, KeyboardInterrupt):
    """The solve was stopped by Ctrl-C. It is also a KeyboardInterrupt, so that
    ``except KeyboardInterrupt`` sees it."""

    id = "zormix:interrupted"


class OutOfMemory(Error, MemoryError):
    """The solve needed more memory than there is."""

    id = "zormix:outOfMemory"


class Checkpoint(Error):
    """A checkpoint file belongs to another system, seed, route or program version."""

    id = "zormix:checkpoint"


class Internal(Error):
    """A fault of zormix itself; please report it."""

    id = "zormix:internal"


_BY_ID = {cls.id: cls for cls in (InvalidInput, BadArgument, Interrupted, OutOfMemory,
                                  Checkpoint, Internal)}


def make_error(id: str, message: str) -> Error:
    """The exception for an identifier; identifiers unknown here give an Error with that id."""
    cls = _BY_ID.get(id)
    return cls(message) if cls is not None else Error(message, id)
