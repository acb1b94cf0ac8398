"""The one-dimensional plot: every surface's energy along a straight path of the window, the
lowest emphasised, each line named at its right end, and a mark wherever the stable surface
changes. The changes are found exactly: along the path each energy is a line in the path's
parameter, and the lower envelope of these lines is walked in fractions.
"""

from __future__ import annotations

from fractions import Fraction
from typing import TYPE_CHECKING, Any, Mapping, Sequence

import numpy as np

from ._plot import PlotSource, artist_options, new_axes
from ._plot_axes import DASHES, shift_ticks
from ._plot_colours import NEIGHBOUR_DIFFERENCE, PALETTE, face_colours

if TYPE_CHECKING:
    from matplotlib.axes import Axes

THIN, THICK = 1.0, 2.5  # points: every line, and the lowest one over it
GAP_POINTS = 4.0  # the names from the axes and from one another


def path_of(
    source: PlotSource,
    x: float | None,
    y: float | None,
    start: Sequence[float] | None,
    end: Sequence[float] | None,
) -> tuple[tuple[float, float], tuple[float, float], int]:
    """The path's two ends and the coordinate (0: x, 1: y) it is drawn against."""
    x_min, x_max, y_min, y_max = source.window
    given = [x is not None, y is not None, start is not None or end is not None]
    if sum(given) != 1 or (given[2] and (start is None or end is None)):
        raise ValueError("plot_line: give x=..., y=... or both start=(x, y) and end=(x, y)")
    if y is not None:
        ends = ((x_min, float(y)), (x_max, float(y)))
    elif x is not None:
        ends = ((float(x), y_min), (float(x), y_max))
    else:
        assert start is not None and end is not None
        ends = ((float(start[0]), float(start[1])), (float(end[0]), float(end[1])))
    for px, py in ends:
        if not (x_min <= px <= x_max and y_min <= py <= y_max):
            raise ValueError(
                f"plot_line: the path's end ({px:g}, {py:g}) is outside the window "
                f"{tuple(source.window)}"
            )
    if ends[0] == ends[1]:
        raise ValueError("plot_line: the path's two ends are the same point")
    return ends[0], ends[1], 0 if ends[0][0] != ends[1][0] else 1


def lowest_along(
    planes: np.ndarray, first: tuple[float, float], last: tuple[float, float]
) -> list[tuple[Fraction, Fraction, int]]:
    """The lower envelope along the path from `first` to `last`, exactly for the given
    doubles: (t_from, t_to, surface index from 1) for t from 0 to 1, each piece of positive
    length; where several surfaces are equally low along a piece, the lowest index."""
    x0, y0 = (Fraction(v) for v in first)
    dx, dy = Fraction(last[0]) - x0, Fraction(last[1]) - y0
    lines = []
    for a, b, _, d in planes.tolist():
        a, b, d = Fraction(a), Fraction(b), Fraction(d)
        lines.append((a * x0 + b * y0 + d, a * dx + b * dy))  # g(t) = value + slope·t

    def lowest_after(t: Fraction, among: Sequence[int]) -> int:
        return min(among, key=lambda i: (lines[i][0] + lines[i][1] * t, lines[i][1], i))

    pieces = []
    t = Fraction(0)
    current = lowest_after(t, range(len(lines)))
    while True:
        value, slope = lines[current]
        crossings: dict[Fraction, list[int]] = {}
        for i, (v, s) in enumerate(lines):
            if s < slope:
                at = (v - value) / (slope - s)
                if at > t:
                    crossings.setdefault(at, []).append(i)
        nearest = min(crossings, default=None)
        if nearest is None or nearest >= 1:
            pieces.append((t, Fraction(1), current + 1))
            return pieces
        pieces.append((t, nearest, current + 1))
        t, current = nearest, lowest_after(nearest, crossings[nearest] + [current])


def darker(colour: Any) -> tuple[float, float, float]:
    """A region's light fill made dark enough for a thin line on white: its lightness (HLS)
    times 0.6, hue and saturation kept. (A bound on the lightness would make the palette's
    three yellows one colour, and its two blues and its orange and pink alike.)"""
    import colorsys

    from matplotlib.colors import to_rgb

    h, lightness, s = colorsys.rgb_to_hls(*to_rgb(colour))
    return colorsys.hls_to_rgb(h, 0.6 * lightness, s)


def lines_apart(
    colours: Sequence[Any], order: Sequence[int], free: Sequence[int]
) -> tuple[list[Any], list[int]]:
    """Each line's colour and dash pattern (its place in the maps' dash patterns, 0 solid), so
    that lines tell apart. In `order`, a line that looks like one before it (CIEDE2000 below
    `NEIGHBOUR_DIFFERENCE`) takes, if it is `free`, the first palette colour from its own on,
    darker, that looks like none of theirs; then each line takes the first dash pattern that
    no line before it that looks like it has.

    Examples
    --------
    >>> lines_apart(["#2966a3", "#2966a3", "#b83d14"], [0, 1, 2], [])[1]
    [0, 1, 0]
    """
    from matplotlib.colors import to_hex

    from ._plot_colours import colour_difference

    differences: dict[tuple[str, str], float] = {}

    def alike(first: str, second: str) -> bool:
        if (first, second) not in differences:
            differences[first, second] = colour_difference(first, second)
        return differences[first, second] < NEIGHBOUR_DIFFERENCE

    colours = list(colours)
    shown = [to_hex(c) for c in colours]
    patterns = [0] * len(colours)
    done: list[int] = []
    candidates = [to_hex(darker(c)) for c in PALETTE]
    for i in order:
        if i in free and any(alike(shown[i], shown[j]) for j in done):
            for k in range(len(PALETTE)):
                candidate = candidates[(i + k) % len(PALETTE)]
                if not any(alike(candidate, shown[j]) for j in done):
                    colours[i], shown[i] = candidate, candidate
                    break
        taken = {patterns[j] for j in done if alike(shown[i], shown[j])}
        patterns[i] = next(
            (p for p in range(len(DASHES)) if p not in taken), len(taken) % len(DASHES)
        )
        done.append(i)
    return colours, patterns


def draw_line(
    source: PlotSource,
    ax: Axes | None,
    x: float | None,
    y: float | None,
    start: Sequence[float] | None,
    end: Sequence[float] | None,
    colors: Mapping[Any, Any] | str | None,
    labels: bool,
    markup: bool,
    fontsize: Any,
    kwargs: Mapping[str, Any],
) -> Axes:
    """Draws `plot_line` (see `Result.plot_line`) and returns the axes."""
    from matplotlib.lines import Line2D

    from ._result import Region

    options = artist_options(Line2D, kwargs, "plot_line")
    first, last, along = path_of(source, x, y, start, end)
    ax = new_axes(ax)
    planes = np.asarray(source.planes, dtype=float)
    count = len(planes)
    # Each surface's colour: its region's, darker; a surface without a region (or without
    # one on this plot) takes its own index's colour.
    everyone = [
        Region(i + 1, source.names[i], np.zeros((0, 2)), (0.0, 0.0), 0.0) for i in range(count)
    ]
    by_surface = {r.surface: r for r in source.regions}
    listed = [by_surface.get(i + 1, everyone[i]) for i in range(count)]
    faces = face_colours(listed, count, colors)
    user = colors is not None
    given = [user and not _default_face(colors, listed[i]) for i in range(count)]
    line_colours = [face if given[i] else darker(face) for i, face in enumerate(faces)]
    # Lines that look alike: those of surfaces with no region here take other colours where
    # they can, and dash patterns tell the rest apart.
    drawn = [i for i in range(count) if i + 1 in by_surface]
    order = drawn + [i for i in range(count) if i + 1 not in by_surface]
    free = {i for i in order[len(drawn) :] if not given[i]}
    line_colours, patterns = lines_apart(line_colours, order, free)
    ends_at = np.array([first[along], last[along]])
    energy = (
        planes[:, 0:1] * np.array([first[0], last[0]])
        + planes[:, 1:2] * np.array([first[1], last[1]])
        + planes[:, 3:4]
    )
    for i in range(count):
        artist = Line2D(ends_at, energy[i], color=line_colours[i], lw=THIN, zorder=2, **options)
        if patterns[i]:
            artist.set_dashes([v / THIN for v in DASHES[patterns[i]]])
        artist.set_gid(f"phasemap-energy-{i + 1}")
        ax.add_line(artist)
    pieces = lowest_along(planes, first, last)
    span = ends_at[1] - ends_at[0]
    for t_from, t_to, surface in pieces:
        h = ends_at[0] + span * np.array([float(t_from), float(t_to)])
        g = energy[surface - 1, 0] + (energy[surface - 1, 1] - energy[surface - 1, 0]) * (
            (h - ends_at[0]) / span
        )
        artist = Line2D(h, g, color=line_colours[surface - 1], lw=THICK, zorder=3)
        artist.set_gid(f"phasemap-lowest-{surface}")
        artist.set_solid_capstyle("butt")
        ax.add_line(artist)
        # The stretch where it is the most stable, in its region's colour as the map shows it.
        band = ax.axvspan(*h, facecolor=faces[surface - 1], alpha=0.45, lw=0, zorder=0)
        band.set_gid(f"phasemap-stable-{surface}")
    for (_, t, _), _next in zip(pieces, pieces[1:]):
        mark = ax.axvline(ends_at[0] + span * float(t), color="0.4", lw=0.8, ls=":", zorder=1)
        mark.set_gid("phasemap-change")
    ax.set_xlim(*sorted(ends_at))
    low, high = float(energy.min()), float(energy.max())
    pad = 0.04 * (high - low or 1.0)
    ax.set_ylim(low - pad, high + pad)
    ax.set_xlabel(source.titles[along])
    ax.set_ylabel(source.energy_title)
    shift_ticks(ax, (source.shift[along], 0.0))
    ax.set_title(path_title(source, x, y, first, last), fontsize="medium")
    if labels:
        _name_lines(
            ax,
            source.names,
            energy[:, 1] if span > 0 else energy[:, 0],
            line_colours,
            markup,
            fontsize,
        )
    return ax


def path_title(
    source: PlotSource,
    x: float | None,
    y: float | None,
    first: tuple[float, float],
    last: tuple[float, float],
) -> str:
    """Where the path runs, numbered as the map numbers its axes: the value held ("μ_H2O =
    −17", a title's unit after the number), or the path's two ends (x, y)."""
    from ._plot_axes import shifted_number

    def number(value: float, axis: int) -> str:
        return shifted_number(float(source.shift[axis]))(value, None)

    if x is None and y is None:
        ends = [f"({number(p[0], 0)}, {number(p[1], 1)})" for p in (first, last)]
        return f"from {ends[0]} to {ends[1]}"
    axis, value = (1, y) if y is not None else (0, x)
    assert value is not None
    title = source.titles[axis]
    if title.endswith(" (eV)"):
        return f"{title[:-5]} = {number(value, axis)} eV"
    return f"{title} = {number(value, axis)}"


def _default_face(colors: Any, region: Any) -> bool:
    """Whether the user's `colors` leave this region to the palette."""
    if isinstance(colors, str):
        return False
    return region.name not in colors and region.surface not in colors


def _name_lines(
    ax: Axes,
    names: Sequence[str],
    at_right: np.ndarray,
    colours: Sequence[Any],
    markup: bool,
    fontsize: Any,
) -> None:
    """Each line's name right of the axes at its end's height, nudged apart; a name moved
    from its line's end is joined to it by a leader."""
    from ._plot_geometry import spread
    from ._plot_labels import LEADER, renderer_of, text_extent
    from ._plot_text import shown

    figure = ax.figure
    renderer = renderer_of(figure)
    ax.apply_aspect()
    gap = GAP_POINTS * figure.dpi / 72.0
    x_end = ax.get_xlim()[1]
    ends = ax.transData.transform(np.column_stack((np.full(len(names), x_end), at_right)))[:, 1]
    order = sorted(range(len(names)), key=lambda i: (-ends[i], i))
    heights = []
    for i in order:
        probe = ax.text(0, 0, shown(names[i], markup), fontsize=fontsize, parse_math=markup)
        heights.append(text_extent(probe, renderer).height)
        probe.remove()
    centres = spread([float(ends[i]) for i in order], heights, gap / 4)
    moved = np.abs(centres - ends[order]) > 0.5
    left = ax.bbox.x1 + (4 * gap if moved.any() else gap)
    to_axes = ax.transAxes.inverted()
    for i, centre, leader in zip(order, centres, moved):
        artist = ax.annotate(
            shown(names[i], markup), xy=(x_end, at_right[i]), xycoords="data",
            xytext=tuple(to_axes.transform((left, centre))), textcoords="axes fraction",
            ha="left", va="center", fontsize=fontsize, parse_math=markup,
            annotation_clip=False, color=colours[i],
            arrowprops=dict(LEADER, relpos=(0.0, 0.5)) if leader else None,
        )  # fmt: skip
        artist.set_gid(f"phasemap-label-{i + 1}")
