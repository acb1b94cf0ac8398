"""The exact lower envelope of any number of planes: `envelope` for one diagram (and
`envelope_sweep`, in `_envelope_sweep`, for many that differ only in their energies).

Plane i is g_i(x, y) = a_i x + b_i y + d_i; the region of a plane is where it is the lowest in
the window. Which plane is lowest where, which corners exist and which regions have positive
area are decided exactly for the given doubles (no tolerance); every corner is the exact
corner rounded to the nearest double. One tie rule holds throughout: of identical planes the
lowest index has the region, a plane that is lowest only on a set of zero area (a point, a
segment) is never stable, and at a point where several planes are lowest `stable_at` gives the
lowest index among them.
"""

from __future__ import annotations

import json
from collections.abc import Sequence
from types import ModuleType
from typing import TYPE_CHECKING, Any, Callable

import numpy as np

try:
    from . import _engine
except ImportError:  # built without CGAL
    _engine = None  # type: ignore[assignment]

from ._plot import Plots
from ._result import Region

if TYPE_CHECKING:
    from ._diagram import Diagram
    from ._plot import PlotSource

__all__ = ["envelope", "Envelope"]


def _require_engine() -> ModuleType:
    if _engine is None:
        raise ImportError(
            "phasemap was built without its exact envelope engine: CGAL was not found when it "
            "was built (Debian: libcgal-dev)"
        )
    return _engine


def _as_array(values: Any, name: str, caller: str, copy: bool = False) -> np.ndarray:
    try:
        return np.array(values, dtype=float) if copy else np.asarray(values, dtype=float)
    except (TypeError, ValueError) as error:
        raise ValueError(f"{caller}: {name} must be an array of numbers; {error}") from None


def _call(caller: str, function: Callable[..., Any], *args: Any) -> Any:
    try:
        return function(*args)
    except ValueError as error:
        raise ValueError(f"{caller}: {error}") from None


def envelope(planes: Any, window: Sequence[float], names: Sequence[str] | None = None) -> Envelope:
    """The exact stable regions of `planes` over `window`.

    Parameters
    ----------
    planes : array_like, shape (n, 3) or (n, 4)
        Rows (a, b, d) of the planes g = a x + b y + d, or rows (a, b, c, d) with c = -1 as
        `Result.planes` holds them; any n from 1 up, every number finite. Any units: for a
        surface energy g in J/m² over chemical potentials x, y in eV, a and b are in J/m² per
        eV, d in J/m², and the results below in those units.
    window : sequence of 4 floats
        (x_min, x_max, y_min, y_max) in the units of x and y, with x_min < x_max and
        y_min < y_max.
    names : sequence of str, optional
        A name for each plane; by default "1", "2", ...

    Returns
    -------
    Envelope
        The regions (one per stable plane, by index), the never stable planes, and the
        lowest plane and energy at any point.

    Raises
    ------
    ValueError
        For non-finite numbers, an empty or inverted window, wrong shapes or no planes.

    Examples
    --------
    >>> import phasemap
    >>> e = phasemap.envelope([(0, 0, -29.0), (-0.4, -0.4, -29.5)], (-2, 0, -1.5, 0))
    >>> [(r.surface, round(r.area, 4)) for r in e.regions]
    [(1, 2.2188), (2, 0.7812)]
    >>> int(e.stable_at(-0.1, -0.1)), e.never_stable
    (2, [])
    """
    engine = _require_engine()
    rows = _as_array(planes, "planes", "phasemap.envelope", copy=True)  # kept: a copy
    return Envelope(rows, _call("phasemap.envelope", engine.solve, rows, window, 0), names)


def _envelope_of(
    rows: np.ndarray,
    window: Sequence[float],
    names: Sequence[str],
    titles: tuple[str, str],
    diagram: Diagram,
) -> Envelope:
    """The envelope of a Diagram's planes (Diagram.solve_exact), which keeps the Diagram for
    its colour map."""
    raw = _call("Diagram.solve_exact", _require_engine().solve, rows, window, 0)
    envelope = Envelope(rows, raw, names, titles)
    envelope._diagram = diagram
    return envelope


class Envelope(Plots):
    """The exact stable regions of planes over a window (see `envelope`).

    Attributes
    ----------
    planes : numpy.ndarray, shape (n, 4)
        The planes as rows (a, b, c, d) with c = -1, as `Result.planes` holds them.
    window : tuple of 4 floats
        (x_min, x_max, y_min, y_max).
    names : tuple of str
        The name of each plane.
    regions : list of Region
        One per stable plane, by index: `surface` (1-based), `name`, `corners` (an (k, 2)
        array, clockwise with y up from the leftmost corner), `centroid` and `area`.
    never_stable : list of int
        The 1-based indices of the planes without a region.
    titles : tuple of 2 str, or None
        The axis titles (x, y) when they are known (`Diagram.solve_exact`).

    Examples
    --------
    >>> e = phasemap.envelope([(1, 0, 0), (-1, 0, 0)], (-1, 1, -1, 1), names=["A", "B"])
    >>> e.names, [r.name for r in e.regions], e.planes[0].tolist()
    (('A', 'B'), ['A', 'B'], [1.0, 0.0, -1.0, 0.0])
    """

    __slots__ = ("_rows", "window", "_names", "_raw", "_regions", "titles", "_diagram")

    def __init__(
        self,
        rows: np.ndarray,
        raw: tuple,
        names: Sequence[str] | None = None,
        titles: tuple[str, str] | None = None,
    ):
        rows.flags.writeable = False
        self._rows = rows
        self.window = raw[0]
        self._raw = raw
        self._regions: list[Region] | None = None
        self.titles = titles  # (x, y) axis titles, when known
        self._diagram: Diagram | None = None  # the Diagram solved, by Diagram.solve_exact
        if names is not None:
            names = tuple(str(name) for name in names)
            if len(names) != len(rows):
                raise ValueError(f"phasemap.envelope: {len(names)} names for {len(rows)} planes")
        self._names = names

    @property
    def planes(self) -> np.ndarray:
        if self._rows.shape[1] == 4:
            return self._rows.copy()
        a, b, d = self._rows.T
        return np.column_stack((a, b, -np.ones_like(a), d))

    @property
    def names(self) -> tuple[str, ...]:
        if self._names is None:
            self._names = tuple(str(i) for i in range(1, len(self._rows) + 1))
        return self._names

    @property
    def regions(self) -> list[Region]:
        if self._regions is None:
            _, surfaces, offsets, corners, areas, centroids, _ = self._raw
            corners.flags.writeable = False
            names, ends = self.names, offsets.tolist()
            self._regions = [
                Region(s, names[s - 1], corners[start:stop], (centre[0], centre[1]), area)
                for s, start, stop, centre, area in zip(
                    surfaces.tolist(), ends, ends[1:], centroids.tolist(), areas.tolist()
                )
            ]
        return self._regions

    @property
    def never_stable(self) -> list[int]:
        return self._raw[6].tolist()

    def _points(
        self, x: Any, y: Any, caller: str
    ) -> tuple[tuple[int, ...], np.ndarray, np.ndarray]:
        x, y = np.broadcast_arrays(_as_array(x, "x", caller), _as_array(y, "y", caller))
        return x.shape, np.ravel(x), np.ravel(y)

    def stable_at(self, x: Any, y: Any) -> np.ndarray:
        """The 1-based index of the lowest plane at each point (x, y), elementwise.

        x and y broadcast like numpy arrays. Where several planes are exactly the lowest,
        the lowest index among them; points outside the window are answered too.

        Examples
        --------
        >>> import phasemap
        >>> e = phasemap.envelope([(1, 0, 0), (-1, 0, 0)], (-1, 1, -1, 1))
        >>> e.stable_at([-0.5, 0.0, 0.5], 0.0).tolist()
        [1, 1, 2]
        """
        shape, x, y = self._points(x, y, "Envelope.stable_at")
        lowest = _call("Envelope.stable_at", _engine.lowest_at, self._rows, x, y)
        return lowest.reshape(shape)[()]

    def energy_at(self, x: Any, y: Any) -> np.ndarray:
        """The lowest energy g at each point (x, y), elementwise, the exact value rounded to
        the nearest double.

        Examples
        --------
        >>> import phasemap
        >>> e = phasemap.envelope([(1, 0, 0), (-1, 0, 0)], (-1, 1, -1, 1))
        >>> e.energy_at([-0.5, 0.5], 0.0).tolist()
        [-0.5, -0.5]
        """
        shape, x, y = self._points(x, y, "Envelope.energy_at")
        energy = _call("Envelope.energy_at", _engine.energy_at, self._rows, x, y)
        return energy.reshape(shape)[()]

    def as_dict(self) -> dict[str, Any]:
        """The regions as plain data, in the shape of phase.json.

        The keys are phase.json's where they apply: "format" is "phasemap-envelope",
        "axis_titles", and a surface's "counts", "area" and "energy", are there only when they
        are known (`Diagram.solve_exact`), and a region has no vertex numbers. Numbers are
        doubles, which `to_json` writes as the shortest decimals that read back to them.

        Examples
        --------
        >>> import phasemap
        >>> e = phasemap.envelope([(1, 0, 0), (-1, 0, 0)], (-1, 1, -1, 1), names=["A", "B"])
        >>> e.as_dict()["regions"][0]["corners"]
        [[-1.0, 1.0], [0.0, 1.0], [0.0, -1.0], [-1.0, -1.0]]
        """
        regions = self.regions
        stable = {r.surface for r in regions}
        x_min, x_max, y_min, y_max = self.window
        document = {
            "format": "phasemap-envelope",
            "version": 1,
            "program": {"name": "phasemap", "version": _engine.version},
            "window": {"x": [x_min, x_max], "y": [y_min, y_max]},
        }
        if self.titles is not None:
            document["axis_titles"] = {"x": self.titles[0], "y": self.titles[1]}
        rows = self._rows
        d_column = 3 if rows.shape[1] == 4 else 2
        surfaces = [
            {
                "index": i + 1,
                "name": name,
                "plane": {
                    "a": float(rows[i, 0]),
                    "b": float(rows[i, 1]),
                    "d": float(rows[i, d_column]),
                },
                "has_region": i + 1 in stable,
            }
            for i, name in enumerate(self.names)
        ]
        known = () if self._diagram is None else self._diagram.surfaces
        for entry, s in zip(surfaces, known):
            plane, has_region = entry.pop("plane"), entry.pop("has_region")
            entry.update(counts=list(s.counts), area=s.area, energy=s.energy)
            entry.update(plane=plane, has_region=has_region)
        document["surfaces"] = surfaces
        document["regions"] = [
            {
                "surface": r.surface,
                "name": r.name,
                "corners": r.corners.tolist(),
                "centroid": list(r.centroid),
                "area": r.area,
            }
            for r in regions
        ]
        return document

    def to_json(self, indent: int | None = None) -> str:
        """The JSON text of `as_dict()`.

        Parameters
        ----------
        indent : int, optional
            As for ``json.dumps``: by default one line.

        Returns
        -------
        str
            The document, non-ASCII characters as they are.

        Examples
        --------
        >>> import json, phasemap
        >>> e = phasemap.envelope([(1, 0, 0), (-1, 0, 0)], (-1, 1, -1, 1))
        >>> json.loads(e.to_json()) == e.as_dict()
        True
        """
        return json.dumps(self.as_dict(), indent=indent, ensure_ascii=False)

    def to_svg(self) -> str:
        """The colour map of the regions as SVG text, drawn by the program's SVG writer in
        the style of ``phasemap --svg``.

        Returns
        -------
        str
            An SVG 1.1 document, its records ended by CR LF, cut to what it draws: the
            frame, ticks and titles, each region a polygon (its name in ``data-name``)
            coloured by the map's rule, which keeps neighbours apart. From
            `Diagram.solve_exact` the page is the diagram's (its titles after a μ, window,
            shift, pressure scales, lines and labels); otherwise the window with the titles
            `titles` after a μ, or "x" and "y" alone when they are None.

        Raises
        ------
        InputError
            When the program's map cannot show the window (for example, too many ticks).

        Examples
        --------
        >>> e = phasemap.envelope([(1, 0, 0), (-1, 0, 0)], (-1, 1, -1, 1), names=["A", "B"])
        >>> svg = e.to_svg()
        >>> svg.count('class="region"'), 'data-name="B"' in svg
        (2, True)
        """
        from ._svg import page_input, regions_svg

        if self._diagram is not None:
            return regions_svg(self._diagram._page_input(), self._raw, self.names, "mu")
        titles = ("x", "y") if self.titles is None else self.titles
        symbol = "none" if self.titles is None else "mu"
        return regions_svg(page_input(self.window, titles), self._raw, self.names, symbol)

    def _plot_source(self) -> PlotSource:
        from ._plot import PlotSource
        from ._plot_text import map_axis_title

        titles = ("x", "y") if self.titles is None else tuple(map(map_axis_title, self.titles))
        return PlotSource(
            regions=self.regions,
            names=self.names,
            planes=self.planes,
            window=tuple(self.window),
            titles=titles,
            energy_title="g" if self.titles is None else "γ (J/m²)",
            scale_titles=self.titles or ("", ""),
        )

    def __repr__(self) -> str:
        return (
            f"<Envelope of {len(self._rows)} planes over {self.window}: "
            f"{len(self._raw[1])} stable>"
        )
