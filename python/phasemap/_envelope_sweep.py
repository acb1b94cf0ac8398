"""Many diagrams that share the planes' slopes and differ in their energies (a sweep over
uncertain or sampled energies), each solved exactly as `envelope` solves one, in one call."""

from __future__ import annotations

import dataclasses
from collections.abc import Iterable, Sequence
from typing import Any

import numpy as np

from ._envelope import _as_array, _call, _require_engine

__all__ = ["envelope_sweep", "EnvelopeSweep"]


@dataclasses.dataclass(frozen=True)
class EnvelopeSweep:
    """Many diagrams that differ only in d, solved exactly (see `envelope_sweep`).

    Attributes
    ----------
    areas : numpy.ndarray, shape (m, n)
        The area of each plane's region in each diagram, 0 where it is never stable.
    stable : numpy.ndarray of bool, shape (m, n)
        Whether each plane has a region in each diagram.
    centroids : numpy.ndarray, shape (m, n, 2), or None
        The centroid of each region, NaN where there is none; None unless asked for.
    stable_at : numpy.ndarray of int, shape (m, p), or None
        The 1-based index of the lowest plane at each of the p points in each diagram (the
        tie rule of `Envelope.stable_at`); None without points.
    window : tuple of 4 floats
        (x_min, x_max, y_min, y_max).
    points : numpy.ndarray, shape (p, 2), or None
        The points of `stable_at`.

    Examples
    --------
    >>> s = phasemap.envelope_sweep([(1, 0), (-1, 0)], [[0, 0], [0, 3]], (-1, 1, -1, 1))
    >>> s.stable.tolist(), s.frequency.tolist()
    ([[True, True], [True, False]], [1.0, 0.5])
    """

    areas: np.ndarray
    stable: np.ndarray
    centroids: np.ndarray | None
    stable_at: np.ndarray | None
    window: tuple
    points: np.ndarray | None

    @property
    def frequency(self) -> np.ndarray:
        """The fraction of the diagrams in which each plane is stable, shape (n,)."""
        return self.stable.mean(axis=0)


def envelope_sweep(
    slopes: Any, d: Any, window: Sequence[float], points: Any = None, centroids: bool = False
) -> EnvelopeSweep:
    """Solves m diagrams that share the planes' a and b and differ in d, in one call.

    Parameters
    ----------
    slopes : array_like, shape (n, 2)
        (a, b) of each plane, shared by every diagram (`planes[:, :2]` of a plane array).
    d : array_like, shape (m, n) or (n,), or an iterable of such arrays
        The constant term of every plane, one row per diagram. An iterable (a generator of
        rows or of blocks of rows) is gathered into one array first.
    window : sequence of 4 floats
        (x_min, x_max, y_min, y_max).
    points : array_like, shape (p, 2), optional
        Points (x, y) at which to give the lowest plane of every diagram.
    centroids : bool
        Whether to return the centroids of the regions as well ((m, n, 2) doubles).

    Returns
    -------
    EnvelopeSweep

    Examples
    --------
    >>> import numpy as np, phasemap
    >>> slopes = [(0.0, 0.0), (-0.4, -0.4)]
    >>> d = np.array([-29.0, -29.5]) + np.random.default_rng(1).normal(0, 0.2, (1000, 2))
    >>> s = phasemap.envelope_sweep(slopes, d, (-2, 0, -1.5, 0), points=[(-0.1, -0.1)])
    >>> s.areas.shape, s.stable_at.shape
    ((1000, 2), (1000, 1))
    >>> bool(np.allclose(s.areas.sum(axis=1), 3.0))
    True
    """
    engine = _require_engine()
    caller = "phasemap.envelope_sweep"
    slopes = _as_array(slopes, "slopes", caller)
    if not isinstance(d, np.ndarray) and isinstance(d, Iterable) and not isinstance(d, Sequence):
        blocks = [np.atleast_2d(_as_array(block, "d", caller)) for block in d]
        d = np.concatenate(blocks) if blocks else np.empty((0, len(slopes)))
    d = _as_array(d, "d", caller)
    if d.ndim == 1:
        d = d[np.newaxis, :]
    if points is not None:
        points = np.atleast_2d(_as_array(points, "points", caller))
    areas, stable, centre, lowest = _call(
        caller, engine.sweep, slopes, d, window, points, bool(centroids)
    )
    window = tuple(float(v) for v in window)
    return EnvelopeSweep(areas, stable, centre, lowest, window, points)
