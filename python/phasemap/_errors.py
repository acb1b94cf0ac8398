"""What the package raises and warns, and the one way into the program's core.

`InputError` (a ValueError) carries the program's one-line message with the unit and line the
core names; `InputWarning` (a UserWarning) the program's warnings and a study's plausibility
checks; `ComputationError` (an ArithmeticError) the report of a floating-point fault.

`call` runs a function of the `_core` extension and turns what the core would have written on
standard error into warnings, and a stopped run into the exception above. Every warning of
the package is issued by `warn`, naming the first line outside the package (the user's).
"""

from __future__ import annotations

import sys
import warnings
from types import FrameType
from typing import Any, Callable, Sequence

from . import _core

__all__ = ["InputError", "InputWarning", "ComputationError"]


class InputError(ValueError):
    """The program refused the input, or could not write its outputs.

    Parameters
    ----------
    message : str
        The program's one-line message, as ``phasemap`` prints it on standard error.
    unit : int or None
        The unit of the file the message names: 1 input.txt, 2 log.out, 3 the map,
        4 phase.out, 5 phase.json; None when it names none.
    line : int or None
        The line of input.txt the message names, or None.

    Examples
    --------
    >>> try:
    ...     phasemap.read_input("bound\\n0 -2 -1.5 0\\nstop\\n")
    ... except phasemap.InputError as refused:
    ...     print(refused.unit, refused.line)
    1 2
    """

    def __init__(self, message: str, unit: int | None = None, line: int | None = None) -> None:
        super().__init__(message)
        self.message = message
        self.unit = unit
        self.line = line

    def __reduce__(self) -> tuple[type, tuple[str, int | None, int | None]]:
        return (type(self), (self.message, self.unit, self.line))


class InputWarning(UserWarning):
    """A likely slip in the input that still reads: the program's one-line warning, or a
    study's plausibility check.

    Each call issues every warning the program gives for its input once, through
    ``warnings.warn`` once the call has ended, so that the ``warnings`` filters apply:
    ``warnings.simplefilter("error", phasemap.InputWarning)`` turns them into errors (after
    ``write()`` the outputs are then written all the same).

    Examples
    --------
    >>> with warnings.catch_warnings(record=True) as caught:
    ...     warnings.simplefilter("always")
    ...     diagram = phasemap.read_input("bound\\n-2 0 -1.5 0\\nstop\\n")
    >>> print(caught[0].message)
    phasemap: warning: input.txt, line 3: no surface was read, so the map will show the frame \
and axes only
    """


class ComputationError(ArithmeticError):
    """A floating-point fault in the computation of an input (a division by zero, an
    overflow), with the program's report as its message.

    The call that raised it has ended its run; the floating-point environment and the signal
    handlers are as they were, and the next call works.

    Examples
    --------
    >>> diagram = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
    >>> try:
    ...     result = diagram.solve()
    ... except phasemap.ComputationError as fault:
    ...     print("not computed:", fault)
    """


_PACKAGE = __name__.split(".")[0]
# dataclasses' replace() builds a changed Diagram: its frames are not the user's either.
_INSIDE = (_PACKAGE, "dataclasses")


def _outside_level() -> int:
    """The `stacklevel` that makes a warning issued by the caller of this function name the
    first frame outside the package and dataclasses: the user's line."""
    level = 1
    frame: FrameType | None = sys._getframe(1)
    while frame is not None and frame.f_globals.get("__name__", "").split(".")[0] in _INSIDE:
        frame = frame.f_back
        level += 1
    return level


def warn(text: str, category: type[Warning] = InputWarning) -> None:
    """Issues `text` as a warning of `category` that names the user's line."""
    warnings.warn(text, category, stacklevel=_outside_level())


def _issue(messages: Sequence[tuple[bool, str]]) -> None:
    """Issues the lines the program would have written on standard error: its warnings
    about the input as InputWarning, any other note as UserWarning."""
    for is_warning, text in messages:
        warn(text, InputWarning if is_warning else UserWarning)


def call(function: Callable[..., tuple[Any, list]], *args: Any) -> Any:
    """Calls a function of the extension, issues the program's warnings and raises what
    stopped it: InputError for a refusal, ComputationError for a floating-point fault."""
    try:
        value, messages = function(*args)
    except _core.Fault as fault:
        report, messages = fault.args
        _issue(messages)
        raise ComputationError(report) from None
    except _core.Stopped as stop:
        message, unit, line, messages = stop.args
        _issue(messages)
        raise InputError(message, unit, line) from None
    _issue(messages)
    return value
