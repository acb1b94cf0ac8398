"""Labels placed, not piled. Each region's label goes inside its region where the text, as
the renderer measures it, fits with a margin: at the centre of the largest box of the text's
proportions that the region holds (exact: the region is convex, so this is a linear
programme in the box's centre and scale), across the region, in two lines, or along it. A
label that fits nowhere inside stands right of the frame and of everything drawn there,
with a thin leader line that ends inside its region; labels there are spread apart
vertically so that none overlaps another, and a label inside that a leader would cross moves
to a part of its region the leader leaves free. When the names left over are too many to
stand beside the frame, their regions show numbers and a legend gives the names.

Placement works in display pixels, where the text's extent and the regions' shapes meet,
with the axes' size and aspect at the time of the plot (a figure's layout engine runs first).
"""

from __future__ import annotations

import dataclasses
import itertools
from typing import TYPE_CHECKING, Any, Mapping, Sequence

import numpy as np

from ._plot_colours import text_colour
from ._plot_geometry import (
    cut_by_segments,
    outside_box,
    horizontal_chord,
    largest_box,
    runs_along,
    segment_crosses_box,
    segments_cross,
    split_by_line,
    spread,
)
from ._plot_text import shown, two_lines

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.text import Text

    from ._result import Region

MARGIN_POINTS = 1.5  # between a label and its region's sides
GAP_POINTS = 6.0  # between the things beside the frame, and between stacked labels there
LEADER = {"arrowstyle": "-", "lw": 0.6, "color": "0.25", "shrinkA": 1.0, "shrinkB": 0.0}


@dataclasses.dataclass
class Label:
    """A region's label as placed: "inside" its region, or "outside" the frame with a
    leader from `start` to `anchor` (display points); `in_legend` when its region's name is
    in the legend."""

    surface: int
    text: str
    where: str
    artist: Text
    anchor: tuple[float, float] | None = None
    start: tuple[float, float] | None = None
    in_legend: bool = False


def renderer_of(figure: Any) -> Any:
    canvas = figure.canvas
    if hasattr(canvas, "get_renderer"):
        return canvas.get_renderer()
    return figure._get_renderer()  # a canvas without its own, such as a vector backend's


def text_extent(artist: Text, renderer: Any) -> Any:
    """The display box of a text's own glyphs (an annotation's without its leader)."""
    from matplotlib.text import Text

    return Text.get_window_extent(artist, renderer)


def right_of_decorations(ax: Axes, renderer: Any) -> float:
    """The display x right of everything the axes draw, the frame included, and a gap."""
    box = ax.get_tightbbox(renderer)
    right = ax.bbox.x1 if box is None else max(ax.bbox.x1, box.x1)
    return right + GAP_POINTS * ax.figure.dpi / 72.0


class _Placer:
    """The state of one placement: the axes, the renderer, each region's shapes in display
    points (the preferred part first) and the labels placed."""

    def __init__(
        self,
        ax: Axes,
        regions: Sequence[Region],
        faces: Sequence[Any],
        markup: bool,
        fontsize: Any,
        preferred: Sequence[np.ndarray | None] | None,
        lines: Sequence[Any],
    ) -> None:
        self.ax, self.regions, self.faces = ax, regions, faces
        self.markup, self.fontsize = markup, fontsize
        self.renderer = renderer_of(ax.figure)
        ax.apply_aspect()
        self.to_data = ax.transData.inverted()
        self.margin = MARGIN_POINTS * ax.figure.dpi / 72.0
        self.gap = GAP_POINTS * ax.figure.dpi / 72.0
        # Where each label may go, in turn: the parts of the preferred part of its region (a
        # study's: where the bulk is stable) that the lines leave, largest first, that part
        # whole, the parts of the whole region, the whole region.
        segments = [ax.transData.transform(np.array(line, dtype=float)) for line in lines]
        self.shapes = []
        for k, region in enumerate(regions):
            whole = ax.transData.transform(np.asarray(region.corners, dtype=float))
            part = None if preferred is None else preferred[k]
            wholes = [whole]
            if part is not None and len(part) >= 3:
                wholes.insert(0, ax.transData.transform(part))
            shapes = []
            for shape in wholes:
                shapes += cut_by_segments(shape, segments) + [shape]
            self.shapes.append(shapes)
        # Every region's sides (display points), which leaders keep off.
        self.sides = np.array(
            [
                (p, q)
                for region in regions
                for corners in [ax.transData.transform(np.asarray(region.corners, dtype=float))]
                for p, q in zip(corners, np.roll(corners, -1, axis=0))
            ]
        ).reshape(-1, 2, 2)
        self.placed: list[Label] = []

    def text_at(self, k: int, text: str) -> Text:
        artist = self.ax.text(
            0.0, 0.0, shown(text, self.markup), ha="center", va="center", ma="center",
            fontsize=self.fontsize, color=text_colour(self.faces[k]), parse_math=self.markup,
            zorder=4,
        )  # fmt: skip
        artist.set_gid(f"phasemap-label-{self.regions[k].surface}")
        return artist

    def fit(self, artist: Text, text: str, turn: bool, polygons: Sequence[np.ndarray]) -> bool:
        """Sets `artist` where it fits in the first of `polygons` that holds it: across, in
        two lines, or (`turn`) along; False when none holds it."""
        variants = [(shown(text, self.markup), 0)]
        wrapped = two_lines(text, self.markup)
        if turn and wrapped is not None:
            variants.append((wrapped, 0))
        if turn:
            variants += [(v, 90) for v, _ in variants]
        for polygon in polygons:
            for variant, rotation in variants:
                artist.set_text(variant)
                box = text_extent(artist, self.renderer)
                w, h = (box.width, box.height) if rotation == 0 else (box.height, box.width)
                scale, centre = largest_box(polygon, w + 2 * self.margin, h + 2 * self.margin)
                if scale >= 1.0:
                    artist.set_position(self.to_data.transform(centre))
                    artist.set_rotation(rotation)
                    return True
        return False

    def inside(self, k: int, text: str, turn: bool) -> bool:
        """Places region k's label inside it, clear of the labels inside placed before
        (regions overlap only where the program reports two over one place)."""
        artist = self.text_at(k, text)
        shapes = self.shapes[k]
        for _ in range(len(self.placed) + 1):
            if not self.fit(artist, text, turn, shapes):
                break
            box = text_extent(artist, self.renderer)
            hit = next(
                (
                    lb
                    for lb in self.placed
                    if lb.where == "inside" and _meet(lb, box, self.renderer)
                ),
                None,
            )
            if hit is None:
                self.placed.append(Label(self.regions[k].surface, text, "inside", artist))
                return True
            shapes = [
                part
                for shape in shapes
                for part in outside_box(shape, text_extent(hit.artist, self.renderer))
            ]
        artist.remove()
        return False

    def anchor(self, k: int) -> np.ndarray:
        """Where the leader of region k ends: the point farthest inside it (its preferred
        part's, if any), or, when the way from there to the frame's right edge passes near a
        label inside or runs along a region's side (where the leader would read as that
        side), the middle of the region's chord at the nearest height whose way does
        neither, else the nearest whose way passes near no label."""
        polygon = self.shapes[k][0]
        scale, pole = largest_box(polygon, 1.0, 1.0)
        if scale <= 0 and len(self.shapes[k]) > 1:
            polygon = self.shapes[k][1]
            pole = largest_box(polygon, 1.0, 1.0)[1]
        boxes = [
            text_extent(lb.artist, self.renderer) for lb in self.placed if lb.where == "inside"
        ]
        right = self.ax.bbox.x1

        # A leader keeps a gap from a label (nearer, it reads as underlining it) and, over
        # any length, twice the margin from a region's side.
        m, n = self.gap, 2 * self.margin

        def clear(point: np.ndarray) -> bool:
            end = np.array([right, point[1]])
            return not any(
                segment_crosses_box(point, end, (b.x0 - m, b.y0 - m, b.x1 + m, b.y1 + m))
                for b in boxes
            )

        def apart(point: np.ndarray) -> bool:
            return clear(point) and not runs_along(self.sides, point, right, n, 4 * n)

        low, high = polygon[:, 1].min() + self.margin, polygon[:, 1].max() - self.margin
        heights = sorted(np.linspace(low, high, 25), key=lambda y: (abs(y - pole[1]), y))
        for test in (apart, clear):
            if test(pole):
                return pole
            for y in heights:
                chord = horizontal_chord(polygon, y)
                if chord is not None and test(np.array([(chord[0] + chord[1]) / 2, y])):
                    return np.array([(chord[0] + chord[1]) / 2, y])
        return pole

    def height(self, text: str) -> float:
        probe = self.ax.text(
            0, 0, shown(text, self.markup), fontsize=self.fontsize, parse_math=self.markup
        )
        height = text_extent(probe, self.renderer).height
        probe.remove()
        return height

    def pressure_axes(self) -> list[Any]:
        """The pressure axes on the right that the plot drew."""
        return [
            child
            for child in self.ax.child_axes
            if str(child.get_gid()).startswith("phasemap-pressure-right")
        ]

    def outside(self, items: Sequence[tuple[int, str]]) -> float:
        """Stands the labels `items` (region, text) right of the frame (and of what the axes
        draw there, but for the plot's own pressure axes, which move out beyond them),
        spread apart, each with a leader into its region, no two leaders crossing where
        swapping places avoids it; returns the display x right of everything."""
        ax = self.ax
        pressure = self.pressure_axes()
        for child in pressure:
            child.set_visible(False)
        left = right_of_decorations(ax, self.renderer)
        for child in pressure:
            child.set_visible(True)
            child.spines["right"].set_position(("outward", child.phasemap_offset))
        if not items:
            return right_of_decorations(ax, self.renderer)
        anchors = [self.anchor(k) for k, _ in items]
        order = sorted(range(len(items)), key=lambda i: (-anchors[i][1], i))
        artists, heights, widths = {}, {}, {}
        for i, (k, text) in enumerate(items):
            artist = ax.annotate(
                shown(text, self.markup), xy=self.to_data.transform(anchors[i]),
                xycoords="data", xytext=(0.0, 0.0), textcoords="axes fraction", ha="left",
                va="center", fontsize=self.fontsize, parse_math=self.markup,
                annotation_clip=False, zorder=4, arrowprops=dict(LEADER, relpos=(0.0, 0.5)),
            )  # fmt: skip
            artist.set_gid(f"phasemap-label-{self.regions[k].surface}")
            box = text_extent(artist, self.renderer)
            artists[i], widths[i], heights[i] = artist, box.width, box.height
        for _ in range(len(items) ** 2 + 1):
            centres = self._column(order, anchors, heights)
            starts = {i: np.array([left, c]) for i, c in zip(order, centres)}
            crossing = next(
                (
                    (a, b)
                    for a, b in itertools.combinations(range(len(order)), 2)
                    if segments_cross(
                        starts[order[a]], anchors[order[a]], starts[order[b]], anchors[order[b]]
                    )
                ),
                None,
            )
            if crossing is None:
                break
            a, b = crossing
            order[a], order[b] = order[b], order[a]
        to_axes = ax.transAxes.inverted()
        for i, centre in zip(order, centres):
            k, text = items[i]
            artists[i].xyann = tuple(to_axes.transform((left, centre)))
            anchor = (float(anchors[i][0]), float(anchors[i][1]))
            self.placed.append(
                Label(self.regions[k].surface, text, "outside", artists[i], anchor, (left, centre))
            )
        column = max(widths.values()) + self.gap
        for child in pressure:
            extra = (left + column - ax.bbox.x1) * 72.0 / ax.figure.dpi
            child.spines["right"].set_position(("outward", child.phasemap_offset + extra))
        return right_of_decorations(ax, self.renderer)

    def _column(
        self, order: Sequence[int], anchors: Sequence[np.ndarray], heights: Mapping[int, float]
    ) -> np.ndarray:
        """The heights of the labels in `order`, top to bottom: each as near to its anchor
        as the others let it, within the frame's height where they fit."""
        h = [heights[i] for i in order]
        centres = spread([float(anchors[i][1]) for i in order], h, self.gap)
        top, bottom = centres[0] + h[0] / 2, centres[-1] - h[-1] / 2
        if top - bottom <= self.ax.bbox.height:
            centres += max(0.0, self.ax.bbox.y0 - bottom) - max(0.0, top - self.ax.bbox.y1)
        return centres

    def clear_of_leaders(self) -> list[Label]:
        """Moves each label inside that a leader crosses to a part of its region on one side
        of the leaders' lines, where it fits (else it stays); returns the labels outside
        whose leaders still cross a label inside."""
        outside = [label for label in self.placed if label.start is not None]
        by_surface = {r.surface: k for k, r in enumerate(self.regions)}
        crossers: list[Label] = []
        for label in self.placed:
            if label.where != "inside":
                continue
            crossing = [lb for lb in outside if self._crosses(lb, label)]
            if not crossing:
                continue
            pieces = list(self.shapes[by_surface[label.surface]])
            for leader in crossing:
                p, q = np.array(leader.start), np.array(leader.anchor)
                pieces = [part for piece in pieces for part in split_by_line(piece, p, q)]
            artist = label.artist
            kept = artist.get_position(), artist.get_rotation(), artist.get_text()
            if not self.fit(artist, label.text, label.text != str(label.surface), pieces):
                artist.set_position(kept[0])
                artist.set_rotation(kept[1])
                artist.set_text(kept[2])
                crossers += [lb for lb in crossing if lb not in crossers]
        return crossers

    def _crosses(self, leader: Label, label: Label) -> bool:
        box = text_extent(label.artist, self.renderer)
        m = self.margin
        bounds = (box.x0 - m, box.y0 - m, box.x1 + m, box.y1 + m)
        return segment_crosses_box(np.array(leader.start), np.array(leader.anchor), bounds)

    def drop_outside(self) -> None:
        for label in [lb for lb in self.placed if lb.where == "outside"]:
            label.artist.remove()
            self.placed.remove(label)


def _meet(label: Label, box: Any, renderer: Any) -> bool:
    other = text_extent(label.artist, renderer)
    return min(box.x1, other.x1) > max(box.x0, other.x0) and min(box.y1, other.y1) > max(
        box.y0, other.y0
    )


def place_labels(
    ax: Axes,
    regions: Sequence[Region],
    faces: Sequence[Any],
    texts: Sequence[str | None],
    mode: str,
    markup: bool,
    fontsize: Any,
    edgecolor: Any,
    preferred: Sequence[np.ndarray | None] | None = None,
    lines: Sequence[Any] = (),
) -> list[Label]:
    """Places the labels `texts` of `regions` on `ax` (None: no label) in `mode` (see
    `Result.plot`) and returns them; a label goes into the `preferred` part of its region
    (data corners) where it fits, and off the `lines` ((x, y) ends, data) where it can."""
    placer = _Placer(ax, regions, faces, markup, fontsize, preferred, lines)
    left_over = [
        (k, text)
        for k, text in enumerate(texts)
        if text is not None and not placer.inside(k, text, turn=mode == "names")
    ]
    legend: list[tuple[int, str]] = []
    if mode == "legend":
        legend = [(k, regions[k].name) for k, t in enumerate(texts) if t is not None]
    heights = [placer.height(text) for _, text in left_over] if mode == "names" else []
    crowded = sum(heights) + placer.gap * (len(heights) - 1) > ax.bbox.height
    if heights and (crowded or placer.pressure_axes()):
        # Names too many to stand beside the frame, or that would push the pressure axes
        # far out: numbers (turned, in a strip too narrow for them across), and the names in
        # a legend.
        legend, numbered, left_over = list(left_over), left_over, []
        for k, _ in numbered:
            number = str(regions[k].surface)
            if not placer.inside(k, number, turn=True):
                left_over.append((k, number))
    # A name beside the frame whose leader crosses a label inside, which cannot move
    # aside, is numbered in its region instead where the number fits, and named in the
    # legend.
    for _ in range(len(left_over) + 1):
        column_right = placer.outside(left_over)
        numbered = []
        for label in placer.clear_of_leaders():
            k = next(i for i, r in enumerate(regions) if r.surface == label.surface)
            if label.text != str(label.surface) and placer.inside(k, str(label.surface), False):
                numbered.append((k, label.text))
        if not numbered:
            break
        legend += numbered
        left_over = [item for item in left_over if item[0] not in {k for k, _ in numbered}]
        placer.drop_outside()
    if legend:
        in_legend = {regions[k].surface for k, _ in legend}
        for label in placer.placed:
            label.in_legend = label.surface in in_legend
        _legend(ax, regions, faces, legend, markup, column_right, edgecolor)
    return placer.placed


def _legend(
    ax: Axes,
    regions: Sequence[Region],
    faces: Sequence[Any],
    entries: Sequence[tuple[int, str]],
    markup: bool,
    left: float,
    edgecolor: Any,
) -> None:
    """A legend of (region, text) `entries`, by number, colour and text, from display x
    `left`, its top at the frame's."""
    from matplotlib.patches import Patch

    handles = [Patch(facecolor=faces[k], edgecolor=edgecolor, linewidth=0.5) for k, _ in entries]
    texts = [f"{regions[k].surface}: {shown(text, markup)}" for k, text in entries]
    x = ax.transAxes.inverted().transform((left, ax.bbox.y1))[0]
    legend = ax.legend(
        handles, texts, loc="upper left", bbox_to_anchor=(x, 1.0), borderaxespad=0.0,
        frameon=False, handlelength=1.2, handleheight=1.2, fontsize="small",
    )  # fmt: skip
    height = legend.get_window_extent(renderer_of(ax.figure)).height
    if height > ax.bbox.height:  # in columns as high as the frame
        legend.remove()
        legend = ax.legend(
            handles, texts, loc="upper left", bbox_to_anchor=(x, 1.0), borderaxespad=0.0,
            frameon=False, handlelength=1.2, handleheight=1.2, fontsize="small",
            ncols=int(np.ceil(height / ax.bbox.height)),
        )  # fmt: skip
    for (k, _), text in zip(entries, legend.get_texts()):
        text.set_parse_math(markup)
        text.set_gid(f"phasemap-legend-{regions[k].surface}")
