"""The regions on matplotlib axes (`Result.plot`, `Envelope.plot`), and the map's label
markup as mathtext. matplotlib is imported only when a plot is drawn.

The colours and the levels of the markup are the program's own, from the extension: the SVG
map's region palette and the level of a stacked pair.
"""

from __future__ import annotations

import re
from typing import TYPE_CHECKING, Any, Mapping, Sequence

from . import _core

if TYPE_CHECKING:
    from matplotlib.axes import Axes

    from ._result import Region

__all__ = ["PALETTE"]

#: The SVG map's colour-blind-safe light qualitative palette, by surface index (1 takes the
#: first), cycled; as matplotlib writes colours, in lower case.
PALETTE: tuple[str, ...] = tuple(colour.lower() for colour in _core.region_palette)

# The level of the upper member of a stacked pair in the map's markup; the lower one has its
# negative.
STACKED: int = _core.stacked_level


def mathtext(text: str) -> str:
    """The map's ^{...} and _{...} markup as mathtext, split as the map splits it: each
    raised or lowered piece set as that many nested super- or subscripts, a stacked pair as
    one; text without markup stays as it is."""
    if not re.search(r"[\^_}]", text):
        return text.replace("$", r"\$")
    segments = [
        (raw.decode("utf-8", "surrogateescape"), level)
        for raw, level in _core.label_segments(text.encode("utf-8", "surrogateescape"))
    ]
    out = []
    for j, (piece, level) in enumerate(segments):
        if level == -STACKED and j > 0 and segments[j - 1][1] == STACKED:
            continue  # set with the upper member
        if level == 0:
            out.append(piece.replace("$", r"\$"))
        elif level == STACKED and j + 1 < len(segments) and segments[j + 1][1] == -STACKED:
            out.append(f"${{}}^{{{_roman(piece)}}}_{{{_roman(segments[j + 1][0])}}}$")
        elif piece:
            depth = 1 if abs(level) == STACKED else abs(level)
            mark = "^" if level > 0 else "_"
            out.append("$" + ("{}" + mark + "{") * depth + _roman(piece) + "}" * depth + "$")
    return "".join(out)


def _roman(text: str) -> str:
    return f"\\mathrm{{{_escaped(text)}}}" if text else "{}"


def _escaped(text: str) -> str:
    return re.sub(
        r"([\\{}$%#&~ ])", lambda m: "\\ " if m.group(1) == " " else "\\" + m.group(1), text
    )


def _palette_colour(region: Region) -> str:
    return PALETTE[(region.surface - 1) % len(PALETTE)]


def draw(
    regions: Sequence[Region],
    surface_count: int,
    window: Sequence[float],
    titles: Sequence[str],
    ax: Axes | None,
    colors: Mapping[Any, Any] | str | None,
    labels: bool,
    edgecolor: Any,
    **kwargs: Any,
) -> Axes:
    """Draws `regions` of a diagram of `surface_count` surfaces on `ax` over the window
    (x_min, x_max, y_min, y_max), with the axis titles `titles` (x, y) as mathtext; `colors`
    maps region names or surface indices to colours, or names a colormap spread over the
    surfaces."""
    try:
        import matplotlib
        import matplotlib.pyplot as plt
        from matplotlib.patches import Polygon
    except ImportError as missing:
        raise ImportError("plot needs matplotlib (Debian: python3-matplotlib)") from missing
    if ax is None:
        ax = plt.gca()
    count = max(1, surface_count - 1)
    for region in regions:
        if isinstance(colors, str):
            face = matplotlib.colormaps[colors]((region.surface - 1) / count)
        elif colors is not None and region.name in colors:
            face = colors[region.name]
        elif colors is not None and region.surface in colors:
            face = colors[region.surface]
        else:
            face = _palette_colour(region)
        ax.add_patch(
            Polygon(region.corners, closed=True, facecolor=face, edgecolor=edgecolor, **kwargs)
        )
        if labels:
            ax.text(*region.centroid, mathtext(region.name), ha="center", va="center")
    x_min, x_max, y_min, y_max = window
    ax.set_xlim(x_min, x_max)
    ax.set_ylim(y_min, y_max)
    ax.set_xlabel(mathtext(titles[0]))
    ax.set_ylabel(mathtext(titles[1]))
    return ax
