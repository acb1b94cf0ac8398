"""What looking at the guide's figures found, checked from the artists and geometry: the lines
of a line plot that look alike differ in their dashes, a line plot says where its path runs
(in the map's numbers), pressure axes tick every 1, 2, 5 or 10 decades, and a leader never
runs along a region's side."""

import contextlib
import io
import pathlib
import warnings

import numpy as np
import pytest

import phasemap

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

from helpers import difference, voronoi_planes  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[2]
THRESHOLD = phasemap.NEIGHBOUR_DIFFERENCE
needs_engine = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)


@pytest.fixture
def ax():
    figure = plt.figure(figsize=(6, 4))
    yield figure.gca()
    plt.close(figure)


def example(name):
    return phasemap.read_input(ROOT / "examples" / name / "input.txt").solve()


def study(name):
    pytest.importorskip("ase")
    if phasemap._envelope._engine is None:
        pytest.skip("the exact engine is not in this build")
    path = ROOT / "examples" / name / "study.py"
    code = path.read_text(encoding="utf-8").split("fig, ax")[0]
    namespace = {"__file__": str(path), "__name__": "example"}
    with warnings.catch_warnings(), contextlib.redirect_stdout(io.StringIO()):
        warnings.simplefilter("ignore")
        exec(compile(code, str(path), "exec"), namespace)
    return namespace["result"]


def random_envelope(count, seed):
    return phasemap.envelope(voronoi_planes(count, np.random.default_rng(seed)), (0, 1, 0, 1))


def energy_lines(ax):
    return {
        int(line.get_gid().rsplit("-", 1)[1]): line
        for line in ax.lines
        if (line.get_gid() or "").startswith("phasemap-energy-")
    }


@pytest.mark.parametrize(
    "make, path",
    [
        (lambda: example("oxide-in-oxygen-and-water"), {"y": -17.0}),
        (lambda: example("hematite-terminations"), {"x": -6.0}),
        (lambda: study("fe3o4-001"), {"y": -1.0}),
        (lambda: study("srtio3-001"), {"y": -1.5}),
    ],
    ids=["oxide", "hematite", "fe3o4", "srtio3"],
)
def test_lines_that_look_alike_differ_in_dashes(make, path, ax):
    result = make()
    lines = energy_lines(result.plot_line(ax=ax, **path))
    assert len(lines) == len(result.planes)
    stable = {r.surface for r in result.regions}
    for i, a in lines.items():
        for j, b in lines.items():
            if i < j and difference(a.get_color(), b.get_color()) < THRESHOLD:
                assert a._unscaled_dash_pattern != b._unscaled_dash_pattern, (i, j)
                # A surface without a region looks like another only when no colour is left.
                assert i in stable and j in stable or len(lines) > len(phasemap.PALETTE)
    for piece in ax.lines:  # the lowest stretch is its own line, thick, in the same colour
        if (piece.get_gid() or "").startswith("phasemap-lowest-"):
            surface = int(piece.get_gid().rsplit("-", 1)[1])
            assert piece.get_color() == lines[surface].get_color()


def test_lines_apart_gives_every_colour_before_any_dash(ax):
    e = random_envelope(len(phasemap.PALETTE), 7)
    lines = energy_lines(e.plot_line(ax=ax, y=0.5, colors="tab10"))  # the user's: kept
    assert len({line.get_color() for line in lines.values()}) == len(lines)
    assert all(line.get_linestyle() == "-" for line in lines.values())


def test_a_line_plot_says_where_it_runs(ax):
    oxide = example("oxide-in-oxygen-and-water")
    oxide.plot_line(ax=ax, y=-17.0)
    assert ax.get_title() == r"$\mu_{\mathrm{H}{}_{\mathrm{2}}\mathrm{O}}$" + " = \N{MINUS SIGN}17"
    ax.clear()
    oxide.plot_line(ax=ax, start=(-16.0, -18.0), end=(-10.0, -14.5))
    minus = "\N{MINUS SIGN}"
    assert ax.get_title() == f"from ({minus}16, {minus}18) to ({minus}10, {minus}14.5)"
    ax.clear()
    # A shifted axis: the title and the ticks number it as the map does, tick k at k + shift.
    keywords = example("every-keyword")
    shift_x, shift_y = keywords.diagram.shift
    keywords.plot_line(ax=ax, x=shift_x - 0.5)
    assert ax.get_title().endswith(" = \N{MINUS SIGN}0.5")
    ax.clear()
    keywords.plot_line(ax=ax, y=shift_y - 1.0)
    assert ax.get_title().endswith(" = \N{MINUS SIGN}1")
    ax.figure.canvas.draw()
    numbered = [t for t in ax.xaxis.get_major_ticks() if t.label1.get_text()]
    assert numbered
    for tick in numbered:
        text = tick.label1.get_text().replace("\N{MINUS SIGN}", "-")
        assert float(text) == pytest.approx(tick.get_loc() - shift_x, abs=1e-6)


def test_a_studys_line_plot_gives_the_held_value_in_ev(ax):
    result = study("fe3o4-001")
    result.plot_line(ax=ax, y=-1.0)
    assert ax.get_title() == r"$\Delta\mu_{\mathrm{H}_{2}\mathrm{O}}$" + " = \N{MINUS SIGN}1 eV"


def test_pressure_axes_tick_every_1_2_5_or_10_decades(ax):
    result = study("fe3o4-001")
    result.plot(ax=ax, pressures=(300, 600))
    ax.figure.canvas.draw()
    for child in ax.child_axes:
        axis = child.xaxis if "top" in child.get_gid() else child.yaxis
        steps = set(np.diff(axis.get_major_locator()()).round(9))
        assert len(steps) == 1, child.get_gid()
        (step,) = steps
        mantissa = step / 10 ** np.floor(np.log10(step))
        assert mantissa in (1.0, 2.0, 5.0), (child.get_gid(), step)


def leader_along_a_side(ax, regions, distance_points=2.0, stretch_points=24.0):
    """The first leader that stays within `distance_points` of one region side over more than
    `stretch_points` of its length, as (surface, side), or None."""
    ax.figure.canvas.draw()
    renderer = ax.figure.canvas.get_renderer()
    scale = ax.figure.dpi / 72.0
    sides = []
    for r in regions:
        corners = ax.transData.transform(np.asarray(r.corners, dtype=float))
        sides += list(zip(corners, np.roll(corners, -1, axis=0)))
    for text in ax.texts:
        arrow = getattr(text, "arrow_patch", None)
        if arrow is None or not (text.get_gid() or "").startswith("phasemap-label-"):
            continue
        end = ax.transData.transform(text.xy)
        box = matplotlib.text.Text.get_window_extent(text, renderer)
        start = np.array([box.x0, (box.y0 + box.y1) / 2])
        points = start + np.linspace(0, 1, 400)[:, None] * (end - start)
        step = np.hypot(*(end - start)) / 399
        for p, q in sides:
            d = q - p
            length2 = float(d @ d)
            if length2 == 0:
                continue
            t = np.clip(((points - p) @ d) / length2, 0, 1)
            near = np.hypot(*(points - (p + t[:, None] * d)).T) < distance_points * scale
            if near.sum() * step > stretch_points * scale:
                return text.get_gid(), (p.round(1).tolist(), q.round(1).tolist())
    return None


@pytest.mark.parametrize("name, markup", [("fe3o4-001", False), ("srtio3-001", True)])
def test_leaders_keep_off_the_regions_sides(name, markup):
    result = study(name)
    for size, dpi in [((6, 5), 150), ((6, 4), 100), ((6.4, 4.8), 100)]:
        figure = plt.figure(figsize=size, dpi=dpi)
        try:
            ax = result.plot(ax=figure.gca(), pressures=(300,), markup=markup)
            assert leader_along_a_side(ax, result.regions) is None, (size, dpi)
        finally:
            plt.close(figure)


@needs_engine
@pytest.mark.parametrize("seed", range(3))
def test_leaders_keep_off_the_sides_of_random_diagrams(seed, ax):
    e = random_envelope(40, 200 + seed)
    e.plot(ax=ax)
    assert leader_along_a_side(ax, e.regions) is None
