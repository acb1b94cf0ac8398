"""What `Diagram.solve` gives: a `Result`, the stable regions of a diagram as phase.out and
phase.json report them, each a `Region`; and how the names the run stored are shown as text.
"""

from __future__ import annotations

import dataclasses
import json
from typing import TYPE_CHECKING, Any

import numpy as np
from numpy.typing import ArrayLike

from . import _core
from ._errors import call
from ._plot import Plots

if TYPE_CHECKING:
    from ._diagram import Diagram
    from ._plot import PlotSource

__all__ = ["Region", "Result"]


def text(raw: bytes) -> str:
    """A text the run stored, bytes that are no UTF-8 character surrogate-escaped."""
    return raw.decode("utf-8", "surrogateescape")


def json_text(raw: bytes) -> str:
    """A stored name as phase.json shows it (the program's own rule for what it replaces)."""
    return _core.text_in_phase_json(raw)


@dataclasses.dataclass
class Region:
    """The region of the window where one surface is the most stable.

    Attributes
    ----------
    surface : int
        The surface's 1-based index.
    name : str
        The surface's name, as phase.json shows it.
    corners : numpy.ndarray, shape (n, 2)
        The corners (x, y), eV, in the order the map draws them (clockwise with y up).
        From `Diagram.solve`, the run's single-precision values; from the exact engine,
        doubles.
    centroid : tuple of 2 float
        The centroid of the region's area (x, y), eV.
    area : float
        The area, eV².

    Examples
    --------
    >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
    >>> region = result.regions[0]
    >>> region.surface, region.name, region.corners.shape[1]
    (1, 'stoichiometric', 2)
    """

    surface: int
    name: str
    corners: np.ndarray
    centroid: tuple[float, float]
    area: float


class Result(Plots):
    """The stable regions of a diagram as phase.out and phase.json report them
    (see `Diagram.solve`).

    Attributes
    ----------
    diagram : Diagram
        A copy of the diagram as it was when it was solved.
    planes : numpy.ndarray, shape (n, 4)
        The coefficients (a, b, c, d) of every surface's plane a·x + b·y + c·g + d = 0, with
        c = -1, so that the surface free energy is g = a·x + b·y + d, J/m² (x and y in eV).
    regions : list of Region
        One for every region phase.out reports, in its order.
    never_stable : list of int
        The 1-based indices of the surfaces without a region.

    Examples
    --------
    >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
    >>> result.planes.shape, result.never_stable
    ((7, 4), [6])
    """

    def __init__(self, diagram: Diagram, planes: Any, regions: Any, state: Any) -> None:
        self.diagram = diagram
        self._state = state  # the run's state, for phase.json when it is asked for
        self.planes = np.array(planes, dtype=float).reshape(-1, 4)
        self.regions = [
            Region(s, json_text(name), corners, centroid, area)
            for s, name, corners, centroid, area in regions
        ]
        stable = {r.surface for r in self.regions}
        self.never_stable = [i + 1 for i in range(len(diagram.surfaces)) if i + 1 not in stable]

    def stable_at(self, x: ArrayLike, y: ArrayLike) -> np.ndarray:
        """The surface lowest in free energy at each point (x, y).

        Parameters
        ----------
        x, y : float or array_like
            The chemical potentials, eV; they broadcast like numpy arrays.

        Returns
        -------
        numpy.ndarray of int
            The 1-based index of the lowest surface at each point (of several equally low,
            the first); a 0-d array for scalar x and y.

        Examples
        --------
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> result.stable_at([-15.0, -11.0], -17.0).tolist()
        [4, 1]
        """
        x, y = np.broadcast_arrays(np.asarray(x, dtype=float), np.asarray(y, dtype=float))
        a, b, c, d = (self.planes[:, k].reshape((-1,) + (1,) * x.ndim) for k in range(4))
        # a*x + b*y + c*g + d = 0 with c = -1: g = a*x + b*y + d.
        energy = a * x + b * y + d
        return np.argmin(energy, axis=0) + 1

    def to_json(self) -> str:
        """The text of phase.json, as ``write(json=True)`` writes it.

        Returns
        -------
        str
            The JSON document (see `as_dict` for its shape): every number the shortest
            decimal that reads back to the value the run holds.

        Examples
        --------
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> result.to_json().splitlines()[1]
        '  "format": "phasemap-regions",'
        """
        return call(_core.phase_json, self._state).decode("utf-8")

    def to_svg(self) -> str:
        """The colour map as SVG text, exactly as ``write(svg=True)`` and ``phasemap --svg``
        write it.

        Returns
        -------
        str
            The SVG 1.1 document, its records ended by CR LF, cut to what it draws (see the
            guide's chapter on the colour map).

        Examples
        --------
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> result.to_svg().splitlines()[0]
        '<?xml version="1.0" encoding="UTF-8"?>'
        """
        return call(_core.svg_map, self._state).decode("utf-8")

    def as_dict(self) -> dict[str, Any]:
        """The phase.json document as plain data (dicts, lists, str, int and float).

        Returns
        -------
        dict
            "format", "version", "program", "window", "axis_titles", "surfaces" (every
            surface with its counts, area, energy, plane and whether it has a region) and
            "regions" (each with its surface, name, vertex numbers, corners, centroid and
            area), as the guide's chapter on phase.json describes them.

        Examples
        --------
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> document = result.as_dict()
        >>> [r["name"] for r in document["regions"]] == [r.name for r in result.regions]
        True
        """
        return json.loads(self.to_json())

    def _plot_source(self) -> PlotSource:
        from ._plot import PlotSource
        from ._plot_text import map_axis_title

        diagram = self.diagram
        names = [json_text(s.name.encode("utf-8", "surrogateescape")) for s in diagram.surfaces]
        titles = tuple(
            json_text(t.encode("utf-8", "surrogateescape"))
            for t in (diagram.x_title, diagram.y_title)
        )
        return PlotSource(
            regions=self.regions,
            names=names,
            planes=self.planes,
            window=tuple(diagram.window),
            titles=(map_axis_title(titles[0]), map_axis_title(titles[1])),
            energy_title="γ (J/m²)",
            shift=tuple(diagram.shift),
            scales=diagram.scales,
            scale_titles=titles,
            diagram=diagram,
        )
