"""The colour map of every result as SVG text, drawn by the program's own SVG writer (the one
that ``phasemap --svg`` runs): `Result.to_svg` gives its file for the run, and the exact
engine's results (`Envelope`, `StudyResult`) give the same page filled with their own regions,
any number of them, from their arrays.

The page (window, axis titles, shift, pressure scales, guide and equilibrium lines, labels)
is what the program's reader makes of an input text: a diagram's own, or, for a result that
knows no diagram, one that holds only its window and titles.
"""

from __future__ import annotations

from typing import Any, Sequence

from . import _core
from ._errors import call

# What stands before each axis title, as the extension numbers it.
SYMBOLS = {"mu": 0, "delta_mu": 1, "none": 2}


def page_input(window: Sequence[float], titles: Sequence[str]) -> bytes:
    """The input text of a page with only `window` and the axis `titles`. The reader reads it
    with a bulk and one surface of no account, which the page does not show (the regions
    are given apart), so that it warns of no missing surface."""
    from ._diagram import Diagram
    from ._entries import Bulk, Surface

    diagram = Diagram(
        bulk=Bulk((1, 0), 0.0, 1),
        surfaces=[Surface("page", (1, 0, 0), 1.0, 0.0)],
        window=tuple(float(v) for v in window),
        x_title=titles[0],
        y_title=titles[1],
    )
    return diagram.to_input().encode("utf-8", "surrogateescape")


def regions_svg(text: bytes, raw: tuple, names: Sequence[str], symbol: str) -> str:
    """The SVG map of the page `text` lays out with `symbol` ("mu", "delta_mu" or "none")
    before each title, filled with the regions of an engine's result `raw` (window, surfaces,
    offsets, corners, ...) named by `names`, coloured by the maps' rule."""
    surfaces, offsets, corners = raw[1], raw[2], raw[3]
    encoded = [name.encode("utf-8", "surrogateescape") for name in names]
    svg: Any = call(
        _core.svg_map_of_regions, text, surfaces, offsets, corners, encoded, SYMBOLS[symbol]
    )
    return svg.decode("utf-8")
