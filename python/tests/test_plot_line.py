"""The one-dimensional plot of every kind of result (its marks where the stable surface
changes, checked against the engines' own lowest surface; its names apart), and the studies'
maps: Δμ axes, the bulk's limits, the gases' pressure axes."""

import pathlib
import warnings

import numpy as np
import pytest

import phasemap

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.text import Text  # noqa: E402

from plot_checks import check_labels, check_neighbour_colours, voronoi_planes  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[2]
needs_engine = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)


@pytest.fixture
def ax():
    figure = plt.figure(figsize=(6.4, 4.8))
    yield figure.gca()
    plt.close(figure)


def marks_and_pieces(ax):
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


def check_names(ax):
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
    return len(boxes)


def test_program_result_along_both_axes(ax):
    result = phasemap.read_input(ROOT / "examples" / "oxide-in-oxygen-and-water" / "input.txt")
    result = result.solve()
    x_min, x_max, y_min, y_max = result.diagram.window
    result.plot_line(ax=ax, y=-17.0)
    check_path(ax, result.stable_at, (x_min, -17.0), (x_max, -17.0), 0)
    assert check_names(ax) == len(result.planes)
    assert len(marks_and_pieces(ax)[0]) == 2  # double, then bridging O vacancies, then none
    ax.clear()
    result.plot_line(ax=ax, x=-15.5, labels=False)
    check_path(ax, result.stable_at, (-15.5, y_min), (-15.5, y_max), 1)


@needs_engine
@pytest.mark.parametrize("seed", range(5))
def test_random_paths_through_random_diagrams(seed, ax):
    rng = np.random.default_rng(seed)
    count = int(rng.integers(20, 61))
    e = phasemap.envelope(voronoi_planes(count, rng), (0, 1, 0, 1))
    first, last = tuple(rng.uniform(0, 1, 2)), tuple(rng.uniform(0, 1, 2))
    if seed == 0:  # a path through a corner of three regions, exactly
        first, last = (0.0, 0.5), (1.0, 0.5)
    e.plot_line(ax=ax, start=first, end=last)
    check_path(ax, e.stable_at, first, last, 0)
    assert check_names(ax) == count


def test_lowest_along_takes_ties_by_index():
    from phasemap._plot_line import lowest_along

    planes = np.array([[1.0, 0, -1, 0], [1.0, 0, -1, 0], [-1.0, 0, -1, 0], [0, 0, -1, 0]])
    # Planes 1 and 2 are one; 3 meets them at x = 0, where 4 touches them at that point only.
    pieces = lowest_along(planes, (-1.0, 0.0), (1.0, 0.0))
    assert [(float(a), float(b), s) for a, b, s in pieces] == [(0.0, 0.5, 1), (0.5, 1.0, 3)]


def study(folder):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        code = (folder / "study.py").read_text(encoding="utf-8").split("fig, ax")[0]
        namespace = {
            "__file__": str(folder / "study.py"),
            "__name__": "example",
            "print": lambda *_: None,
        }
        exec(compile(code, str(folder / "study.py"), "exec"), namespace)
    return namespace["study"], namespace["result"]


@needs_engine
@pytest.mark.parametrize("name", ["fe3o4-001", "srtio3-001"])
def test_study_maps_and_lines(name, ax):
    pytest.importorskip("ase")
    the_study, result = study(ROOT / "examples" / name)
    result.plot(ax=ax, pressures=(300, 600))
    check_labels(ax, result.regions)
    check_neighbour_colours(ax, result.regions, phasemap.NEIGHBOUR_DIFFERENCE)
    assert ax.get_xlabel() == r"$\Delta\mu_{\mathrm{O}_{2}}$ (eV)"
    assert ax.get_ylabel() == r"$\Delta\mu_{\mathrm{H}_{2}\mathrm{O}}$ (eV)"
    gids = {p.get_gid() for p in ax.patches} | {line.get_gid() for line in ax.lines}
    assert "phasemap-bulk-unstable" in gids
    limits = {g for g in gids if g and g.startswith("phasemap-bulk-limit-")}
    sides = set(result.stability_region.sides) - {"window"}
    assert limits and limits <= {f"phasemap-bulk-limit-{s}" for s in sides}
    pressure = {child.get_gid(): child for child in ax.child_axes}
    top = pressure["phasemap-pressure-top-300"]
    assert top.get_xlabel() == r"p($\mathrm{O}_{2}$) / bar, 300 K"
    # The top axis reads the study's own pressure of O2 at 300 K.
    forward = the_study.pressure_axis("x", 300).log10_pressure
    assert top._functions[0](-1.0) == pytest.approx(forward(-1.0))
    ax.clear()
    y = float(np.mean(result.window[2:]))
    result.plot_line(ax=ax, y=y)
    check_path(ax, result.stable_at, (result.window[0], y), (result.window[1], y), 0)
    assert check_names(ax) == len(the_study.slabs)
    assert ax.get_ylabel() == "γ (J/m²)"
