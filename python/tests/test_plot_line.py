"""The one-dimensional plot of every kind of result: its marks where the stable surface
changes, checked against the engines' own lowest surface, its names and its alike lines apart,
and its title and ticks in the map's numbers. (The studies' plots: test_study_examples.py.)"""

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py
from helpers import check_names, check_path, marks_and_pieces, voronoi_planes

needs_engine = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)


@pytest.fixture
def ax(figure):
    return figure.gca()


def test_program_result_along_both_axes(ax):
    path = golden_cases.EXAMPLES / "oxide-in-oxygen-and-water" / "input.txt"
    result = phasemap.read_input(path).solve()
    x_min, x_max, y_min, y_max = result.diagram.window
    result.plot_line(ax=ax, y=-17.0)
    check_path(ax, result.stable_at, (x_min, -17.0), (x_max, -17.0), 0)
    assert check_names(ax, [r.surface for r in result.regions]) == len(result.planes)
    assert len(marks_and_pieces(ax)[0]) == 2  # double, then bridging O vacancies, then none
    assert ax.get_title() == r"$\mu_{\mathrm{H}{}_{\mathrm{2}}\mathrm{O}}$ = −17"
    ax.clear()
    result.plot_line(ax=ax, x=-15.5, labels=False, colors="tab10")  # the user's, kept
    check_path(ax, result.stable_at, (-15.5, y_min), (-15.5, y_max), 1)
    lines = [line for line in ax.lines if "energy" in (line.get_gid() or "")]
    from matplotlib import colormaps
    from matplotlib.colors import to_hex

    tab10 = {to_hex(c) for c in colormaps["tab10"].colors}
    assert {to_hex(line.get_color()) for line in lines} <= tab10
    assert {line.get_linestyle() for line in lines} == {"-"}
    ax.clear()
    result.plot_line(ax=ax, start=(-16.0, -18.0), end=(-10.0, -14.5))
    assert ax.get_title() == "from (−16, −18) to (−10, −14.5)"


def test_a_shifted_axis_is_numbered_as_the_map_numbers_it(ax):
    result = phasemap.read_input(golden_cases.EXAMPLES / "every-keyword" / "input.txt").solve()
    shift_x, shift_y = result.diagram.shift
    result.plot_line(ax=ax, y=shift_y - 1.0)
    assert ax.get_title().endswith(" = \N{MINUS SIGN}1")
    ax.figure.canvas.draw()
    numbered = [t for t in ax.xaxis.get_major_ticks() if t.label1.get_text()]
    for tick in numbered:  # tick k at k + shift
        text = tick.label1.get_text().replace("\N{MINUS SIGN}", "-")
        assert float(text) == pytest.approx(tick.get_loc() - shift_x, abs=1e-6)
    assert numbered and shift_x


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
