"""The bulk's stability region: the polygon of (Δμ_x, Δμ_y) where no competing phase and no
element (at most its elemental reference) is more stable than the bulk, the intersection of
half-planes a·Δμ_x + b·Δμ_y <= c computed exactly; and a study's window, whose missing
entries the region gives.
"""

from __future__ import annotations

import dataclasses
import math
from fractions import Fraction
from typing import Any, Optional, Sequence

import numpy as np
from numpy.typing import ArrayLike

from . import _exact
from ._errors import warn
from ._study_chemistry import exact_real

__all__ = ["StabilityRegion"]

Bounds = tuple[Optional[Fraction], Optional[Fraction], Optional[Fraction], Optional[Fraction]]

# "Stable elsewhere" for the window check, when the bulk's stability region does not bound
# it: within this many eV of the references on both axes.
PLAUSIBLE_RANGE = 10.0


@dataclasses.dataclass(eq=False)
class StabilityRegion:
    """Where the bulk is stable: the polygon of (Δμ_x, Δμ_y) in which no competing phase and
    no element (at most its elemental reference) is more stable than the bulk.

    Attributes
    ----------
    corners : numpy.ndarray
        (k, 2) corners, eV, counter-clockwise (the usual mathematical sense: the region lies
        to the left of each side), starting from the corner of least Δμ_x (then least Δμ_y).
        Empty (0, 2) when the bulk is stable nowhere.
    sides : list of str
        For each side, from corner i to corner i + 1 (the last back to the first), the name
        of the phase or elemental reference that bounds it, or "window" for a side that the
        window cuts. Two limits along the same line: the first named (competing phases in
        their order, then the elemental references in theirs).
    area : float
        eV².
    bounds : tuple of float
        (x_min, x_max, y_min, y_max) of the region itself, eV, without the window: -inf or
        inf where nothing bounds it.
    bounded, empty : bool
        Whether limits bound the region on every side; whether it has no corner.
    window : tuple of float or None
        The window the polygon was cut to (eV), if any.
    limits : list of tuple
        Every limit as (name, a, b, c): the bulk is stable where a·Δμ_x + b·Δμ_y <= c (a, b
        dimensionless, c in eV).
    corners_exact : list of tuple of fractions.Fraction
        The corners as exact fractions.

    Examples
    --------
    >>> region = study.stability_region(window=(None, None, -2.5, None))
    >>> region.sides
    ['window', 'Fe2O3', 'H2', 'Fe']
    """

    corners: np.ndarray
    sides: list[str]
    area: float
    bounds: tuple[float, float, float, float]
    bounded: bool
    empty: bool
    window: tuple[float, ...] | None
    limits: list[tuple[str, float, float, float]]
    corners_exact: list[tuple[Fraction, Fraction]]

    def contains(self, x: ArrayLike, y: ArrayLike, tolerance: float = 1e-9) -> Any:
        """Whether each (Δμ_x, Δμ_y) lies in the region (within `tolerance` eV of its limits).

        Parameters
        ----------
        x, y : float or array_like
            Δμ_x and Δμ_y, eV; they broadcast like numpy arrays.
        tolerance : float, optional
            eV.

        Returns
        -------
        bool or numpy.ndarray of bool

        Examples
        --------
        >>> region = study.stability_region(window=(None, None, -2.5, None))
        >>> bool(region.contains(*region.corners.mean(axis=0)))
        True
        """
        x, y = np.broadcast_arrays(np.asarray(x, dtype=float), np.asarray(y, dtype=float))
        inside = np.full(x.shape, not self.empty)
        for _, a, b, c in self.limits:
            scale = max(abs(a), abs(b), 1.0)
            inside &= a * x + b * y <= c + tolerance * scale
        return bool(inside) if inside.ndim == 0 else inside

    def as_dict(self) -> dict[str, Any]:
        """The region as plain lists and numbers (JSON-ready, infinities as None).

        Returns
        -------
        dict
            "corners", "sides", "area", "bounds", "bounded", "empty", "window" and
            "limits" (each as {"name", "a", "b", "c"}); the exact corners are left out.

        Examples
        --------
        >>> region = study.stability_region(window=(None, None, -2.5, None))
        >>> region.as_dict()["sides"]
        ['window', 'Fe2O3', 'H2', 'Fe']
        """
        return {
            "corners": self.corners.tolist(),
            "sides": list(self.sides),
            "area": self.area,
            "bounds": [b if math.isfinite(b) else None for b in self.bounds],
            "bounded": self.bounded,
            "empty": self.empty,
            "window": None if self.window is None else list(self.window),
            "limits": [{"name": n, "a": a, "b": b, "c": c} for n, a, b, c in self.limits],
        }


def region_polygon(limits: Sequence[_exact.HalfPlane]) -> tuple[list | None, Any]:
    """The exact region, cut to a square that strictly holds all its corners, and its
    bounds (None where open); (None, the name of a limit) when the bulk is stable nowhere."""
    planes = []
    for a, b, c, name in limits:
        if a == 0 and b == 0:
            if c < 0:
                return None, name
            continue
        planes.append((a, b, c, name))
    half = max(_exact.enclosing(planes), Fraction(2 * PLAUSIBLE_RANGE))
    polygon = _exact.box(-half, half, -half, half, "open")
    for plane in planes:
        polygon = _exact.clip(polygon, plane)
        if not polygon:
            return None, plane[3]
    xs = [p[0] for p, _ in polygon]
    ys = [p[1] for p, _ in polygon]
    bounds = (
        None if min(xs) == -half else min(xs),
        None if max(xs) == half else max(xs),
        None if min(ys) == -half else min(ys),
        None if max(ys) == half else max(ys),
    )
    return polygon, bounds


def describe(bounds: Bounds) -> str:
    """The region's extent in words, for messages."""

    def show(v: Fraction | None, sign: str) -> str:
        return f"{sign}inf" if v is None else f"{float(v):.4g}"

    return (
        f"Δμ_x from {show(bounds[0], '-')} to {show(bounds[1], '')}, "
        f"Δμ_y from {show(bounds[2], '-')} to {show(bounds[3], '')}"
    )


def resolve_window(
    limits: Sequence[_exact.HalfPlane],
    bulk_name: str,
    window: Sequence[Any] | None,
    what: str,
    strict: bool = True,
) -> tuple[Fraction, Fraction, Fraction, Fraction]:
    """The window as exact fractions, None entries taken from the bulk's region."""
    if window is not None and len(window) != 4:
        raise ValueError(f"window is {window!r}; give (x_min, x_max, y_min, y_max)")
    given = [None] * 4 if window is None else list(window)
    if any(v is None for v in given):
        polygon, bounds = region_polygon(limits)
        if polygon is None:
            raise ValueError(
                f"{what}: the bulk {bulk_name} is stable nowhere, so its stability "
                f"region gives no window; give one, (x_min, x_max, y_min, y_max) in eV"
            )
        names = ("x_min", "x_max", "y_min", "y_max")
        open_ = [names[i] for i in range(4) if given[i] is None and bounds[i] is None]
        if open_:
            raise ValueError(
                f"{what}: the bulk's stability region is open ({describe(bounds)}), "
                f"so it gives no {', '.join(open_)}; give the window with numbers there, "
                f"None for the entries the region gives, e.g. window=(None, None, -3.0, None)"
            )
        given = [bounds[i] if v is None else v for i, v in enumerate(given)]
    try:
        out = tuple(exact_real(v, "a window entry") for v in given)
    except ValueError:
        raise ValueError(f"window is {window!r}; its entries are finite numbers or None") from None
    if strict:
        ordered = out[0] < out[1] and out[2] < out[3]
    else:
        ordered = out[0] <= out[1] and out[2] <= out[3]
    if not ordered:
        shown = tuple(float(v) for v in out)
        raise ValueError(f"{what}: the window {shown} is not x_min < x_max, y_min < y_max")
    return (out[0], out[1], out[2], out[3])


def stability_region(
    limits: Sequence[_exact.HalfPlane], bulk_name: str, window: Sequence[Any] | None
) -> StabilityRegion:
    """The bulk's stability region for `Study.stability_region`, cut to `window`."""
    polygon, bounds = region_polygon(limits)
    float_limits = [(n, float(a), float(b), float(c)) for a, b, c, n in limits]
    if polygon is None:
        warn(
            f"the bulk {bulk_name} is stable nowhere: the limits ({bounds} among them) exclude "
            f"one another; check the energies of the bulk and of "
            f"{', '.join(n for n, *_ in float_limits)}"
        )
        empty_window = None if window is None else tuple(window)
        nowhere = (math.nan, math.nan, math.nan, math.nan)
        return StabilityRegion(
            np.zeros((0, 2)), [], 0.0, nowhere, True, True, empty_window, float_limits, []
        )
    cut = None
    if window is not None or None in bounds:
        x0, x1, y0, y1 = resolve_window(limits, bulk_name, window, "stability_region", False)
        cut = (float(x0), float(x1), float(y0), float(y1))
        for plane in _exact.box_sides(x0, x1, y0, y1, "window"):
            polygon = _exact.clip(polygon, plane)
            if not polygon:
                break
    x_min, x_max, y_min, y_max = (
        (-math.inf if i % 2 == 0 else math.inf) if b is None else float(b)
        for i, b in enumerate(bounds)
    )
    float_bounds = (x_min, x_max, y_min, y_max)
    bounded = None not in bounds
    if not polygon:
        warn(
            f"the bulk {bulk_name}'s stability region ({describe(bounds)}) lies outside the "
            f"window {cut}"
        )
        return StabilityRegion(
            np.zeros((0, 2)), [], 0.0, float_bounds, bounded, True, cut, float_limits, []
        )
    firsts = [p for p, _ in polygon]
    start = firsts.index(min(firsts))
    polygon = polygon[start:] + polygon[:start]
    points = [p for p, _ in polygon]
    area = _exact.area(points)
    if area == 0:
        shown = ", ".join(f"({float(x):.4g}, {float(y):.4g})" for x, y in points)
        warn(f"the bulk {bulk_name} is stable only on a line or at a point ({shown})")
    return StabilityRegion(
        corners=np.array([[float(x), float(y)] for x, y in points]).reshape(-1, 2),
        sides=[name for _, name in polygon],
        area=float(area),
        bounds=float_bounds,
        bounded=bounded,
        empty=False,
        window=cut,
        limits=float_limits,
        corners_exact=points,
    )
