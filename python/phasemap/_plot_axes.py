"""The axes of the field: titles as the map says them, ticks numbered as the map numbers
them (tick k at data k + shift), pressure axes at one or two temperatures (secondary axes
with ticks at powers of ten and the gas named), the diagram's guide and equilibrium lines
with the map's dash patterns, and the part of a study's window where the bulk is not stable,
shaded.
"""

from __future__ import annotations

import dataclasses
from typing import TYPE_CHECKING, Any, Callable, Sequence

import numpy as np

from . import _core
from ._plot_text import gas_of_title, pressure_title

if TYPE_CHECKING:
    from matplotlib.axes import Axes

    from ._diagram import Diagram
    from ._entries import PressureScale
    from ._study_pressure import PressureAxis
    from ._study_region import StabilityRegion

# The dash patterns of the guide and equilibrium lines: dash and gap lengths in points, the
# program's table (a line takes the pattern of its place in its own table, from the fifth
# on the last; lines in boxes are solid).
DASHES: tuple[tuple[float, ...], ...] = tuple(
    tuple(float(v) for v in pattern.split()) for pattern in _core.dash_patterns
)
GUIDE_WIDTH = 1.0  # points
SECOND_SET_GREY = "0.5"  # the second set of pressure axes, grey as on the map


@dataclasses.dataclass
class PressureSet:
    """One temperature's pressure axes: for each of x and y, the (Δμ → log10 p, log10 p →
    Δμ) functions and the axis title, or None; the tick step in decades (0: matplotlib's)."""

    temperature: float
    x: tuple[Callable[[Any], Any], Callable[[Any], Any], str] | None
    y: tuple[Callable[[Any], Any], Callable[[Any], Any], str] | None
    x_step: float = 0.0
    y_step: float = 0.0


def _scale_functions(
    origin: float, temperature: float
) -> tuple[Callable[[Any], Any], Callable[[Any], Any]]:
    """The map's pressure scale: a tick for 10^e bar at origin + e·ln(10)·k_B·T."""
    decade = float(_core.ln_ten) * float(_core.boltzmann_ev) * float(temperature)
    return (lambda v: (np.asarray(v, dtype=float) - origin) / decade), (
        lambda e: origin + np.asarray(e, dtype=float) * decade
    )


def diagram_pressure_sets(
    scales: Sequence[PressureScale], titles: Sequence[str], temperatures: Sequence[float] | None
) -> list[PressureSet]:
    """The pressure axes of a diagram's scale sets (temp1, temp2): all that the map draws,
    or those at `temperatures`."""
    drawn = [s for s in scales if s.temperature > 0]
    if temperatures is None:
        chosen = drawn
    else:
        chosen = []
        for t in temperatures:
            match = [s for s in drawn if s.temperature == float(np.float32(t))]
            if not match:
                have = ", ".join(f"{s.temperature:g} K" for s in drawn) or "none"
                raise ValueError(
                    f"pressures: the diagram has no pressure scale at {t:g} K (its scales, "
                    f"temp1 and temp2: {have})"
                )
            chosen.append(match[0])
    out = []
    for s in chosen:
        axes: list[Any] = []
        for origin, step, title in (
            (s.x_origin, s.x_step, titles[0]),
            (s.y_origin, s.y_step, titles[1]),
        ):
            if step == 0:
                axes.append(None)
                continue
            forward, inverse = _scale_functions(origin, s.temperature)
            axes.append((forward, inverse, pressure_title(gas_of_title(title), s.temperature)))
        out.append(PressureSet(s.temperature, axes[0], axes[1], abs(s.x_step), abs(s.y_step)))
    return out


def study_pressure_sets(
    pressure_axis: Callable[[str, float], PressureAxis], temperatures: Sequence[float]
) -> list[PressureSet]:
    """The pressure axes of a study's gases at `temperatures`; an axis whose species is no
    gas of the tables gets none."""
    from ._plot_text import formula_math

    out = []
    for t in temperatures:
        axes: list[Any] = []
        for axis in ("x", "y"):
            try:
                pressure = pressure_axis(axis, t)
            except ValueError:
                axes.append(None)
                continue
            gas = "$" + formula_math(pressure.gas) + "$"
            axes.append((*pressure.functions, pressure_title(gas, float(t))))
        if axes == [None, None]:
            pressure_axis("x", t)  # raises the reason
        out.append(PressureSet(float(t), axes[0], axes[1]))
    return out


def draw_pressure_axes(ax: Axes, sets: Sequence[PressureSet], fontsize: Any) -> None:
    """Secondary axes on top (x) and right (y) for each set, the second set outside the
    first and grey, ticks at powers of ten."""
    from matplotlib import ticker

    from ._plot_labels import renderer_of

    offsets = {"top": 0.0, "right": 0.0}
    for k, pressure in enumerate(sets):
        colour = "black" if k == 0 else SECOND_SET_GREY
        for side, axis, step in (
            ("top", pressure.x, pressure.x_step),
            ("right", pressure.y, pressure.y_step),
        ):
            if axis is None:
                continue
            forward, inverse, title = axis
            if side == "top":
                secondary = ax.secondary_xaxis("top", functions=(forward, inverse))
                along = secondary.xaxis
                secondary.set_xlabel(title, color=colour, fontsize=fontsize)
            else:
                secondary = ax.secondary_yaxis("right", functions=(forward, inverse))
                along = secondary.yaxis
                secondary.set_ylabel(title, color=colour, fontsize=fontsize)
            secondary.set_gid(f"phasemap-pressure-{side}-{pressure.temperature:g}")
            secondary.spines[side].set_position(("outward", offsets[side]))
            secondary.phasemap_offset = offsets[side]  # labels beside the frame add to it
            secondary.spines[side].set_color(colour)
            secondary.tick_params(colors=colour, labelsize=fontsize)
            if step >= 1 and float(step).is_integer():
                along.set_major_locator(ticker.MultipleLocator(step))
            else:  # every 1, 2, 5, 10, 20, ... decades
                along.set_major_locator(ticker.MaxNLocator(integer=True, steps=[1, 2, 5, 10]))
            along.set_major_formatter(ticker.FuncFormatter(_power_of_ten))
            along.set_minor_locator(ticker.NullLocator())
            # The next set stands outside this one: its ticks, numbers and title.
            box = secondary.get_tightbbox(renderer_of(ax.figure))
            if box is not None:
                beyond = box.y1 - ax.bbox.y1 if side == "top" else box.x1 - ax.bbox.x1
                offsets[side] = beyond * 72.0 / ax.figure.dpi + 4.0


def _power_of_ten(value: float, _: Any) -> str:
    exponent = int(round(value))
    return f"$10^{{{exponent}}}$" if abs(value - exponent) < 1e-9 else ""


def shift_ticks(ax: Axes, shift: Sequence[float]) -> None:
    """Ticks numbered as the map numbers them: the tick numbered k stands at k + shift."""
    from matplotlib import ticker

    for axis, offset in zip((ax.xaxis, ax.yaxis), shift):
        if offset == 0:
            continue
        axis.set_major_locator(_shifted_locator(float(offset)))
        axis.set_major_formatter(ticker.FuncFormatter(shifted_number(float(offset))))


def shifted_number(offset: float) -> Callable[[float, Any], str]:
    def number(value: float, _: Any) -> str:
        from matplotlib import rcParams

        text = f"{round(value - offset, 9):g}"
        return text.replace("-", "\N{MINUS SIGN}") if rcParams["axes.unicode_minus"] else text

    return number


def _shifted_locator(offset: float) -> Any:
    from matplotlib import ticker

    class ShiftedLocator(ticker.MaxNLocator):
        """MaxNLocator's ticks for the numbers k, at k + offset."""

        def tick_values(self, vmin: float, vmax: float) -> Any:
            return np.asarray(super().tick_values(vmin - offset, vmax - offset)) + offset

    return ShiftedLocator(steps=[1, 2, 2.5, 5, 10])


def _cut_to_box(
    a: float, b: float, c: float, box: Sequence[float]
) -> tuple[tuple[float, float], tuple[float, float]] | None:
    """The part of the line a·x + b·y = c inside box (x_low, x_high, y_low, y_high)."""
    x0, x1, y0, y1 = box
    if a == 0 and b == 0:
        return None
    if b == 0:
        x = c / a
        return ((x, y0), (x, y1)) if x0 <= x <= x1 else None
    ends = []
    for x in (x0, x1):
        y = (c - a * x) / b
        if a != 0 and y < y0:
            y, x = y0, (c - b * y0) / a
        elif a != 0 and y > y1:
            y, x = y1, (c - b * y1) / a
        ends.append((x, y))
    (xa, ya), (xb, yb) = ends
    if not (y0 <= ya <= y1 and y0 <= yb <= y1) or xa > x1 or xb < x0 or xa > xb:
        return None
    return (xa, ya), (xb, yb)


def draw_guides(
    ax: Axes, diagram: Diagram, window: Sequence[float]
) -> list[tuple[tuple[float, float], tuple[float, float]]]:
    """The diagram's xbound, ybound and equi lines, each with the dash pattern of its place
    in its table, and its equ2 lines, solid in their boxes; a line outside draws nothing.
    Returns the ends of every line drawn (data)."""
    from matplotlib.lines import Line2D

    x_min, x_max, y_min, y_max = window
    drawn = []

    def line(xs: Sequence[float], ys: Sequence[float], place: int | None, kind: str) -> None:
        drawn.append(((xs[0], ys[0]), (xs[1], ys[1])))
        pattern = DASHES[min(place, len(DASHES) - 1)] if place is not None else ()
        artist = Line2D(xs, ys, color="black", lw=GUIDE_WIDTH, zorder=2.5)
        if pattern:
            artist.set_dashes([v / GUIDE_WIDTH for v in pattern])
        artist.set_gid(f"phasemap-{kind}")
        ax.add_line(artist)

    for i, x in enumerate(diagram.x_guides):
        if x_min <= x <= x_max:
            line((x, x), (y_min, y_max), i, "xbound")
    for i, y in enumerate(diagram.y_guides):
        if y_min <= y <= y_max:
            line((x_min, x_max), (y, y), i, "ybound")
    for i, equi in enumerate(diagram.lines):
        ends = _cut_to_box(equi.coef_x, equi.coef_y, equi.constant, window)
        if ends is not None:
            line((ends[0][0], ends[1][0]), (ends[0][1], ends[1][1]), i, "equi")
    for boxed in diagram.boxed_lines:
        box = (boxed.x_from, boxed.x_to, boxed.y_low, boxed.y_high)
        ends = _cut_to_box(boxed.coef_x, boxed.coef_y, boxed.constant, box)
        if ends is not None:
            line((ends[0][0], ends[1][0]), (ends[0][1], ends[1][1]), None, "equ2")
    return drawn


def shade_unstable(ax: Axes, region: StabilityRegion, window: Sequence[float]) -> None:
    """Washes out the window outside the bulk's stability region and draws the region's
    limits (not the window's sides) dashed."""
    from matplotlib.patches import PathPatch
    from matplotlib.path import Path

    x_min, x_max, y_min, y_max = window
    outer = [(x_min, y_min), (x_max, y_min), (x_max, y_max), (x_min, y_max), (x_min, y_min)]
    vertices, codes = list(outer), [Path.MOVETO] + [Path.LINETO] * 3 + [Path.CLOSEPOLY]
    corners = np.asarray(region.corners, dtype=float)
    if not region.empty and len(corners) >= 3:
        hole = corners[::-1].tolist()  # clockwise: a hole in the counter-clockwise outside
        vertices += hole + [hole[0]]
        codes += [Path.MOVETO] + [Path.LINETO] * (len(hole) - 1) + [Path.CLOSEPOLY]
    shade = PathPatch(
        Path(vertices, codes), facecolor="white", alpha=0.55, edgecolor="none", zorder=1.5
    )
    shade.set_gid("phasemap-bulk-unstable")
    ax.add_patch(shade)
    for k, side in enumerate(region.sides):
        a, b = corners[k], corners[(k + 1) % len(corners)]
        if side == "window" or _on_one_edge(a, b, window):
            continue
        ax.plot(
            (a[0], b[0]), (a[1], b[1]), color="black", lw=1.0, ls=(0, (5, 3)), zorder=2.6,
            gid=f"phasemap-bulk-limit-{side}",
        )  # fmt: skip


def _on_one_edge(a: np.ndarray, b: np.ndarray, window: Sequence[float]) -> bool:
    """Whether the side from a to b lies along one edge of the window (drawn by the frame)."""
    x_min, x_max, y_min, y_max = window
    return (a[0] == b[0] and a[0] in (x_min, x_max)) or (a[1] == b[1] and a[1] in (y_min, y_max))


def clip_convex(polygon: np.ndarray, region: StabilityRegion) -> np.ndarray:
    """The part of a convex polygon inside the bulk's stability region (its limits
    a·x + b·y <= c), in floats; empty (0, 2) when none."""
    from ._plot_geometry import clip_half_plane

    points = np.asarray(polygon, dtype=float).reshape(-1, 2)
    for _, a, b, c in region.limits:
        if len(points):
            points = clip_half_plane(points, a, b, c)
    return points


def limits_and_aspect(ax: Axes, window: Sequence[float], aspect: Any) -> None:
    x_min, x_max, y_min, y_max = window
    ax.set_xlim(x_min, x_max)
    ax.set_ylim(y_min, y_max)
    if aspect is not None:
        ax.set_aspect(aspect)
