"""The regions' colours: which regions are neighbours (they share a side), the maps' one rule
that keeps neighbours apart (the program's, through the extension: the SVG map and the plots
colour alike), and the colours a user gives, which are taken as they are.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Mapping, Sequence

import numpy as np

from . import _core

if TYPE_CHECKING:
    from ._result import Region

#: The SVG map's colour-blind-safe light qualitative palette, by surface index (1 takes the
#: first), cycled; as matplotlib writes colours, in lower case.
PALETTE: tuple[str, ...] = tuple(colour.lower() for colour in _core.region_palette)

#: The least CIEDE2000 difference between the colours of two regions that share a side.
NEIGHBOUR_DIFFERENCE: float = _core.neighbour_colour_difference


def neighbour_pairs(
    regions: Sequence[Region],
) -> tuple[list[tuple[int, int]], list[tuple[int, int]]]:
    """The pairs (i, j), i < j, of places in `regions` whose regions share a side, and those
    that meet at one corner only, in ascending order, as the SVG map finds them. Corners are
    shared when exactly equal (both engines give a corner of several regions the same value
    in each); regions are convex, so two that share two distinct corners share the side
    between them.

    Examples
    --------
    >>> e = phasemap.envelope([(1, 0, 0), (-1, 0, 0), (0, 1, 0.5)], (-1, 1, -1, 1))
    >>> neighbour_pairs(e.regions)
    ([(0, 1), (0, 2), (1, 2)], [])
    """
    corners = [np.asarray(r.corners, dtype=float).reshape(-1, 2) for r in regions]
    offsets = np.zeros(len(corners) + 1, dtype=np.int64)
    np.cumsum([len(c) for c in corners], out=offsets[1:])
    stacked = np.concatenate(corners) if corners else np.empty((0, 2))
    sides, touching = _core.neighbour_pairs(offsets, stacked)  # the maps' own rule
    return [(i, j) for i, j in sides.tolist()], [(i, j) for i, j in touching.tolist()]


def palette_indices(regions: Sequence[Region]) -> list[int]:
    """The palette index of each region by the maps' one rule: its surface's colour, cycled,
    unless a neighbour's looks alike (CIEDE2000 below `NEIGHBOUR_DIFFERENCE`); then as few
    regions as the rule finds move to the colour farthest from their neighbours'."""
    if not regions:
        return []
    surfaces = np.array([r.surface for r in regions], dtype=np.int32)
    sides, corners = (np.array(p, dtype=np.int32).reshape(-1, 2) for p in neighbour_pairs(regions))
    return [int(c) for c in _core.region_colours(surfaces, sides, corners)]


def face_colours(
    regions: Sequence[Region], surface_count: int, colors: Mapping[Any, Any] | str | None
) -> list[Any]:
    """Each region's fill: the user's colour by name or surface index, or from the named
    colormap spread over the surfaces, taken as given; otherwise the palette colour the
    maps' rule gives it."""
    if isinstance(colors, str):
        import matplotlib

        try:
            colormap = matplotlib.colormaps[colors]
        except KeyError:
            raise ValueError(f"colors={colors!r} names no matplotlib colormap") from None
        count = max(1, surface_count - 1)
        return [colormap((r.surface - 1) / count) for r in regions]
    if colors is not None and not isinstance(colors, Mapping):
        raise TypeError(
            f"colors is a dict of names or surface indices to colours, or a colormap's name, "
            f"not {type(colors).__name__}"
        )
    palette = palette_indices(regions)
    out = []
    for region, index in zip(regions, palette):
        if colors is not None and region.name in colors:
            out.append(colors[region.name])
        elif colors is not None and region.surface in colors:
            out.append(colors[region.surface])
        else:
            out.append(PALETTE[index])
    return out


def colour_difference(first: Any, second: Any) -> float:
    """The CIEDE2000 difference of two matplotlib colours (their opaque sRGB), the maps' own
    measure of `NEIGHBOUR_DIFFERENCE`.

    Examples
    --------
    >>> round(colour_difference("#77aadd", "#99ddff"), 1)
    14.2
    """
    from matplotlib.colors import to_hex

    return float(_core.colour_difference(to_hex(first), to_hex(second)))


def text_colour(face: Any) -> str:
    """Black on a light fill, white on a dark one."""
    from matplotlib.colors import to_rgb

    r, g, b = (c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4 for c in to_rgb(face))
    return "black" if 0.2126 * r + 0.7152 * g + 0.0722 * b > 0.18 else "white"
