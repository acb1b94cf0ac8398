"""The entries of a Diagram, one class for each kind of record input.txt holds (the bulk, a
surface, a label, a guide line, a set of pressure scales), and how every field of a Diagram
is kept: immutable values (tuples, named tuples, frozen Surfaces) in single precision, whole
numbers where the program reads integers, so that nothing changes a diagram but assigning a
field.
"""

from __future__ import annotations

import dataclasses
import operator
import os
from typing import Any, Callable, NamedTuple, Sequence, Union

import numpy as np

__all__ = ["Bulk", "Surface", "Label", "Line", "BoxedLine", "PressureScale"]

PathType = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def whole(value: Any, what: str) -> int:
    """`value` as an int; a number that is not a whole number is refused, naming `what`."""
    try:
        return operator.index(value)
    except TypeError:
        pass
    number = float(value)
    if not number.is_integer():
        raise ValueError(f"{what} is {value!r}, not a whole number")
    return int(number)


def counts(values: Sequence[Any], size: int, owner: str) -> tuple[int, ...]:
    """The `size` counts of `owner` as ints, refused unless there are as many whole numbers."""
    values = tuple(values)
    if len(values) != size:
        raise ValueError(f"{owner} has {len(values)} counts, {values!r}; it takes {size}")
    return tuple(whole(v, f"{owner}: count {i + 1}") for i, v in enumerate(values))


def single(value: Any) -> float:
    """The single-precision value the program stores for `value`."""
    return float(np.float32(value))


def singles(values: Sequence[Any]) -> tuple[float, ...]:
    return tuple(single(v) for v in values)


class Bulk(NamedTuple):
    """The bulk entry (``bulk``): the bulk unit's composition and energy.

    Parameters
    ----------
    counts : tuple of 2 int
        The counts of the first and second species in one bulk unit.
    energy : float
        The total energy of a bulk cell, eV.
    divisor : int, optional
        How many bulk units the cell holds (default 1): the energy per unit is
        ``energy / divisor``.

    Examples
    --------
    >>> phasemap.Bulk(counts=(1, 1), energy=-53.706, divisor=2)   # a cell of two TiO2 units
    Bulk(counts=(1, 1), energy=-53.706, divisor=2)
    """

    counts: Sequence[int]
    energy: float
    divisor: int = 1


@dataclasses.dataclass(frozen=True)
class Surface:
    """A candidate termination (a record of ``surf``).

    Parameters
    ----------
    name : str
        The name (up to 40 bytes of UTF-8), as log.out and phase.out report the region.
    counts : tuple of 3 int
        The counts n1, n2, n3 of the first, second and third species in the slab.
    area : float
        The slab's area, Å² (stored in single precision).
    energy : float
        The slab's total energy, eV (stored in single precision).

    Raises
    ------
    ValueError
        When there are not three counts, or a count is not a whole number.

    Examples
    --------
    >>> phasemap.Surface("stoichiometric", (8, 8, 0), 19.24, -212.782).counts
    (8, 8, 0)
    """

    name: str
    counts: Sequence[int]
    area: float
    energy: float

    def __post_init__(self) -> None:
        object.__setattr__(self, "counts", counts(self.counts, 3, f"surface {self.name!r}"))
        object.__setattr__(self, "area", single(self.area))
        object.__setattr__(self, "energy", single(self.energy))


def read_surface(name: str, counts: tuple[int, ...], area: float, energy: float) -> Surface:
    """A Surface of what the program's reader stored, which is already kept as a Surface keeps
    it (three whole counts, single-precision reals): made without the checks, for inputs of
    many surfaces."""
    surface = object.__new__(Surface)
    surface.__dict__.update(name=name, counts=counts, area=area, energy=energy)
    return surface


class Label(NamedTuple):
    """A text on the map (a record of ``text``).

    Parameters
    ----------
    x, y : float
        Where the text's baseline starts, in the diagram's coordinates (eV).
    size : float
        The font size, points.
    text : str
        Up to 40 bytes of UTF-8, with the map's ``^{...}``/``_{...}`` markup.

    Examples
    --------
    >>> phasemap.Label(-13.26, -17.36, 16, "TiO_{2}")
    Label(x=-13.26, y=-17.36, size=16, text='TiO_{2}')
    """

    x: float
    y: float
    size: float
    text: str


class Line(NamedTuple):
    """A guide line across the window (a record of ``equi``): coef_x·x + coef_y·y = constant.

    Parameters
    ----------
    coef_x, coef_y : int
        The line's whole coefficients.
    constant : float
        Its constant, eV.

    Examples
    --------
    >>> phasemap.Line(1, 0, -5.13)   # the vertical line x = -5.13
    Line(coef_x=1, coef_y=0, constant=-5.13)
    """

    coef_x: int
    coef_y: int
    constant: float


class BoxedLine(NamedTuple):
    """A guide line confined to a box of its own (a record of ``equ2``).

    Parameters
    ----------
    coef_x, coef_y : int
        The line's whole coefficients: coef_x·x + coef_y·y = constant.
    constant : float
        Its constant, eV.
    x_from, x_to, y_low, y_high : float
        The box it is drawn in, eV.

    Examples
    --------
    >>> phasemap.BoxedLine(1, 1, -23.5, -7.5, -6.0, -17.5, -15.0).x_from
    -7.5
    """

    coef_x: int
    coef_y: int
    constant: float
    x_from: float
    x_to: float
    y_low: float
    y_high: float


class PressureScale(NamedTuple):
    """A set of pressure scales (``temp1``, ``temp2``), drawn only with a positive temperature.

    Parameters
    ----------
    temperature : float, optional
        K; 0 or below (the default, -1) switches the set off.
    x_origin, y_origin : float, optional
        Where the scales' 1 bar points stand on the x and y axes, eV.
    x_step, y_step : float, optional
        Decades of pressure per tick along x and y.

    Examples
    --------
    >>> phasemap.PressureScale(300.0, -10.40, -14.70, 20.0, 20.0).temperature
    300.0
    """

    temperature: float = -1.0
    x_origin: float = 0.0
    y_origin: float = 0.0
    x_step: float = 0.0
    y_step: float = 0.0


OFF = PressureScale()


def _bulk(value: Sequence[Any] | None) -> Bulk | None:
    """The bulk entry with whole counts and divisor (None for no bulk entry)."""
    if value is None:
        return None
    bulk_counts, energy, divisor = value
    return Bulk(counts(bulk_counts, 2, "bulk"), single(energy), whole(divisor, "bulk: divisor"))


def _line(number: int, entry: Sequence[Any], kind: type[Line] | type[BoxedLine]) -> Any:
    """A guide line (Line or BoxedLine) with whole coefficients."""
    what = f"{'boxed line' if kind is BoxedLine else 'line'} {number}"
    coefficients = (whole(entry[0], f"{what}: coef_x"), whole(entry[1], f"{what}: coef_y"))
    return kind(*coefficients, *singles(entry[2:]))


def _path_text(path: PathType) -> str:
    """A path as the text a Diagram keeps: bytes that are no UTF-8 character surrogate-escaped,
    as os.fsdecode gives them, so that the input text holds the very bytes."""
    return os.fsdecode(path)


# Every field of a Diagram that is not kept as it is given, and how it is kept.
NORMALIZE: dict[str, Callable[[Any], Any]] = {
    "bulk": _bulk,
    "surfaces": lambda v: tuple(s if isinstance(s, Surface) else Surface(*s) for s in v),
    "window": singles,
    "labels": lambda v: tuple(
        Label(single(t[0]), single(t[1]), single(t[2]), str(t[3])) for t in v
    ),
    "x_guides": singles,
    "y_guides": singles,
    "map_name": _path_text,
    "lines": lambda v: tuple(_line(i + 1, e, Line) for i, e in enumerate(v)),
    "boxed_lines": lambda v: tuple(_line(i + 1, e, BoxedLine) for i, e in enumerate(v)),
    "scales": lambda v: tuple(PressureScale(*singles(s)) for s in v),
    "shift": singles,
}
