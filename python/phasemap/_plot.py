"""The plots of every kind of result, one implementation: `draw_map` (the regions, as
`Result.plot`, `Envelope.plot` and `StudyResult.plot` draw them), `draw_line` (their
`plot_line`, in ``_plot_line``) and `png` (their ``_repr_png_``; their ``_repr_svg_`` is
their ``to_svg``, the program's colour map, ``_svg``). Each result describes
itself as a `PlotSource`; matplotlib is imported only when a plot is drawn.

What the plots share with the maps comes from the program through the extension: the
palette and the rule that colours neighbours apart (``_plot_colours``), the markup and the μ
before each axis title (``_plot_text``), the dash patterns and pressure scales
(``_plot_axes``). Labels are placed by ``_plot_labels``.
"""

from __future__ import annotations

import dataclasses
import io
from typing import TYPE_CHECKING, Any, Callable, Mapping, Sequence

import numpy as np

from ._plot_colours import PALETTE, face_colours

if TYPE_CHECKING:
    from matplotlib.axes import Axes

    from ._diagram import Diagram
    from ._entries import PressureScale
    from ._result import Region
    from ._study_pressure import PressureAxis
    from ._study_region import StabilityRegion

__all__ = ["PALETTE"]


@dataclasses.dataclass
class PlotSource:
    """What a result shows: its regions, every surface's name and plane, the window, the
    axis titles as matplotlib text and the energy's title, and what only some results have
    (the diagram's shift, pressure scales and guide lines; a study's pressure axes and the
    bulk's stability region)."""

    regions: Sequence[Region]
    names: Sequence[str]
    planes: np.ndarray  # (n, 4): a, b, c = -1, d of g = a·x + b·y + d
    window: Sequence[float]  # x_min, x_max, y_min, y_max
    titles: Sequence[str]  # x, y
    energy_title: str
    shift: Sequence[float] = (0.0, 0.0)
    scales: Sequence[PressureScale] = ()
    scale_titles: Sequence[str] = ("", "")
    pressure_axis: Callable[[str, float], PressureAxis] | None = None
    diagram: Diagram | None = None
    stability_region: StabilityRegion | None = None


def new_axes(ax: Axes | None) -> Axes:
    """`ax`, or the current axes of pyplot."""
    if ax is not None:
        return ax
    try:
        import matplotlib.pyplot as plt
    except ImportError as missing:
        raise ImportError("plot needs matplotlib (Debian: python3-matplotlib)") from missing
    return plt.gca()


def artist_options(kind: Any, options: Mapping[str, Any], caller: str) -> dict[str, Any]:
    """The keywords `options` if each is a property of the artist class `kind`; refused
    with TypeError otherwise, as a misspelt keyword of the call itself."""
    for key in options:
        if not callable(getattr(kind, f"set_{key}", None)):
            raise TypeError(
                f"{caller}() got an unexpected keyword argument {key!r} (neither one of its "
                f"own nor a property of {kind.__name__})"
            )
    return dict(options)


def _pressure_sets(source: PlotSource, pressures: Any) -> list[Any]:
    from ._plot_axes import diagram_pressure_sets, study_pressure_sets

    if pressures is None:
        return diagram_pressure_sets(source.scales, source.scale_titles, None)
    if pressures is False or (not np.ndim(pressures) and pressures is not True):
        temperatures = [] if pressures is False else [float(pressures)]
    elif pressures is True:
        return diagram_pressure_sets(source.scales, source.scale_titles, None)
    else:
        temperatures = [float(t) for t in pressures]
    if len(temperatures) > 2:
        raise ValueError(f"pressures: at most two temperatures, not {len(temperatures)}")
    if not temperatures:
        return []
    if source.pressure_axis is not None:
        return study_pressure_sets(source.pressure_axis, temperatures)
    if any(s.temperature > 0 for s in source.scales):
        return diagram_pressure_sets(source.scales, source.scale_titles, temperatures)
    raise ValueError(
        "pressures: this result knows no gas for its axes (a study's result knows its gases; "
        "a diagram's, its pressure scales temp1 and temp2)"
    )


def draw_map(
    source: PlotSource,
    ax: Axes | None,
    colors: Mapping[Any, Any] | str | None,
    labels: Any,
    edgecolor: Any,
    markup: bool,
    pressures: Any,
    aspect: Any,
    fontsize: Any,
    kwargs: Mapping[str, Any],
    caller: str = "plot",
) -> Axes:
    """Draws the regions of `source` on `ax` with everything the map shows (see
    `Result.plot` for the arguments) and returns `ax`."""
    from matplotlib.patches import Polygon

    from ._plot_axes import (
        clip_convex,
        draw_guides,
        draw_pressure_axes,
        limits_and_aspect,
        shade_unstable,
        shift_ticks,
    )
    from ._plot_labels import place_labels
    from ._plot_text import label_texts

    polygon_options = artist_options(Polygon, kwargs, caller)
    mode, texts = label_texts(source.regions, source.names, labels)
    sets = _pressure_sets(source, pressures)
    ax = new_axes(ax)
    regions = source.regions
    faces = face_colours(regions, len(source.names), colors)
    for region, face in zip(regions, faces):
        patch = Polygon(
            np.asarray(region.corners, dtype=float), closed=True, facecolor=face,
            edgecolor=edgecolor, zorder=1, **polygon_options,
        )  # fmt: skip
        patch.set_gid(f"phasemap-region-{region.surface}")
        ax.add_patch(patch)
    limits_and_aspect(ax, source.window, aspect)
    if source.stability_region is not None:
        shade_unstable(ax, source.stability_region, source.window)
    lines = []  # labels keep off them where they can
    if source.diagram is not None:
        lines = draw_guides(ax, source.diagram, source.window)
    ax.set_xlabel(source.titles[0])
    ax.set_ylabel(source.titles[1])
    shift_ticks(ax, source.shift)
    draw_pressure_axes(ax, sets, fontsize)
    if not mode:
        return ax
    preferred = None
    if source.stability_region is not None:
        preferred = [clip_convex(r.corners, source.stability_region) for r in regions]
    figure = ax.figure
    engine = figure.get_layout_engine() if hasattr(figure, "get_layout_engine") else None
    # A layout engine makes room for what stands beside the frame, which changes the axes'
    # size the labels were placed for: place again until the size holds; when it does not
    # settle, the figure keeps the layout it has (its engine set to "none"), for which the
    # labels are placed.
    for attempt in range(4):
        if engine is not None:
            engine.execute(figure)
        size = (ax.bbox.width, ax.bbox.height)
        placed = place_labels(
            ax, regions, faces, texts, mode, markup, fontsize, edgecolor, preferred, lines
        )
        if engine is None:
            break
        engine.execute(figure)
        if np.allclose(size, (ax.bbox.width, ax.bbox.height), rtol=0.002):
            break
        for label in placed:
            label.artist.remove()
        if ax.get_legend() is not None:
            ax.get_legend().remove()
        if attempt == 2:
            figure.set_layout_engine("none")
            engine = None
    return ax


def png(plot: Callable[[Axes], Any]) -> bytes | None:
    """The PNG of a figure that `plot` draws on new axes, or None without matplotlib. The
    figure belongs to no pyplot state and is dropped afterwards."""
    try:
        from matplotlib.backends.backend_agg import FigureCanvasAgg
        from matplotlib.figure import Figure
    except ImportError:
        return None
    figure = Figure(figsize=(6.4, 4.8), dpi=100)
    FigureCanvasAgg(figure)
    try:
        plot(figure.add_subplot())
        buffer = io.BytesIO()
        figure.savefig(buffer, format="png", bbox_inches="tight")
        return buffer.getvalue()
    finally:
        figure.clear()


class Plots:
    """The plots of a result that describes itself with ``_plot_source()``: `plot`,
    `plot_line` and ``_repr_png_``, the same for every kind of result."""

    __slots__ = ()

    def _plot_source(self) -> PlotSource:
        raise NotImplementedError

    def plot(
        self,
        ax: Axes | None = None,
        colors: Mapping[str | int, Any] | str | None = None,
        labels: str | Mapping[str | int, str | None] | bool | None = "names",
        edgecolor: Any = "black",
        *,
        markup: bool = False,
        pressures: Sequence[float] | float | bool | None = None,
        aspect: Any = None,
        fontsize: Any = None,
        **kwargs: Any,
    ) -> Axes:
        """Draws the regions on matplotlib axes, labelled, with the axes of the map.

        Parameters
        ----------
        ax : matplotlib.axes.Axes, optional
            The axes to draw on; the current axes by default. Give the figure its size and
            layout first: labels are placed for the axes' size at the time of the call.
        colors : dict or str, optional
            Colours by region name or surface index, or the name of a matplotlib colormap,
            taken as given. By default (and for a region the dict leaves out) each surface
            takes its colour of ``phasemap.PALETTE`` by its index, as the SVG map does, but
            where two regions that share a side would look alike (CIEDE2000 below
            ``phasemap.NEIGHBOUR_DIFFERENCE``), as few as possible move to the palette colour
            farthest from their neighbours'.
        labels : {"names", "numbers", "legend"}, dict or None, optional
            "names" (default): each region's name inside it where the text fits, across or
            along the region; a name that fits nowhere inside stands right of the frame with
            a thin leader line into its region, and when such names are too many for the
            frame's height, their regions show numbers (the surface indices) and a legend
            names them. "numbers": the surface index in each region. "legend": the index in
            each region and a legend of every region's name. A dict maps names or surface
            indices to texts (None or "" for no label; others keep their names). None or
            False: no labels. No two labels overlap, and none crosses another region.
        edgecolor : colour, optional
            The regions' edge colour.
        markup : bool, optional
            Whether names and label texts are read in the map's ^{...}/_{...} markup (set as
            mathtext); by default they are shown exactly as written.
        pressures : float, sequence of up to 2 floats, or bool, optional
            Pressure axes on top (x) and right (y): at these temperatures (K), with ticks at
            powers of ten (bar) and the gas named; the second set outside the first, grey.
            By default the diagram's own pressure scales (temp1, temp2), as the map draws
            them; a temperature must be one of theirs. False: none.
        aspect : optional
            Passed to ``ax.set_aspect`` ("equal": one eV as long on both axes, as on the
            map); by default the axes' own.
        fontsize : optional
            The labels' and pressure axes' font size (points or a matplotlib size name).
        **kwargs
            Properties of each region's ``matplotlib.patches.Polygon`` (``alpha``,
            ``linewidth``, ...); any other keyword is refused with TypeError.

        Returns
        -------
        matplotlib.axes.Axes
            `ax`, limited to the window (x and y in eV), its axis titles those of the map
            (μ with the title as its subscript), its ticks numbered as the map numbers them
            (tick k at k + shift), with the diagram's guide and equilibrium lines in their
            dash patterns. The figure is never shown or saved.

        Raises
        ------
        ImportError
            When matplotlib is missing.
        TypeError
            For an unknown keyword.
        ValueError
            For an unknown label mode, a label for no surface, or a pressure axis at a
            temperature the diagram has no scale for.

        Examples
        --------
        >>> import matplotlib.pyplot as plt
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> fig, ax = plt.subplots(figsize=(6, 4.5))
        >>> ax = result.plot(ax=ax, colors={"stoichiometric": "#dddddd"})
        >>> len(ax.patches) == len(result.regions)
        True
        """
        source = self._plot_source()
        return draw_map(
            source, ax, colors, labels, edgecolor, markup, pressures, aspect, fontsize, kwargs
        )

    def plot_line(
        self,
        ax: Axes | None = None,
        *,
        x: float | None = None,
        y: float | None = None,
        start: Sequence[float] | None = None,
        end: Sequence[float] | None = None,
        colors: Mapping[str | int, Any] | str | None = None,
        labels: bool = True,
        markup: bool = False,
        fontsize: Any = None,
        **kwargs: Any,
    ) -> Axes:
        """Draws every surface's energy along a straight line of the window.

        Parameters
        ----------
        ax : matplotlib.axes.Axes, optional
            The axes to draw on; the current axes by default.
        x, y : float, optional
            Hold one chemical potential fixed (eV) and run the other across the window:
            ``y=-17.0`` draws the energies against x at y = -17 eV.
        start, end : pair of float, optional
            Instead, the path from (x, y) `start` to `end` (eV); drawn against x, or
            against y when x does not change.
        colors : dict or str, optional
            As for `plot`; by default each surface's line takes its region's colour, darker.
        labels : bool, optional
            Whether each line is named at its right end (names nudged apart, with leaders
            where moved).
        markup : bool, optional
            As for `plot`.
        fontsize : optional
            The names' font size.
        **kwargs
            Properties of each line (``matplotlib.lines.Line2D``); any other keyword is
            refused with TypeError.

        Returns
        -------
        matplotlib.axes.Axes
            `ax`, with a thin line for every surface, the lowest of them emphasised, and a
            dotted vertical mark wherever the stable surface changes along the path (found
            exactly from the planes).

        Raises
        ------
        ValueError
            Without a path, with two, or with a path that leaves the window.

        Examples
        --------
        >>> import matplotlib.pyplot as plt
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> ax = result.plot_line(ax=plt.figure().gca(), y=-17.0)
        >>> len(ax.lines) >= len(result.planes)
        True
        """
        from ._plot_line import draw_line

        return draw_line(
            self._plot_source(), ax, x, y, start, end, colors, labels, markup, fontsize, kwargs
        )

    def to_svg(self) -> str:
        """The colour map as SVG text; each kind of result says how it draws it."""
        raise NotImplementedError

    def _repr_svg_(self) -> str | None:
        """The colour map as SVG (`to_svg`), for notebooks; needs no matplotlib. None when
        the program's map cannot show the window (then a notebook shows the PNG)."""
        from ._errors import InputError

        try:
            return self.to_svg()
        except InputError:
            return None

    def _repr_png_(self) -> bytes | None:
        """The regions as a PNG, as `plot` draws them with its defaults (for notebooks)."""
        return png(lambda ax: self.plot(ax=ax))
