"""Exact rational geometry and linear algebra for studies: Gauss-Jordan elimination and the
intersection of half-planes a·x + b·y <= c, all in fractions.Fraction."""
from __future__ import annotations

from fractions import Fraction
from typing import List, Sequence, Tuple

Point = Tuple[Fraction, Fraction]
HalfPlane = Tuple[Fraction, Fraction, Fraction, str]  # a, b, c, name: a·x + b·y <= c


def eliminate(rows: List[List[Fraction]], width: int) -> Tuple[list, list, list]:
    """Gauss-Jordan elimination of `rows` over their first `width` columns (further columns
    ride along). Returns (reduced rows, pivot column of each row or None for a row that became
    zero in its first `width` columns, the free columns)."""
    rows = [list(r) for r in rows]
    pivots: list = []
    used: list = []
    for i in range(len(rows)):
        column = next((j for j in range(width) if j not in used and rows[i][j] != 0), None)
        pivots.append(column)
        if column is None:
            continue
        used.append(column)
        rows[i] = [v / rows[i][column] for v in rows[i]]
        for k in range(len(rows)):
            if k != i and rows[k][column] != 0:
                factor = rows[k][column]
                rows[k] = [v - factor * w for v, w in zip(rows[k], rows[i])]
    free = [j for j in range(width) if j not in used]
    return rows, pivots, free


def inverse(matrix: List[List[Fraction]]) -> List[List[Fraction]]:
    """The inverse of a square non-singular matrix."""
    n = len(matrix)
    augmented = [
        list(row) + [Fraction(int(i == j)) for j in range(n)] for i, row in enumerate(matrix)
    ]
    reduced, pivots, free = eliminate(augmented, n)
    if free:
        raise ZeroDivisionError("singular matrix")
    out: list = [None] * n
    for row, column in zip(reduced, pivots):
        out[column] = row[n:]
    return out


def clip(polygon: list, plane: HalfPlane) -> list:
    """A convex polygon, counter-clockwise as [(point, name of the side from it to the next)],
    cut by a half-plane; the new side is named by the half-plane."""
    a, b, c, name = plane
    out: list = []
    n = len(polygon)
    for i in range(n):
        (p, side), (q, _) = polygon[i], polygon[(i + 1) % n]
        sp, sq = a * p[0] + b * p[1] - c, a * q[0] + b * q[1] - c
        if sp <= 0:
            if sq > 0:
                if sp == 0:
                    out.append((p, name))
                else:
                    out.append((p, side))
                    out.append((_cut(p, q, sp, sq), name))
            else:
                out.append((p, side))
        elif sq < 0:
            out.append((_cut(p, q, sp, sq), side))
    return _deduplicated(out)


def _cut(p: Point, q: Point, sp: Fraction, sq: Fraction) -> Point:
    t = sp / (sp - sq)
    return (p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]))


def _deduplicated(polygon: list) -> list:
    out = [v for i, v in enumerate(polygon) if v[0] != polygon[(i + 1) % len(polygon)][0]]
    return out if out or not polygon else polygon[:1]


def area(points: Sequence[Point]) -> Fraction:
    """Signed area (positive counter-clockwise) of a polygon."""
    n = len(points)
    twice = sum(
        (
            points[i][0] * points[(i + 1) % n][1] - points[(i + 1) % n][0] * points[i][1]
            for i in range(n)
        ),
        Fraction(0),
    )
    return twice / 2


def box(x_min: Fraction, x_max: Fraction, y_min: Fraction, y_max: Fraction, name: str) -> list:
    """The rectangle as a counter-clockwise polygon whose sides are all named `name`."""
    return [
        ((x_min, y_min), name),
        ((x_max, y_min), name),
        ((x_max, y_max), name),
        ((x_min, y_max), name),
    ]


def box_sides(
    x_min: Fraction, x_max: Fraction, y_min: Fraction, y_max: Fraction, name: str
) -> list:
    """The rectangle as its four half-planes, each named `name`."""
    one, zero = Fraction(1), Fraction(0)
    return [
        (-one, zero, -x_min, name),
        (one, zero, x_max, name),
        (zero, -one, -y_min, name),
        (zero, one, y_max, name),
    ]


def enclosing(planes: Sequence[HalfPlane]) -> Fraction:
    """A half-width B such that the square |x|, |y| < B holds, strictly inside, every crossing
    of two of the planes' lines and a point of every line."""
    largest = Fraction(0)
    for i, (a, b, c, _) in enumerate(planes):
        largest = max(largest, abs(c) / max(abs(a), abs(b)))
        later = planes[i + 1:]  # fmt: skip
        for a2, b2, c2, _ in later:
            det = a * b2 - a2 * b
            if det != 0:
                largest = max(largest, abs((c * b2 - c2 * b) / det), abs((a * c2 - a2 * c) / det))
    return 2 * largest + 1
