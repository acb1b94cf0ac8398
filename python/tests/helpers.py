"""What the module's tests share: the golden case of the worked example, the warnings of a
call, the example studies run up to a line, a study of Fe3O4(001), planes whose envelope is a
random Voronoi diagram, and what the plot tests check from the drawn figure alone (the
renderer's boxes, the artists' geometry) with a colour difference of their own: CIEDE2000 as
Sharma, Wu and Dalal give it, independent of the program's."""

from __future__ import annotations

import math
import warnings

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py

GOLDEN = golden_cases.GOLDEN
WORKED = GOLDEN / "reader-worked-example"  # the two-surface input of the guide
OUTPUTS = ["log.out", "map1.ps", "phase.out"]


def warnings_of(call, *args, **kwargs):
    """The value of call(*args, **kwargs) (or the InputError it raised) and the texts of the
    warnings it issued, each an InputWarning."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            value = call(*args, **kwargs)
        except phasemap.InputError as refused:
            value = refused
    assert all(w.category is phasemap.InputWarning for w in caught)
    return value, [str(w.message) for w in caught]


def run_study(name, until="result = study.solve(window)", **names):
    """The namespace of examples/<name>/study.py run up to the line `until` (None: to its end),
    with `names` defined beforehand."""
    path = golden_cases.EXAMPLES / name / "study.py"
    code = path.read_text(encoding="utf-8")
    namespace = {"__file__": str(path), "__name__": "example", **names}
    exec(compile(code.split(until)[0] if until else code, str(path), "exec"), namespace)
    return namespace


# Slabs of Fe3O4(001) (illustrative energies), a cell of 70.49 Å² each.
FE3O4_SLABS = {
    "SCV": ("Fe26O40", -519.034),
    "DBT": ("Fe28O40", -536.144),
    "SCV+H2O": ("Fe26O41H2", -533.5),
    "SCV+2H2O": ("Fe26O44H8", -579.313),
    "DBT+2H": ("Fe28O40H4", -551.747),
}


def fe3o4_study(*slabs, fe=-8.31, feo=-16.04, fe2o3=-39.88, **arguments):
    """Fe3O4 in O2 and H2O, limited by Fe, FeO and Fe2O3, with the slabs named."""
    study = phasemap.Study(
        ("Fe3O4", -56.25),
        "O2",
        "H2O",
        {"O2": -9.86, "H2O": -14.22, "H2": -6.77},
        competing=[("Fe", fe), ("FeO", feo), ("Fe2O3", fe2o3)],
        **arguments,
    )
    study.add(*(phasemap.Slab(name, *FE3O4_SLABS[name], 70.49) for name in slabs))
    return study


def lab(colour):
    """CIE L*a*b* (D65) of a matplotlib colour."""
    from matplotlib.colors import to_rgb

    c = np.array(to_rgb(colour))
    c = np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)
    m = np.array(
        [[0.4124564, 0.3575761, 0.1804375], [0.2126729, 0.7151522, 0.0721750],
         [0.0193339, 0.1191920, 0.9503041]]
    )  # fmt: skip
    t = (m @ c) / np.array([0.95047, 1.0, 1.08883])
    f = np.where(t > (6 / 29) ** 3, np.cbrt(t), t / (3 * (6 / 29) ** 2) + 4 / 29)
    return 116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])


def ciede2000(lab1, lab2):
    (l1, a1, b1), (l2, a2, b2) = lab1, lab2
    c_bar = (math.hypot(a1, b1) + math.hypot(a2, b2)) / 2
    g = 0.5 * (1 - math.sqrt(c_bar**7 / (c_bar**7 + 25**7)))
    a1p, a2p = (1 + g) * a1, (1 + g) * a2
    c1p, c2p = math.hypot(a1p, b1), math.hypot(a2p, b2)
    h1p = math.degrees(math.atan2(b1, a1p)) % 360 if c1p else 0.0
    h2p = math.degrees(math.atan2(b2, a2p)) % 360 if c2p else 0.0
    dh = 0.0
    if c1p * c2p:
        dh = h2p - h1p
        dh -= 360 if dh > 180 else 0
        dh += 360 if dh < -180 else 0
    d_big_h = 2 * math.sqrt(c1p * c2p) * math.sin(math.radians(dh / 2))
    l_bar, cp_bar = (l1 + l2) / 2, (c1p + c2p) / 2
    if not c1p * c2p:
        h_bar = h1p + h2p
    elif abs(h1p - h2p) <= 180:
        h_bar = (h1p + h2p) / 2
    else:
        h_bar = (h1p + h2p + 360) / 2 if h1p + h2p < 360 else (h1p + h2p - 360) / 2
    t = (
        1 - 0.17 * math.cos(math.radians(h_bar - 30)) + 0.24 * math.cos(math.radians(2 * h_bar))
        + 0.32 * math.cos(math.radians(3 * h_bar + 6))
        - 0.20 * math.cos(math.radians(4 * h_bar - 63))
    )  # fmt: skip
    s_l = 1 + 0.015 * (l_bar - 50) ** 2 / math.sqrt(20 + (l_bar - 50) ** 2)
    s_c, s_h = 1 + 0.045 * cp_bar, 1 + 0.015 * cp_bar * t
    r_t = (
        -math.sin(math.radians(60 * math.exp(-(((h_bar - 275) / 25) ** 2))))
        * 2
        * math.sqrt(cp_bar**7 / (cp_bar**7 + 25**7))
    )
    dl, dc, dhh = (l2 - l1) / s_l, (c2p - c1p) / s_c, d_big_h / s_h
    return math.sqrt(dl * dl + dc * dc + dhh * dhh + r_t * dc * dhh)


def difference(colour1, colour2):
    return ciede2000(lab(colour1), lab(colour2))


def sides_shared(corner_lists):
    """Pairs of polygons (given by their corners) that share two distinct corners."""
    keys = [{(float(x), float(y)) for x, y in corners} for corners in corner_lists]
    return [
        (i, j)
        for i in range(len(keys))
        for j in range(i + 1, len(keys))
        if len(keys[i] & keys[j]) >= 2
    ]


def voronoi_planes(count, rng):
    """Planes whose lower envelope over the unit square is the Voronoi diagram of `count`
    random sites in it: every plane stable, every region convex, most with many sides."""
    sites = rng.uniform(0.02, 0.98, (count, 2))
    return np.column_stack((-2 * sites[:, 0], -2 * sites[:, 1], (sites**2).sum(axis=1)))


def inside(polygon, point, tolerance=0.75):
    """Whether a point lies in a convex polygon, within `tolerance` (display points)."""
    p = np.asarray(polygon, dtype=float)
    q = np.roll(p, -1, axis=0)
    cross = (q[:, 0] - p[:, 0]) * (point[1] - p[:, 1]) - (q[:, 1] - p[:, 1]) * (point[0] - p[:, 0])
    lengths = np.hypot(q[:, 0] - p[:, 0], q[:, 1] - p[:, 1])
    keep = lengths > 0
    distance = cross[keep] / lengths[keep]
    sign = 1 if np.sum(p[:, 0] * q[:, 1] - q[:, 0] * p[:, 1]) > 0 else -1
    return bool(np.all(sign * distance >= -tolerance))


def check_labels(ax, regions, expect_all=True):
    """Every label of the plot on `ax` is where it may be, and no two overlap: its box
    inside its own region (so crossing no other), or right of the frame with a leader
    ending inside its region, or its region in the legend. Returns the labels by where
    they are ("inside", "outside", "legend": lists of surfaces)."""
    from matplotlib.text import Annotation, Text

    figure = ax.figure
    figure.canvas.draw()
    renderer = figure.canvas.get_renderer()
    polygons = {r.surface: ax.transData.transform(np.asarray(r.corners)) for r in regions}
    found = {"inside": [], "outside": [], "legend": []}
    boxes = []
    for text in ax.texts:
        gid = text.get_gid() or ""
        if not gid.startswith("phasemap-label-"):
            continue
        surface = int(gid.rsplit("-", 1)[1])
        box = Text.get_window_extent(text, renderer)
        boxes.append((surface, box))
        if isinstance(text, Annotation) and text.arrow_patch is not None:
            assert box.x0 >= ax.bbox.x1 - 0.5, f"label {surface} beside the frame overlaps it"
            anchor = ax.transData.transform(text.xy)
            assert inside(polygons[surface], anchor), f"leader of {surface} ends outside it"
            start = np.array([box.x0, (box.y0 + box.y1) / 2])
            assert not along_a_side(start, anchor, polygons.values(), figure.dpi / 72), surface
            found["outside"].append(surface)
        else:
            corners = [(box.x0, box.y0), (box.x1, box.y0), (box.x1, box.y1), (box.x0, box.y1)]
            assert all(inside(polygons[surface], c) for c in corners), f"label {surface}"
            found["inside"].append(surface)
    legend = ax.get_legend()
    if legend is not None:
        for text in legend.get_texts():
            if (text.get_gid() or "").startswith("phasemap-legend-"):
                found["legend"].append(int(text.get_gid().rsplit("-", 1)[1]))
        boxes.append((0, legend.get_window_extent(renderer)))
    for k, (s1, b1) in enumerate(boxes):
        for s2, b2 in boxes[k + 1 :]:
            overlap_x = min(b1.x1, b2.x1) - max(b1.x0, b2.x0)
            overlap_y = min(b1.y1, b2.y1) - max(b1.y0, b2.y0)
            assert overlap_x <= 0.5 or overlap_y <= 0.5, f"labels {s1} and {s2} overlap"
    labelled = set(found["inside"]) | set(found["outside"]) | set(found["legend"])
    if expect_all:
        assert labelled == {r.surface for r in regions}
    return found


def along_a_side(start, end, polygons, scale):
    """Whether the segment from `start` to `end` (display points) runs within 2 points of a
    polygon's side over more than 24 points, where a leader would read as that side."""
    points = start + np.linspace(0, 1, 400)[:, None] * (end - start)
    step = np.hypot(*(end - start)) / 399
    for corners in polygons:
        for p, q in zip(corners, np.roll(corners, -1, axis=0)):
            d = q - p
            t = np.clip(((points - p) @ d) / max(float(d @ d), 1e-12), 0, 1)
            near = np.hypot(*(points - (p + t[:, None] * d)).T) < 2 * scale
            if near.sum() * step > 24 * scale:
                return True
    return False


def check_neighbour_colours(ax, regions, threshold):
    """No two regions that share a side have fills closer than `threshold` (CIEDE2000)."""
    faces = {}
    for patch in ax.patches:
        gid = patch.get_gid() or ""
        if gid.startswith("phasemap-region-"):
            faces[int(gid.rsplit("-", 1)[1])] = patch.get_facecolor()
    for i, j in sides_shared([r.corners for r in regions]):
        a, b = regions[i].surface, regions[j].surface
        assert difference(faces[a], faces[b]) >= threshold, (a, b)
    return faces


def marks_and_pieces(ax):
    """Where a line plot marks a change of the lowest surface, and its emphasised pieces."""
    marks = sorted(line.get_xdata()[0] for line in ax.lines if line.get_gid() == "phasemap-change")
    lowest = [
        (*sorted(map(float, line.get_xdata())), int(line.get_gid().split("-")[-1]))
        for line in ax.lines
        if (line.get_gid() or "").startswith("phasemap-lowest-")
    ]
    return marks, sorted(lowest)


def check_path(ax, stable_at, first, last, along):
    """The marks stand where the lowest surface changes along the path, and between them the
    emphasised line is the lowest surface's."""
    marks, pieces = marks_and_pieces(ax)
    span = last[along] - first[along]

    def point(h):
        t = (h - first[along]) / span
        return first[0] + t * (last[0] - first[0]), first[1] + t * (last[1] - first[1])

    assert [p[1] for p in pieces[:-1]] == pytest.approx(marks, abs=1e-12)
    for h0, h1, surface in pieces:
        assert int(stable_at(*point(h0 + (h1 - h0) / 2))) == surface
    epsilon = 1e-7 * abs(span)
    for h in marks:
        assert int(stable_at(*point(h - epsilon))) != int(stable_at(*point(h + epsilon)))
    # Between marks the lowest surface does not change (sampled finely).
    edges = [min(first[along], last[along])] + marks + [max(first[along], last[along])]
    for a, b in zip(edges, edges[1:]):
        inner = np.linspace(a, b, 41)[1:-1]
        assert len({int(stable_at(*point(h))) for h in inner}) == 1


def check_names(ax, stable=None):
    """The names of a line plot stand right of the axes, no two overlapping; their count. With
    the `stable` surfaces: lines of alike colours (CIEDE2000 below the maps' bound) differ in
    their dashes, only lines of stable surfaces look alike while the palette has colours left,
    and each emphasised piece keeps its line's colour."""
    from matplotlib.text import Text

    ax.figure.canvas.draw()
    renderer = ax.figure.canvas.get_renderer()
    boxes = [
        Text.get_window_extent(t, renderer)
        for t in ax.texts
        if (t.get_gid() or "").startswith("phasemap-label-")
    ]
    for k, a in enumerate(boxes):
        assert a.x0 >= ax.bbox.x1  # right of the axes
        for b in boxes[k + 1 :]:
            assert min(a.y1, b.y1) - max(a.y0, b.y0) <= 0.5 or min(a.x1, b.x1) <= max(a.x0, b.x0)
    if stable is None:
        return len(boxes)
    lines = {int(x.get_gid()[16:]): x for x in ax.lines if "-energy-" in (x.get_gid() or "")}
    for i, a in lines.items():
        for j, b in lines.items():
            if i < j and difference(a.get_color(), b.get_color()) < phasemap.NEIGHBOUR_DIFFERENCE:
                assert a._unscaled_dash_pattern != b._unscaled_dash_pattern, (i, j)
                assert {i, j} <= set(stable) or len(lines) > len(phasemap.PALETTE), (i, j)
    for piece in ax.lines:
        if "-lowest-" in (piece.get_gid() or ""):
            assert piece.get_color() == lines[int(piece.get_gid()[16:])].get_color()
    return len(boxes)
