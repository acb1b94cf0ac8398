"""phasemap from Python: read or build a diagram of candidate surface terminations, find the
region of the (x, y) window where each is the most stable, draw it with matplotlib or write
the program's own outputs.

The checks are the program's: a Diagram is turned into input.txt text (to_input) and read
by the program's reader, which refuses what the program refuses; read_input goes the same
way and builds the Diagram from what the reader stored. Calls into the program are
serialized by one lock in the extension, so threads may call freely and take turns. The
program's warnings arrive through the `warnings` module as InputWarning.
"""
from __future__ import annotations

import codecs
import dataclasses
import json
import operator
import os
import re
import sys
import threading
import warnings
from typing import Any, Callable, NamedTuple, Sequence, Union

import numpy as np

from . import _core, gas
from ._envelope import Envelope, EnvelopeSweep, _envelope_of, envelope, envelope_sweep
from ._plot import PALETTE
from ._warnings import InputWarning
from ._composition import Slab, composition, formula
from .study import PressureAxis, StabilityRegion, Study, StudyResult

__all__ = [
    "Bulk",
    "Surface",
    "Label",
    "Line",
    "BoxedLine",
    "PressureScale",
    "Diagram",
    "Region",
    "Result",
    "InputError",
    "InputWarning",
    "ComputationError",
    "read_input",
    "PALETTE",
    "envelope",
    "envelope_sweep",
    "Envelope",
    "EnvelopeSweep",
    "Slab",
    "Study",
    "StabilityRegion",
    "StudyResult",
    "PressureAxis",
    "composition",
    "formula",
    "gas",
]


PathType = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


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

    def __reduce__(self) -> tuple:
        return (type(self), (self.message, self.unit, self.line))


class ComputationError(ArithmeticError):
    """A floating-point fault in the computation of an input, with the program's message."""


def _outside_level() -> int:
    """The `stacklevel` that makes a warning issued by the caller of this function name the
    first frame outside the package and dataclasses (whose replace() builds a changed
    Diagram): the user's line."""
    level = 1
    frame = sys._getframe(1)
    while frame is not None and frame.f_globals.get("__name__", "").split(".")[0] in _INSIDE:
        frame = frame.f_back
        level += 1
    return level


_INSIDE = (__name__, "dataclasses")


def _issue(messages: Sequence[tuple[bool, str]]) -> None:
    """Issues the lines the program would have written on standard error: its warnings
    about the input as InputWarning, any other note as UserWarning."""
    if not messages:
        return
    level = _outside_level()
    for is_warning, text in messages:
        warnings.warn(text, InputWarning if is_warning else UserWarning, stacklevel=level)


def _call(function: Callable[..., tuple[Any, list]], *args: Any) -> Any:
    """Calls the extension, issues the program's warnings and raises what stopped it."""
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


def _whole(value: Any, what: str) -> int:
    """`value` as an int; a number that is not a whole number is refused, naming `what`."""
    try:
        return operator.index(value)
    except TypeError:
        pass
    number = float(value)
    if not number.is_integer():
        raise ValueError(f"{what} is {value!r}, not a whole number")
    return int(number)


def _counts(values: Sequence, size: int, owner: str) -> tuple[int, ...]:
    """The `size` counts of `owner` as ints, refused unless there are as many whole numbers."""
    values = tuple(values)
    if len(values) != size:
        raise ValueError(f"{owner} has {len(values)} counts, {values!r}; it takes {size}")
    return tuple(_whole(v, f"{owner}: count {i + 1}") for i, v in enumerate(values))


def _single(value):
    """The single-precision value the program stores for `value`."""
    return float(np.float32(value))


def _real(value):
    """Shortest text that reads back to the same single-precision value."""
    return str(np.float32(value))


def _quoted(text):
    return "'" + text.replace("'", "''") + "'"


def _text(raw):
    return raw.decode("utf-8", "surrogateescape")


# phase.json shows every byte that is no UTF-8 character as U+FFFD, one for each byte, and
# every control character but the tab, U+2028, U+2029, U+FFFE and U+FFFF as U+FFFD, one for
# each character.
codecs.register_error("phasemap.replace_bytes", lambda e: ("\ufffd" * (e.end - e.start), e.end))
_REPLACED_IN_JSON = re.compile("[\x00-\x08\x0a-\x1f\x7f-\x9f\u2028\u2029\ufffe\uffff]")


def _json_text(raw):
    """A stored name as phase.json shows it."""
    return _REPLACED_IN_JSON.sub("\ufffd", raw.decode("utf-8", "phasemap.replace_bytes"))


class Bulk(NamedTuple):
    counts: tuple  # (count_1, count_2)
    energy: float  # total bulk energy
    divisor: int = 1


@dataclasses.dataclass(frozen=True)
class Surface:
    name: str
    counts: tuple  # (count_1, count_2, count_3)
    area: float
    energy: float

    def __post_init__(self) -> None:
        object.__setattr__(self, "counts", _counts(self.counts, 3, f"surface {self.name!r}"))
        object.__setattr__(self, "area", _single(self.area))
        object.__setattr__(self, "energy", _single(self.energy))


class Label(NamedTuple):
    x: float
    y: float
    size: float
    text: str


class Line(NamedTuple):
    """The guide line coef_x * x + coef_y * y = constant across the window (equi)."""

    coef_x: int
    coef_y: int
    constant: float


class BoxedLine(NamedTuple):
    """The same kind of line confined to a box of its own (equ2)."""

    coef_x: int
    coef_y: int
    constant: float
    x_from: float
    x_to: float
    y_low: float
    y_high: float


class PressureScale(NamedTuple):
    """A set of pressure scales (temp1, temp2); on only with a positive temperature."""

    temperature: float = -1.0
    x_origin: float = 0.0
    y_origin: float = 0.0
    x_step: float = 0.0
    y_step: float = 0.0


_OFF = PressureScale()
_trusted = threading.local()  # set while read_input builds a Diagram the reader has checked


def _singles(values):
    return tuple(_single(v) for v in values)


def _bulk(value: Sequence | None) -> Bulk | None:
    """The bulk entry with whole counts and divisor (None for no bulk entry)."""
    if value is None:
        return None
    counts, energy, divisor = value
    return Bulk(_counts(counts, 2, "bulk"), _single(energy), _whole(divisor, "bulk: divisor"))


def _line(number: int, entry: Sequence, kind: type) -> NamedTuple:
    """A guide line (Line or BoxedLine) with whole coefficients."""
    what = f"{'boxed line' if kind is BoxedLine else 'line'} {number}"
    coefficients = (_whole(entry[0], f"{what}: coef_x"), _whole(entry[1], f"{what}: coef_y"))
    return kind(*coefficients, *_singles(entry[2:]))


def _path_text(path: PathType) -> str:
    """A path as the text a Diagram keeps: bytes that are no UTF-8 character surrogate-escaped,
    as os.fsdecode gives them, so that the input text holds the very bytes."""
    return os.fsdecode(path)


# Every field as the Diagram keeps it: immutable values (tuples, named tuples, frozen
# Surfaces) in single precision, so that nothing can change a diagram but assigning a field.
_NORMALIZE = {
    "bulk": _bulk,
    "surfaces": lambda v: tuple(s if isinstance(s, Surface) else Surface(*s) for s in v),
    "window": _singles,
    "labels": lambda v: tuple(
        Label(_single(t[0]), _single(t[1]), _single(t[2]), str(t[3])) for t in v
    ),
    "x_guides": _singles,
    "y_guides": _singles,
    "map_name": _path_text,
    "lines": lambda v: tuple(_line(i + 1, e, Line) for i, e in enumerate(v)),
    "boxed_lines": lambda v: tuple(_line(i + 1, e, BoxedLine) for i, e in enumerate(v)),
    "scales": lambda v: tuple(PressureScale(*_singles(s)) for s in v),
    "shift": _singles,
}


@dataclasses.dataclass
class Diagram:
    """Everything input.txt can hold. Built or changed (by assigning a field, or with
    dataclasses.replace) from plain values: sequences become tuples, reals single
    precision. A new Diagram is checked by the program's reader at once."""

    bulk: Bulk | None = None  # None: the input has no bulk entry
    surfaces: tuple = ()
    window: tuple = (0.0, 0.0, 0.0, 0.0)  # (x_min, x_max, y_min, y_max)
    x_title: str = "H"
    y_title: str = "O"
    map_name: str = "map1.ps"
    labels: tuple = ()
    x_guides: tuple = ()
    y_guides: tuple = ()
    lines: tuple = ()
    boxed_lines: tuple = ()
    scales: tuple = (_OFF, _OFF)
    shift: tuple = (0.0, 0.0)

    def __setattr__(self, name: str, value: Any) -> None:
        object.__setattr__(self, name, _NORMALIZE[name](value) if name in _NORMALIZE else value)

    def __post_init__(self) -> None:
        if not getattr(_trusted, "on", False):
            _call(_core.check, self._frozen()._input[1])

    def to_input(self):
        """input.txt text that the program reads back to this diagram."""
        b = self.bulk
        out = (
            []
            if b is None
            else ["bulk", f"{b.counts[0]} {b.counts[1]}", f"{_real(b.energy)} {b.divisor}"]
        )
        out += ["bound", " ".join(_real(v) for v in self.window)]
        if self.surfaces:
            out.append(f"surf {len(self.surfaces)}")
            out += [
                f"{_quoted(s.name)} {s.counts[0]} {s.counts[1]} {s.counts[2]} "
                f"{_real(s.area)} {_real(s.energy)}"
                for s in self.surfaces
            ]
        out += [
            "xaxi",
            _quoted(self.x_title),
            "yaxi",
            _quoted(self.y_title),
            "output",
            _quoted(self.map_name),
        ]
        for word, scale in zip(("temp1", "temp2"), self.scales):
            if scale != _OFF:
                out += [word, " ".join(_real(v) for v in scale)]
        for word, value in zip(("shiftx", "shifty"), self.shift):
            if value != 0.0:
                out += [word, _real(value)]
        for word, values in (("xbound", self.x_guides), ("ybound", self.y_guides)):
            if values:
                out += [f"{word} {len(values)}"] + [_real(v) for v in values]
        if self.lines:
            out.append(f"equi {len(self.lines)}")
            out += [f"{e.coef_x} {e.coef_y} {_real(e.constant)}" for e in self.lines]
        if self.boxed_lines:
            out.append(f"equ2 {len(self.boxed_lines)}")
            out += [
                f"{e.coef_x} {e.coef_y} " + " ".join(_real(v) for v in e[2:])
                for e in self.boxed_lines
            ]
        if self.labels:
            out.append(f"text {len(self.labels)}")
            out += [
                f"{_real(t.x)} {_real(t.y)} {_real(t.size)} {_quoted(t.text)}" for t in self.labels
            ]
        out.append("stop")
        return "\n".join(out) + "\n"

    def _values(self) -> tuple:
        return tuple(self.__dict__[name] for name in _FIELD_NAMES)

    def _frozen(self) -> Diagram:
        """A copy of the diagram as it is now, which no other thread changes, with its input
        bytes in `_input` as (field values, bytes). The bytes kept for the diagram (its own
        input text, or the very bytes it was read from, which may hold what no field does,
        such as the echo of a negative table count) hold while every field is the very
        value they were made for."""
        copy = object.__new__(Diagram)
        copy.__dict__.update(self.__dict__)  # one step, which no other thread interrupts
        values = copy._values()
        kept = copy.__dict__.get("_input")
        if kept is None or any(a is not b for a, b in zip(kept[0], values)):
            kept = (values, copy.to_input().encode("utf-8", "surrogateescape"))
            object.__setattr__(copy, "_input", kept)
            object.__setattr__(self, "_input", kept)
        return copy

    def solve(self) -> Result:
        """The stable regions, computed in memory: no file is read or written.

        Returns
        -------
        Result
            The regions of the diagram as it was when the call began; its ``diagram`` is a
            copy of it then, which later changes of this diagram leave alone.

        Examples
        --------
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> [region.name for region in result.regions][:2]
        ['stoichiometric', 'bridging O vacancies']
        """
        diagram = self._frozen()
        return Result(diagram, *_call(_core.solve, diagram._input[1]))

    def solve_exact(self):
        """The stable regions of this diagram's planes (those `solve().planes` holds) by the
        exact engine, as `phasemap.envelope` gives them: any number of corners, no tolerance.

        Examples
        --------
        >>> d = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
        >>> [r.surface for r in d.solve_exact().regions], d.solve_exact().never_stable
        ([1, 2, 3, 4, 5, 7], [6])
        """
        diagram = self._frozen()
        planes = _call(_core.read, diagram._input[1])["planes"]
        names = [_json_text(s.name.encode("utf-8", "surrogateescape")) for s in diagram.surfaces]
        titles = tuple(
            _json_text(t.encode("utf-8", "surrogateescape"))
            for t in (diagram.x_title, diagram.y_title)
        )
        return _envelope_of(
            np.array(planes, dtype=float).reshape(-1, 4), diagram.window, names, titles
        )

    def write(self, folder: PathType = ".", json: bool = False) -> None:
        """Writes the program's outputs into a folder, as one set.

        log.out, phase.out and the map (and phase.json with ``json=True``) are written into
        `folder` exactly as the program run there would write them, input.txt being this
        diagram (input.txt itself is not written); the folder is made when it is missing.

        Parameters
        ----------
        folder : str, bytes or os.PathLike
            The folder, relative to the current folder when the call begins; a str may
            hold surrogate-escaped bytes (``os.fsdecode``), bytes are taken as they are.
        json : bool
            Whether phase.json is written too.

        Raises
        ------
        InputError
            The program refused the input or could not write; log.out then ends with its
            message, as the program leaves it, and the earlier outputs are unchanged.
        OSError
            The folder cannot be made.

        Examples
        --------
        >>> diagram = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
        >>> diagram.write("run1", json=True)
        """
        diagram = self._frozen()
        path = os.fsencode(folder)
        os.makedirs(path, exist_ok=True)
        # The folder is taken once, now, and the run works relative to it: what the current
        # folder is while the call waits for its turn, or becomes meanwhile, plays no part.
        descriptor = os.open(path, os.O_PATH | os.O_DIRECTORY | os.O_CLOEXEC)
        try:
            _call(_core.run_in, descriptor, diagram._input[1], bool(json))
        finally:
            os.close(descriptor)


_FIELD_NAMES = tuple(field.name for field in dataclasses.fields(Diagram))


def _diagram_from_state(state):
    _trusted.on = True
    try:
        return Diagram(
            bulk=Bulk(state["bulk"][:2], state["bulk"][2], state["bulk"][3])
            if state["bulk"][3] != 0
            else None,
            surfaces=[Surface(_text(n), c, a, e) for n, c, a, e in state["surfaces"]],
            window=state["window"],
            x_title=_text(state["x_title"]),
            y_title=_text(state["y_title"]),
            map_name=_text(state["map_name"]),
            labels=[(x, y, s, _text(t)) for x, y, s, t in state["labels"]],
            x_guides=state["x_guides"],
            y_guides=state["y_guides"],
            lines=state["equi"],
            boxed_lines=state["equ2"],
            scales=state["scales"],
            shift=state["shift"],
        )
    finally:
        _trusted.on = False


def read_input(path_or_text: PathType) -> Diagram:
    """A Diagram from an input.txt file or its text.

    Parameters
    ----------
    path_or_text : str, bytes or os.PathLike
        The text of input.txt (a str holding a line end), or the path of a file.

    Returns
    -------
    Diagram
        What the program's reader stores for the input; it keeps the bytes it was read from.

    Examples
    --------
    >>> diagram = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
    >>> len(diagram.surfaces)
    5
    """
    if isinstance(path_or_text, str) and "\n" in path_or_text:
        data = path_or_text.encode("utf-8", "surrogateescape")
    else:
        with open(path_or_text, "rb") as file:
            data = file.read()
    diagram = _diagram_from_state(_call(_core.read, data))
    object.__setattr__(diagram, "_input", (diagram._values(), data))
    return diagram


@dataclasses.dataclass
class Region:
    surface: int  # 1-based surface index
    name: str
    corners: np.ndarray  # (n, 2), in drawing order: the run's single-precision values
    centroid: tuple
    area: float


class Result:
    """The stable regions of a diagram as phase.out and phase.json report them."""

    def __init__(self, diagram, planes, regions, state):
        self.diagram = diagram
        self._state = state  # the run's state, for phase.json when it is asked for
        self.planes = np.array(planes, dtype=float).reshape(-1, 4)
        self.regions = [
            Region(s, _json_text(name), corners, centroid, area)
            for s, name, corners, centroid, area in regions
        ]
        stable = {r.surface for r in self.regions}
        self.never_stable = [i + 1 for i in range(len(diagram.surfaces)) if i + 1 not in stable]

    def stable_at(self, x, y):
        """The 1-based index of the surface lowest in free energy at (x, y), elementwise."""
        x, y = np.broadcast_arrays(np.asarray(x, dtype=float), np.asarray(y, dtype=float))
        a, b, c, d = (self.planes[:, k].reshape((-1,) + (1,) * x.ndim) for k in range(4))
        # a*x + b*y + c*g + d = 0 with c = -1: g = a*x + b*y + d.
        energy = a * x + b * y + d
        return np.argmin(energy, axis=0) + 1

    def to_json(self):
        """The phase.json document as a dict."""
        return json.loads(_call(_core.phase_json, self._state).decode("utf-8"))

    def to_dict(self):
        return {
            "regions": [
                dataclasses.asdict(r) | {"corners": r.corners.tolist()} for r in self.regions
            ],
            "planes": self.planes.tolist(),
            "never_stable": list(self.never_stable),
        }

    def plot(self, ax=None, colors=None, labels=True, edgecolor="black", **kwargs):
        """Draws the regions on `ax` (the current axes by default) as filled polygons, by
        default in PALETTE by surface index; `colors` maps names or indices to colours, or
        names a colormap. Labels go at the centroids; returns the axes. Never shows or
        saves the figure."""
        from ._plot import plot

        return plot(self, ax, colors, labels, edgecolor, **kwargs)
