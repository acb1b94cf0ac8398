"""Where the elements of a colour map (an SVG map of phasemap) lie, measured without drawing it:
each polygon and line with its stroke, and each text by the glyphs of
the font a renderer takes for it (fontconfig's match for the map's "Times", else for "serif"),
its advances and ink boxes laid out as SVG lays out a <text> with its <tspan>s. The checks of
the program's SVG maps (tests/extra_outputs_test.py) and of the module's (python/tests) use it
to show that a map's view holds everything it draws.
"""

from __future__ import annotations

import functools
import math
import re
import shutil
import subprocess
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
PAGE = (0.0, 0.0, 612.0, 792.0)  # the Letter page, the most a map shows


@functools.lru_cache(maxsize=None)
def fonts():
    """The fonts a renderer takes for the map's texts, in the order it tries them: (cmap,
    glyph set, advances, units per em) of each; None without fontconfig or fontTools."""
    try:
        from fontTools.ttLib import TTFont
    except ImportError:
        return None
    if shutil.which("fc-match") is None:
        return None
    found = []
    for family in ("Times", "serif"):
        path = subprocess.run(
            ["fc-match", "-f", "%{file}", family], capture_output=True, text=True
        ).stdout
        if path:
            font = TTFont(path)
            found.append(
                (font.getBestCmap(), font.getGlyphSet(), font["hmtx"], font["head"].unitsPerEm)
            )
    return found or None


@functools.lru_cache(maxsize=None)
def glyph(character):
    """(advance, ink box or None) of a character in ems, from the first font that has it."""
    from fontTools.pens.boundsPen import BoundsPen

    chosen = next((f for f in fonts() if ord(character) in f[0]), fonts()[0])
    cmap, glyphs, metrics, units = chosen
    name = cmap.get(ord(character), ".notdef")
    pen = BoundsPen(glyphs)
    glyphs[name].draw(pen)
    box = None if pen.bounds is None else tuple(v / units for v in pen.bounds)
    return metrics[name][0] / units, box


def _transform(text):
    """The affine map (a, b, c, d, e, f) of an SVG transform attribute."""
    total = (1.0, 0.0, 0.0, 1.0, 0.0, 0.0)
    for name, arguments in re.findall(r"(\w+)\s*\(([^)]*)\)", text or ""):
        values = [float(v) for v in re.split(r"[\s,]+", arguments.strip())]
        if name == "translate":
            step = (1.0, 0.0, 0.0, 1.0, values[0], values[1] if len(values) > 1 else 0.0)
        elif name == "matrix":
            step = tuple(values)
        else:
            raise ValueError(f"transform {name} is not measured")
        total = _compose(total, step)
    return total


def _compose(m, n):
    a, b, c, d, e, f = m
    p, q, r, s, t, u = n
    return (a * p + c * q, b * p + d * q, a * r + c * s, b * r + d * s, a * t + c * u + e,
            b * t + d * u + f)  # fmt: skip


def _apply(m, x, y):
    return m[0] * x + m[2] * y + m[4], m[1] * x + m[3] * y + m[5]


def _numbers(text):
    return [float(v) for v in re.split(r"[\s,]+", text.strip()) if v]


def _polygon(points, half):
    """Boxes of a closed polygon's stroked corners, half the stroke's width around each: where
    the miter join of a right angle ends (the frame's corners; the regions' corners lie within
    the frame)."""
    return [(x - half, y - half, x + half, y + half) for x, y in points]


def _runs(element, size, y):
    """(text, font size, baseline y, dx) of each run of a <text>, in order."""
    runs = [(element.text or "", size, y, 0.0)]
    for child in element:
        child_size = float(child.get("font-size", size))
        child_y = float(child.get("y", y))
        runs.append((child.text or "", child_size, child_y, float(child.get("dx", 0.0))))
        runs.append((child.tail or "", size, y, 0.0))
    return runs


def _text(element):
    """The ink box of a <text> in its own coordinates, or None when it shows nothing."""
    x, y, size = (float(element.get(k)) for k in ("x", "y", "font-size"))
    pen, ink = x, []
    for characters, run_size, baseline, dx in _runs(element, size, y):
        pen += dx
        for character in characters:
            advance, box = glyph(character)
            if box is not None:
                x0, y0, x1, y1 = box
                ink.append((pen + x0 * run_size, baseline - y1 * run_size,
                            pen + x1 * run_size, baseline - y0 * run_size))  # fmt: skip
            pen += advance * run_size
    if not ink:
        return None
    shift = -(pen - x) if element.get("text-anchor") == "end" else 0.0
    return (min(b[0] for b in ink) + shift, min(b[1] for b in ink),
            max(b[2] for b in ink) + shift, max(b[3] for b in ink))  # fmt: skip


def element_boxes(root):
    """(element, box in the map's view coordinates) of everything the map draws."""
    found = []

    def walk(element, matrix, stroke_width):
        matrix = _compose(matrix, _transform(element.get("transform")))
        stroke_width = float(element.get("stroke-width", stroke_width))
        tag = element.tag.replace(SVG, "")
        boxes = []
        if tag == "polygon":
            values = _numbers(element.get("points"))
            boxes = _polygon(list(zip(values[::2], values[1::2])), stroke_width / 2)
        elif tag == "line":
            half = stroke_width / 2
            for end in ("1", "2"):
                x, y = float(element.get("x" + end)), float(element.get("y" + end))
                boxes.append((x - half, y - half, x + half, y + half))
        elif tag == "text":
            box = _text(element)
            boxes = [] if box is None else [box]
        for x0, y0, x1, y1 in boxes:
            corners = [_apply(matrix, x, y) for x in (x0, x1) for y in (y0, y1)]
            xs, ys = [c[0] for c in corners], [c[1] for c in corners]
            found.append((element, (min(xs), min(ys), max(xs), max(ys))))
        if tag != "text":
            for child in element:
                walk(child, matrix, stroke_width)

    walk(root, (1.0, 0.0, 0.0, 1.0, 0.0, 0.0), 1.0)
    return found


def view_of(root):
    """The map's view (x0, y0, x1, y1), checked against its size in points and background."""
    x, y, width, height = _numbers(root.get("viewBox"))
    assert root.get("width") == f"{width:g}pt" and root.get("height") == f"{height:g}pt"
    (background,) = [r for r in root.iter(SVG + "rect") if r.get("class") == "background"]
    assert [float(background.get(k)) for k in ("x", "y", "width", "height")] == [
        x, y, width, height]  # fmt: skip
    return x, y, x + width, y + height


def outside_view(svg):
    """What a map draws beyond its view, as (element tag, box), and the least room left
    inside the view on each side of the drawing (left, top, right, bottom, in points). What
    lies beyond the Letter page is beyond every map and is left out."""
    root = ElementTree.fromstring(svg)
    view = view_of(root)
    beyond, rooms = [], [math.inf] * 4
    for element, box in element_boxes(root):
        shown = (max(box[0], PAGE[0]), max(box[1], PAGE[1]), min(box[2], PAGE[2]),
                 min(box[3], PAGE[3]))  # fmt: skip
        if shown[0] > shown[2] or shown[1] > shown[3]:
            continue
        gaps = (shown[0] - view[0], shown[1] - view[1], view[2] - shown[2], view[3] - shown[3])
        rooms = [min(room, gap) for room, gap in zip(rooms, gaps)]
        if min(gaps) < 0:
            beyond.append((element.tag.replace(SVG, ""), shown))
    return beyond, rooms
