"""The plane geometry of label placement, in plain numpy: the largest box of given
proportions inside a convex polygon, a convex polygon cut by a line or by half-planes,
whether a segment crosses a box, and labels spread apart along a line.
"""

from __future__ import annotations

import itertools
from typing import Any, Sequence

import numpy as np


def half_planes(polygon: np.ndarray) -> tuple[np.ndarray, np.ndarray]:
    """The sides of a convex polygon as half-planes n·p >= b, n the unit inward normal;
    sides of no length are left out."""
    p = np.asarray(polygon, dtype=float)
    q = np.roll(p, -1, axis=0)
    edge = q - p
    length = np.hypot(edge[:, 0], edge[:, 1])
    keep = length > 1e-9 * max(1.0, float(np.abs(p).max(initial=0.0)))
    p, edge, length = p[keep], edge[keep], length[keep]
    signed = np.sum(p[:, 0] * np.roll(p[:, 1], -1) - np.roll(p[:, 0], -1) * p[:, 1])
    turn = 1.0 if signed >= 0 else -1.0  # counter-clockwise: the inside is on the left
    normals = turn * np.column_stack((-edge[:, 1], edge[:, 0])) / length[:, None]
    return normals, np.einsum("ij,ij->i", normals, p)


def largest_box(polygon: np.ndarray, width: float, height: float) -> tuple[float, np.ndarray]:
    """The largest scale s and the centre c of an axis-parallel box s·width by s·height
    inside the convex polygon: the linear programme max s subject to, for every side,
    n·c - s·(|n_x| width + |n_y| height)/2 >= b, solved at its vertices; of several optimal
    centres, their mean. (0, the corners' mean) for a polygon without area.

    Examples
    --------
    >>> scale, centre = largest_box(np.array([(0, 0), (4, 0), (4, 1), (0, 1)]), 1.0, 0.5)
    >>> float(scale), centre.tolist()
    (2.0, [2.0, 0.5])
    """
    corners_mean = np.asarray(polygon, dtype=float).reshape(-1, 2).mean(axis=0)
    if len(polygon) < 3:
        return 0.0, corners_mean
    normals, offsets = half_planes(polygon)
    if len(normals) < 3:
        return 0.0, corners_mean
    rows = np.column_stack(
        (normals, -(np.abs(normals[:, 0]) * width + np.abs(normals[:, 1]) * height) / 2)
    )
    triples = np.array(list(itertools.combinations(range(len(rows)), 3)))
    systems = rows[triples]
    solvable = np.abs(np.linalg.det(systems)) > 1e-12
    if not solvable.any():
        return 0.0, corners_mean
    solutions = np.linalg.solve(systems[solvable], offsets[triples[solvable]][..., None])[..., 0]
    scale = max(1.0, float(np.abs(offsets).max()), width, height)
    feasible = np.all(solutions @ rows.T >= offsets - 1e-9 * scale, axis=1)
    feasible &= solutions[:, 2] >= 0
    if not feasible.any():
        return 0.0, corners_mean
    solutions = solutions[feasible]
    best = float(solutions[:, 2].max())
    optimal = solutions[solutions[:, 2] >= best - 1e-9 * max(1.0, best)]
    return best, optimal[:, :2].mean(axis=0)


def clip_half_plane(points: np.ndarray, a: float, b: float, c: float) -> np.ndarray:
    """The part of a convex polygon where a·x + b·y <= c."""
    out = []
    pts = [tuple(p) for p in np.asarray(points, dtype=float)]
    for p, q in zip(pts, pts[1:] + pts[:1]):
        fp, fq = a * p[0] + b * p[1] - c, a * q[0] + b * q[1] - c
        if fp <= 0:
            out.append(p)
        if (fp < 0 < fq) or (fq < 0 < fp):
            t = fp / (fp - fq)
            out.append((p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1])))
    return np.array(out, dtype=float).reshape(-1, 2)


def split_by_line(polygon: np.ndarray, p: np.ndarray, q: np.ndarray) -> list[np.ndarray]:
    """The two parts of a convex polygon on either side of the line through p and q (the
    parts with area)."""
    a, b = q[1] - p[1], p[0] - q[0]
    c = a * p[0] + b * p[1]
    parts = [clip_half_plane(polygon, a, b, c), clip_half_plane(polygon, -a, -b, -c)]
    return [part for part in parts if len(part) >= 3]


def horizontal_chord(polygon: np.ndarray, y: float) -> tuple[float, float] | None:
    """The x range where the horizontal line at height y crosses a convex polygon."""
    p = np.asarray(polygon, dtype=float)
    q = np.roll(p, -1, axis=0)
    xs = []
    for (x0, y0), (x1, y1) in zip(p, q):
        if (y0 - y) * (y1 - y) <= 0 and y0 != y1:
            xs.append(x0 + (y - y0) * (x1 - x0) / (y1 - y0))
    return (min(xs), max(xs)) if xs else None


def cut_by_segments(polygon: np.ndarray, segments: Sequence[np.ndarray]) -> list[np.ndarray]:
    """The parts of a convex polygon that the lines through the segments crossing it cut
    it into, largest first; none when no segment crosses it."""
    pieces = [np.asarray(polygon, dtype=float)]
    cut = False
    for p, q in segments:
        crossed = [piece for piece in pieces if _line_crosses(piece, p, q)]
        if not crossed or not _segment_meets(polygon, p, q):
            continue
        cut = True
        pieces = [part for piece in pieces for part in split_by_line(piece, p, q)]
    if not cut:
        return []
    return sorted(pieces, key=lambda piece: -abs(_area(piece)))


def _area(polygon: np.ndarray) -> float:
    x, y = polygon[:, 0], polygon[:, 1]
    return 0.5 * float(np.sum(x * np.roll(y, -1) - np.roll(x, -1) * y))


def _line_crosses(polygon: np.ndarray, p: np.ndarray, q: np.ndarray) -> bool:
    """Whether the line through p and q passes through the polygon's inside."""
    side = (q[0] - p[0]) * (polygon[:, 1] - p[1]) - (q[1] - p[1]) * (polygon[:, 0] - p[0])
    return bool(side.max() > 1e-9 and side.min() < -1e-9)


def _segment_meets(polygon: np.ndarray, p: np.ndarray, q: np.ndarray) -> bool:
    """Whether the segment pq meets the convex polygon."""
    normals, offsets = half_planes(polygon)
    t0, t1 = 0.0, 1.0
    for n, b in zip(normals, offsets):
        at, step = float(n @ p - b), float(n @ (q - p))  # inside where at + t·step >= 0
        if step == 0:
            if at < 0:
                return False
        elif step > 0:
            t0 = max(t0, -at / step)
        else:
            t1 = min(t1, -at / step)
    return t0 <= t1


def outside_box(polygon: np.ndarray, box: Any) -> list[np.ndarray]:
    """The parts of a convex polygon beside a box (x0, y0, x1, y1 of a matplotlib Bbox):
    each side of the box cuts off what lies beyond it."""
    sides = ((1.0, 0.0, box.x0), (-1.0, 0.0, -box.x1), (0.0, 1.0, box.y0), (0.0, -1.0, -box.y1))
    parts = [clip_half_plane(polygon, a, b, c) for a, b, c in sides]  # a·x + b·y <= c
    return [part for part in parts if len(part) >= 3]


def segment_crosses_box(p: np.ndarray, q: np.ndarray, box: Sequence[float]) -> bool:
    """Whether the segment from p to q meets the box (x0, y0, x1, y1) (Liang-Barsky)."""
    x0, y0, x1, y1 = box
    t0, t1 = 0.0, 1.0
    d = q - p
    for step, low, high, at in ((d[0], x0, x1, p[0]), (d[1], y0, y1, p[1])):
        if step == 0:
            if at < low or at > high:
                return False
            continue
        ta, tb = sorted(((low - at) / step, (high - at) / step))
        t0, t1 = max(t0, ta), min(t1, tb)
        if t0 > t1:
            return False
    return True


def runs_along(
    sides: np.ndarray, point: np.ndarray, right: float, distance: float, length: float
) -> bool:
    """Whether the horizontal way from `point` to x = `right` runs along one of `sides`
    ((k, 2, 2): the ends of each): within `distance` of it over more than `length` of the
    way (a side crossed at a shallow angle counts).

    Examples
    --------
    >>> sides = np.array([[(0.0, 0.0), (10.0, 0.5)], [(5.0, -5.0), (5.0, 5.0)]])
    >>> [runs_along(sides, np.array([2.0, y]), 8.0, 1.5, 3.0) for y in (1.0, 3.0)]
    [True, False]
    """
    p, q = sides[:, 0], sides[:, 1]
    low = np.maximum(np.minimum(p[:, 0], q[:, 0]), point[0])
    high = np.minimum(np.maximum(p[:, 0], q[:, 0]), right)
    long = high - low > length
    p, q, low, high = p[long], q[long], low[long], high[long]
    dx, dy = q[:, 0] - p[:, 0], q[:, 1] - p[:, 1]
    flat = dy == 0
    # Where the side is within `distance` of the way's height: between two x, or everywhere
    # (a level side that near) or nowhere (one farther).
    with np.errstate(divide="ignore", invalid="ignore"):
        heights = point[1] + np.array([-distance, distance]) - p[:, 1, None]
        ends = np.sort(p[:, 0, None] + heights * (dx / dy)[:, None], axis=1)
    ends[flat] = np.where(
        (np.abs(p[flat, 1] - point[1]) < distance)[:, None], [-np.inf, np.inf], np.nan
    )
    near = np.minimum(ends[:, 1], high) - np.maximum(ends[:, 0], low)
    return bool(np.any(near > length))


def segments_cross(p: np.ndarray, q: np.ndarray, r: np.ndarray, s: np.ndarray) -> bool:
    """Whether the segments pq and rs cross at a point inside both."""

    def side(a: np.ndarray, b: np.ndarray, c: np.ndarray) -> float:
        return float((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]))

    return side(p, q, r) * side(p, q, s) < 0 and side(r, s, p) * side(r, s, q) < 0


def spread(wanted: Sequence[float], heights: Sequence[float], gap: float) -> np.ndarray:
    """Centres as near to `wanted` as they can be (least squares) with neighbours at least
    half their heights plus `gap` apart, in the order given (top to bottom, wanted
    descending): clusters of touching labels are packed about their mean.

    Examples
    --------
    >>> spread([10.0, 10.0, 0.0], [2.0, 2.0, 2.0], 1.0).tolist()
    [11.5, 8.5, 0.0]
    """
    clusters: list[list[int]] = []
    tops: list[float] = []

    def packed(members: list[int]) -> tuple[float, list[float]]:
        offsets = [0.0]
        for a, b in zip(members, members[1:]):
            offsets.append(offsets[-1] - (heights[a] + heights[b]) / 2 - gap)
        top = float(np.mean([wanted[m] - o for m, o in zip(members, offsets)]))
        return top, offsets

    for i in range(len(wanted)):
        clusters.append([i])
        tops.append(wanted[i])
        while len(clusters) > 1:
            last, before = clusters[-1], clusters[-2]
            bottom_before = tops[-2] + packed(before)[1][-1] - heights[before[-1]] / 2
            if tops[-1] + heights[last[0]] / 2 + gap <= bottom_before:
                break
            clusters[-2:] = [before + last]
            tops[-2:] = [packed(before + last)[0]]
    out = np.empty(len(wanted))
    for members, top in zip(clusters, tops):
        for m, offset in zip(members, packed(members)[1]):
            out[m] = top + offset
    return out
