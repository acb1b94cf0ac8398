"""A study solved: the exact engine's result for its planes (`StudyResult`), with where its
regions lie against the bulk's stability region, and the check that a window is one the user
meant (it holds a boundary, or no other slab is stable nearby).
"""

from __future__ import annotations

import json
from fractions import Fraction
from typing import TYPE_CHECKING, Any, Sequence

import numpy as np

from . import _exact
from ._errors import warn
from ._plot import Plots
from ._study_region import PLAUSIBLE_RANGE, StabilityRegion, region_polygon

if TYPE_CHECKING:
    from ._envelope import Envelope
    from ._plot import PlotSource
    from .study import Study

__all__ = ["StudyResult"]

# A region whose part outside the bulk's stability region is below this fraction of its area
# counts as inside (the engine's corners are rounded to floats).
OUTSIDE_TOLERANCE = 1e-9

Plane = tuple[Fraction, Fraction, Fraction]  # (a, b, d) of γ = a·Δμ_x + b·Δμ_y + d


class StudyResult(Plots):
    """The engine's result for a study's planes, with where they lie against the bulk's
    stability region (see `Study.solve`).

    Every attribute of the engine's result (``regions``, ``never_stable``, ``stable_at``,
    ``energy_at``, ``to_json``, ...) is available on it. Its plots (`plot`, `plot_line`)
    have axes in Δμ, pressure axes of the study's gases and, in `plot`, the window outside
    the bulk's stability region washed out with the region's limits dashed.

    Parameters
    ----------
    result : Envelope
        The result of ``phasemap.envelope`` for the study's planes and names.
    window : tuple of 4 float
        (x_min, x_max, y_min, y_max), eV, Δμ.
    region : StabilityRegion or None
        The bulk's stability region within the window; None for a study without limits.
    study : Study, optional
        The study solved, for the plots' axes: the species of x and y, their gases and the
        energy unit.

    Attributes
    ----------
    result : Envelope
    window : tuple of 4 float
    stability_region : StabilityRegion or None
    outside : list of int
        The surfaces (1-based) whose whole region lies outside the bulk's stability region.
    partly_outside : list of int
        The surfaces whose region lies partly inside and partly outside it. A part smaller
        than 1e-9 of a region's area is not counted either way.

    Examples
    --------
    >>> result = study.solve(window=(None, None, -2.5, None))
    >>> result.outside, result.partly_outside   # both cross the bulk's limits
    ([], [1, 2])
    """

    def __init__(
        self,
        result: Envelope,
        window: tuple[float, ...],
        region: StabilityRegion | None,
        study: Study | None = None,
    ) -> None:
        self.result = result
        self.window = window
        self.stability_region = region
        self._study = study
        self.outside: list[int] = []
        self.partly_outside: list[int] = []
        if region is None:
            return
        for r in result.regions:
            share = _share_inside(np.asarray(r.corners, dtype=float), region)
            if share is None:
                continue
            if share <= OUTSIDE_TOLERANCE:
                self.outside.append(r.surface)
            elif share < 1 - OUTSIDE_TOLERANCE:
                self.partly_outside.append(r.surface)

    def __getattr__(self, name: str) -> Any:
        if name == "result":
            raise AttributeError(name)
        return getattr(self.result, name)

    def _plot_source(self) -> PlotSource:
        from ._plot_text import UNIT_SHOWN, study_axis_title

        source = self.result._plot_source()
        source.stability_region = self.stability_region
        study = self._study
        if study is not None:
            source.titles = (study_axis_title(study.x), study_axis_title(study.y))
            source.energy_title = f"γ ({UNIT_SHOWN[study.unit]})"
            source.pressure_axis = study.pressure_axis
        return source

    def to_svg(self) -> str:
        """The colour map of the regions as SVG text, drawn by the program's SVG writer in
        the style of ``phasemap --svg``: the window in Δμ, each axis titled Δμ of its species
        in eV as the map sets titles, each region a polygon (its name in ``data-name``)
        coloured by the map's rule.

        Returns
        -------
        str
            An SVG 1.1 document, its records ended by CR LF, cut to what it draws.

        Examples
        --------
        >>> result = study.solve(window=(None, None, -2.5, None))
        >>> result.to_svg().count('class="region"') == len(result.regions)
        True
        """
        from ._study_program import markup
        from ._svg import page_input, regions_svg

        study = self._study
        if study is None:
            titles, symbol = ("x", "y"), "none"
        else:
            titles, symbol = (f"{markup(study.x)} (eV)", f"{markup(study.y)} (eV)"), "delta_mu"
        engine = self.result
        return regions_svg(page_input(self.window, titles), engine._raw, engine.names, symbol)

    def as_dict(self) -> dict[str, Any]:
        """The engine's ``as_dict()`` with the window, the stability region and the lists of
        surfaces outside it.

        Returns
        -------
        dict
            The envelope's document, and "window", "stability_region" (its ``as_dict()``,
            or None), "outside" and "partly_outside".

        Examples
        --------
        >>> result = study.solve(window=(None, None, -2.5, None))
        >>> sorted(result.as_dict())[:4]
        ['format', 'outside', 'partly_outside', 'program']
        """
        out = dict(self.result.as_dict())
        out["window"] = list(self.window)
        out["stability_region"] = (
            None if self.stability_region is None else self.stability_region.as_dict()
        )
        out["outside"] = list(self.outside)
        out["partly_outside"] = list(self.partly_outside)
        return out

    def to_json(self, indent: int | None = None) -> str:
        """The JSON text of `as_dict()`, as ``Envelope.to_json`` writes it.

        Examples
        --------
        >>> result = study.solve(window=(None, None, -2.5, None))
        >>> json.loads(result.to_json())["outside"]
        []
        """
        return json.dumps(self.as_dict(), indent=indent, ensure_ascii=False)


def _share_inside(corners: np.ndarray, region: StabilityRegion) -> Fraction | None:
    """The share of a polygon's area inside the region, exactly for its float corners."""
    points = [(Fraction(float(x)), Fraction(float(y))) for x, y in corners]
    whole = _exact.area(points)
    if whole == 0:
        return None
    if whole < 0:
        points.reverse()
        whole = -whole
    polygon = [(p, "") for p in points]
    if region.empty:
        return Fraction(0)
    for name, a, b, c in region.limits:
        polygon = _exact.clip(polygon, (Fraction(a), Fraction(b), Fraction(c), name))
        if not polygon:
            return Fraction(0)
    return _exact.area([p for p, _ in polygon]) / whole


def check_window(
    planes: Sequence[Plane],
    names: Sequence[str],
    limits: Sequence[_exact.HalfPlane],
    window: Sequence[Fraction],
) -> None:
    """Warns when one slab is lowest over the whole window while others are stable
    elsewhere: in the bulk's stability region, or within PLAUSIBLE_RANGE eV of the
    references when nothing bounds the bulk."""
    if len(planes) < 2:
        return
    corners = [(x, y) for x in window[:2] for y in window[2:]]

    def g(plane: Plane, point: tuple[Fraction, Fraction]) -> Fraction:
        return plane[0] * point[0] + plane[1] * point[1] + plane[2]

    w = min(range(len(planes)), key=lambda i: g(planes[i], corners[0]))
    winner = planes[w]
    if any(g(p, c) < g(winner, c) for p in planes for c in corners):
        return  # a boundary crosses the window
    r = Fraction(PLAUSIBLE_RANGE)
    where = "within 10 eV of the references"
    domain = _exact.box(-r, r, -r, r, "")
    if limits:
        polygon, _ = region_polygon(limits)
        if polygon is None:
            return
        for plane in _exact.box_sides(-r, r, -r, r, ""):
            polygon = _exact.clip(polygon, plane)
            if not polygon:
                return
        domain, where = polygon, "in the bulk's stability region"
    # The winner's excess over the lowest plane is convex, so if the winner is not the
    # lowest everywhere in the domain it is not at one of its corners: the slabs lowest
    # there are stable elsewhere.
    elsewhere: list[str] = []
    for point, _ in domain:
        low = min(range(len(planes)), key=lambda i: g(planes[i], point))
        margin = Fraction(1, 10**9) * (1 + abs(g(winner, point)))
        if g(planes[low], point) < g(winner, point) - margin and names[low] not in elsewhere:
            elsewhere.append(names[low])
    if elsewhere:
        shown = ", ".join(repr(n) for n in elsewhere[:3]) + (" ..." if len(elsewhere) > 3 else "")
        box = tuple(float(v) for v in window)
        warn(
            f"the window {box} holds one region, {names[w]!r}, and no boundary, while {shown} "
            f"{'is' if len(elsewhere) == 1 else 'are'} stable elsewhere {where}: is the window "
            f"in Δμ, relative to the references?"
        )
