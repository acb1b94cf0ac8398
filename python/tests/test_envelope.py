"""phasemap.envelope against exact rational arithmetic (random and degenerate families, and
properties drawn by hypothesis), against the program on its golden cases and examples, and
its sweep, document and refusals."""
import atexit
import fractions
import itertools
import json
import os
import re
import shutil
import tempfile

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py

engine = pytest.importorskip("phasemap._engine")
# Hypothesis keeps its caches in a folder of its own, removed at the end, not in the tree.
os.environ.setdefault("HYPOTHESIS_STORAGE_DIRECTORY", tempfile.mkdtemp(prefix="hypothesis-"))
atexit.register(shutil.rmtree, os.environ["HYPOTHESIS_STORAGE_DIRECTORY"], True)
hypothesis = pytest.importorskip("hypothesis")
st = hypothesis.strategies

F = fractions.Fraction


def exact_regions(planes, window):
    """The stable regions by brute force in rationals: {0-based plane: exact corners
    clockwise with y up}. Every corner of a region is where two of its bounding lines (window
    sides, lines where two planes are equal) meet; the region is the hull of those points
    where its plane is among the lowest. Identical planes: the lowest index stands for all."""
    p = [tuple(F(v) for v in row) for row in planes]
    first = {}
    for i, row in enumerate(p):
        first.setdefault(row, i)
    kept = sorted(first.values())
    x0, x1, y0, y1 = (F(v) for v in window)
    lines = [(F(1), F(0), -x0), (F(1), F(0), -x1), (F(0), F(1), -y0), (F(0), F(1), -y1)]
    lines += [
        (p[j][0] - p[i][0], p[j][1] - p[i][1], p[j][2] - p[i][2])
        for i, j in itertools.combinations(kept, 2)
        if p[j][:2] != p[i][:2]
    ]
    points = set()
    for (a1, b1, c1), (a2, b2, c2) in itertools.combinations(lines, 2):
        det = a1 * b2 - a2 * b1
        if det:
            x, y = (b1 * c2 - b2 * c1) / det, (c1 * a2 - c2 * a1) / det
            if x0 <= x <= x1 and y0 <= y <= y1:
                points.add((x, y))
    lowest_at = {}
    for x, y in points:
        g = {i: p[i][0] * x + p[i][1] * y + p[i][2] for i in kept}
        low = min(g.values())
        lowest_at[(x, y)] = {i for i in kept if g[i] == low}
    regions = {}
    for i in kept:
        hull = convex_hull([q for q, low in lowest_at.items() if i in low])
        if len(hull) >= 3:
            regions[i] = hull
    return regions


def convex_hull(points):
    """Corners of the hull, no three in a row on a line, clockwise with y up."""
    points = sorted(set(points))
    if len(points) < 3:
        return points

    def chain(ordered):
        out = []
        for q in ordered:
            while len(out) >= 2 and cross(out[-2], out[-1], q) >= 0:
                out.pop()
            out.append(q)
        return out

    lower, upper = chain(points), chain(reversed(points))
    return lower[:-1] + upper[:-1]


def cross(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


def rounded(corners):
    """Exact corners as the engine gives them: rounded to the nearest doubles, a corner that
    rounds to the one before it left out, from the leftmost (then highest) one."""
    out = []
    for x, y in corners:
        q = (float(x), float(y))
        if not out or q != out[-1]:
            out.append(q)
    while len(out) > 1 and out[-1] == out[0]:
        out.pop()
    start = min(range(len(out)), key=lambda k: (out[k][0], -out[k][1]))
    return out[start:] + out[:start]


def lowest_exact(planes, x, y):
    g = [F(a) * F(x) + F(b) * F(y) + F(d) for a, b, d in planes]
    return g.index(min(g)), min(g)


def check_exact(planes, window, samples=50, seed=0):
    """The engine's answer is the exact one rounded, both ways of finding neighbours alike."""
    planes = np.asarray(planes, dtype=float)
    e = phasemap.envelope(planes, window)
    expected = exact_regions(planes, window)
    assert [r.surface for r in e.regions] == [i + 1 for i in sorted(expected)]
    assert e.never_stable == [i + 1 for i in range(len(planes)) if i not in expected]
    window_area = (window[1] - window[0]) * (window[3] - window[2])
    for region in e.regions:
        assert [tuple(c) for c in region.corners.tolist()] == rounded(expected[region.surface - 1])
        assert region.area > 0 or window_area == 0  # areas of subnormal windows underflow
    assert sum(r.area for r in e.regions) == pytest.approx(window_area, rel=1e-12)
    raw = [engine.solve(planes, window, how) for how in (1, 2)]
    for got, other in zip(*raw):
        assert np.array_equal(got, other)
    # The lowest plane and energy anywhere, on boundaries and at exact corners included.
    rng = np.random.default_rng(seed)
    x = window[0] + (window[1] - window[0]) * rng.integers(0, 64, samples) / 64
    y = window[2] + (window[3] - window[2]) * rng.integers(0, 64, samples) / 64
    corners = [
        (float(c[0]), float(c[1]))
        for hull in expected.values()
        for c in hull
        if F(float(c[0])) == c[0] and F(float(c[1])) == c[1]
    ]
    if corners:
        x, y = np.append(x, [c[0] for c in corners]), np.append(y, [c[1] for c in corners])
    lowest, energy = e.stable_at(x, y), e.energy_at(x, y)
    for k in range(len(x)):
        index, value = lowest_exact(planes, x[k], y[k])
        assert (lowest[k], energy[k]) == (index + 1, float(value)), (x[k], y[k])
    return e


def binary_planes(rng, n, bits=10, size=4096):
    return rng.integers(-size, size, (n, 3)) / 2**bits


@pytest.mark.parametrize("seed", range(4))
def test_random_binary_fraction_planes_are_solved_exactly(seed):
    rng = np.random.default_rng(seed)
    check_exact(binary_planes(rng, 6 + 2 * seed), (-2.0, 1.5, -1.0, 3.0), seed=seed)


small = st.integers(-6, 6).map(lambda k: k / 4)
planes_drawn = st.lists(
    st.tuples(small, small, st.integers(-8, 8).map(lambda k: k / 8)), min_size=1, max_size=6
)


@hypothesis.settings(max_examples=120, deadline=None, database=None)
@hypothesis.given(
    planes_drawn, st.integers(-4, 0), st.integers(1, 4), st.integers(-4, 0), st.integers(1, 4)
)
def test_coarse_planes_tie_everywhere_and_are_solved_exactly(planes, x0, width, y0, height):
    """Planes and windows on a coarse binary grid: boundaries through corners and along
    sides of the window, many planes through one point, parallel and identical planes."""
    check_exact(planes, (x0 / 2, (x0 + width) / 2, y0 / 2, (y0 + height) / 2), samples=20)


def through_point(slopes, x=0.25, y=-0.5, g=1.0):
    return [(a, b, g - a * x - b * y) for a, b in slopes]


@pytest.mark.parametrize(
    "name, planes, window, stable",
    [
        (
            "twelve planes through one point",
            through_point([(np.cos(k * np.pi / 6), np.sin(k * np.pi / 6)) for k in range(12)]),
            (-1, 1, -1, 1),
            None,
        ),
        (
            "twelve exact planes through one point, three of them lowest only on rays",
            through_point(
                [(a, b) for a in (-1, 0, 1) for b in (-1, 0, 1)] + [(2, 0), (0, 2), (-2, 0)]
            ),
            (-1, 1, -1, 1),
            [1, 7, 10, 11, 12],
        ),
        (
            "identical planes",
            [(1, 0, 0), (0, 1, 0), (1, 0, 0), (0, 1, 0), (-1, -1, 0)],
            (-1, 1, -1, 1),
            [1, 2, 5],
        ),
        ("parallel planes", [(1, 1, 3), (1, 1, 2), (1, 1, 2.5)], (-1, 1, -1, 1), [2]),
        ("boundary through two window corners", [(1, 0, 0), (0, 1, 0)], (0, 1, 0, 1), [1, 2]),
        ("boundary along a window side", [(0, 0, 0), (1, 0, 0), (-1, 0, 1)], (0, 1, 0, 1), [1]),
        (
            "a plane lowest at one point only",
            [(0, 0, 0), (1, 1, 0), (-1, 1, 0), (0, -2, 0)],
            (-1, 1, -1, 1),
            [2, 3, 4],
        ),
        ("one plane", [(0.5, -2, 7)], (-3, -1, 2, 5), [1]),
        (
            "planes far outside the window",
            [(1e-200, 0, 0), (0, 1e200, 1e210), (-1e-200, 3e-200, 1e-190), (1e150, 1e150, -1e170)],
            (-1, 1, -1, 1),
            None,
        ),
        (
            "a window of subnormal size, corners rounded to subnormals",
            [
                (2.0**1000, 0, 0),
                (-(2.0**1000), 2.0**999, 2.0**-70),
                (0, -(2.0**1000), 2.0**-71),
            ],
            (-(2.0**-1060), 2.0**-1060, -(2.0**-1062), 2.0**-1061),
            [1, 2, 3],
        ),
    ],
)
def test_degenerate_families(name, planes, window, stable):
    e = check_exact(planes, window)
    if stable is not None:
        assert [r.surface for r in e.regions] == stable, name


def test_a_hundred_planes_through_one_point():
    """Only the planes whose slopes are corners of the slopes' hull have a region: a wedge
    from the common point; the others tie there and along rays."""
    slopes = [(k - 50, (k - 50) ** 2 / 64) for k in range(0, 100, 2)]
    slopes += [(k - 50, (k - 50) ** 2 / 64 + 1) for k in range(1, 98, 2)] + [(0, 20)]
    planes = np.array(through_point(slopes))
    e = phasemap.envelope(planes, (-1, 1, -1, 1))
    assert [r.surface for r in e.regions] == list(range(1, 51))
    assert all((0.25, -0.5) in map(tuple, r.corners.tolist()) for r in e.regions)
    assert sum(r.area for r in e.regions) == pytest.approx(4.0, rel=1e-12)
    assert (e.stable_at(0.25, -0.5), e.energy_at(0.25, -0.5)) == (1, 1.0)
    default = engine.solve(planes, (-1, 1, -1, 1), 0)
    for how in (1, 2):
        assert all(map(np.array_equal, engine.solve(planes, (-1, 1, -1, 1), how), default))


INPUTS = [case.input for case in golden_cases.cases() if case.status == 0] + [
    golden_cases.EXAMPLES / name / "input.txt" for name in golden_cases.examples()
]
# Where the program's search accepts a corner that no plane lies more than 0.0001 below, it
# reports surfaces that tie within that tolerance, and near-meetings of four planes as
# clusters of corners 1e-4 wide; the exact engine does neither.
NEAR_TIES = {
    "regions-tolerance": "a surface 0.0001 above another is reported over the whole window",
    "map-square-window": "a surface tied along the left edge is reported as a sliver",
    "map-sixteen-greys": "four surfaces nearly meet: clusters of corners 1e-4 wide",
    "extra-map-in-subfolder": "a surface that ties along a whole boundary has a region of area 0",
}


@pytest.mark.parametrize("path", INPUTS, ids=lambda p: p.parent.name)
def test_agrees_with_the_program(path):
    """The same stable surfaces, and each corner within single-precision rounding of one of
    the program's and back; where the program's tolerance reports near ties, the surfaces
    the engine finds are among the program's and the corners within its tolerance."""
    diagram = phasemap.read_input(path)
    if not diagram.surfaces:
        with pytest.raises(ValueError, match="no planes"):
            diagram.solve_exact()
        return
    result, exact = diagram.solve(), diagram.solve_exact()
    assert np.array_equal(exact.planes, result.planes)
    program = {r.surface: np.float32(r.corners) for r in result.regions}
    ours = {r.surface: r.corners for r in exact.regions}
    near_tie = path.parent.name in NEAR_TIES
    assert set(ours) <= set(program) if near_tie else set(ours) == set(program)
    tolerance = (2e-4 if near_tie else 4e-6) * max(map(abs, diagram.window))
    for s, corners in ours.items():
        distance = np.abs(corners[:, None, :] - program[s][None, :, :]).max(axis=2)
        assert distance.min(axis=1).max() <= tolerance, s
        assert near_tie or distance.min(axis=0).max() <= tolerance, s


def test_sweep_equals_one_envelope_per_diagram():
    rng = np.random.default_rng(7)
    planes = binary_planes(rng, 9)
    d = planes[:, 2] + rng.normal(0, 0.5, (30, 9))
    points = [(0.0, 0.0), (-1.9, 1.2)]
    window = (-2.0, 1.5, -1.0, 3.0)
    s = phasemap.envelope_sweep(planes[:, :2], d, window, points=points, centroids=True)
    assert s.areas.shape == s.stable.shape == (30, 9) and s.stable_at.shape == (30, 2)
    for k in range(30):
        e = phasemap.envelope(np.column_stack([planes[:, :2], d[k]]), window)
        areas, centroids = np.zeros(9), np.full((9, 2), np.nan)
        for r in e.regions:
            areas[r.surface - 1], centroids[r.surface - 1] = r.area, r.centroid
        assert np.array_equal(s.areas[k], areas)
        assert np.array_equal(s.centroids[k], centroids, equal_nan=True)
        assert s.stable[k].tolist() == [i + 1 not in e.never_stable for i in range(9)]
        assert s.stable_at[k].tolist() == e.stable_at(*np.transpose(points)).tolist()
    assert np.array_equal(s.frequency, s.stable.mean(axis=0))
    # A generator of blocks and one diagram as a flat row give the same.
    chunks = (d[k:][:7] for k in range(0, 30, 7))
    blocks = phasemap.envelope_sweep(planes[:, :2], chunks, window)
    assert np.array_equal(blocks.areas, s.areas) and blocks.centroids is None
    assert np.array_equal(phasemap.envelope_sweep(planes[:, :2], d[3], window).areas, s.areas[3:4])


def test_solve_exact_goes_beyond_the_program_s_corner_table():
    diagram = phasemap.read_input(golden_cases.GOLDEN / "refuse-too-many-corners" / "input.txt")
    with pytest.raises(phasemap.InputError):
        diagram.solve()
    e = diagram.solve_exact()
    assert e.regions and sum(r.area for r in e.regions) == pytest.approx(
        (diagram.window[1] - diagram.window[0]) * (diagram.window[3] - diagram.window[2])
    )
    document = e.as_dict()
    assert document["axis_titles"] == {"x": diagram.x_title, "y": diagram.y_title}
    assert [s["name"] for s in document["surfaces"]] == [s.name for s in diagram.surfaces]
    names = [s.name for s in diagram.surfaces]
    again = phasemap.envelope(e.planes, diagram.window, names=names)
    assert again.as_dict()["regions"] == document["regions"]


# (Its plot: test_plot.py and test_plot_line.py.)
def test_json():
    e = phasemap.envelope(
        [(1, 0, 0), (-1, 0, 0), (0, 0, 5)], (-1, 1, -1, 1), names=["A", "Bé", "C"]
    )
    document = json.loads(e.to_json())
    assert document == e.as_dict()
    assert document["surfaces"][2] == {
        "index": 3,
        "name": "C",
        "plane": {"a": 0.0, "b": 0.0, "d": 5.0},
        "has_region": False,
    }
    assert [r["name"] for r in document["regions"]] == ["A", "Bé"]


@pytest.mark.parametrize(
    "planes, window, words",
    [
        ([], (0, 1, 0, 1), "got shape (0,)"),
        (np.empty((0, 3)), (0, 1, 0, 1), "no planes"),
        ([(0, 0)], (0, 1, 0, 1), "got shape (1, 2)"),
        ([(0, 0, np.nan)], (0, 1, 0, 1), "its d is nan"),
        ([(0, 0, 0, 1)], (0, 1, 0, 1), "c = 0"),
        ([("a", 0, 0)], (0, 1, 0, 1), "planes must be an array of numbers"),
        ([(0, 0, 0)], (1, 0, 0, 1), "empty or inverted"),
        ([(0, 0, 0)], (0, 1, 0, 0), "empty or inverted"),
        ([(0, 0, 0)], (0, np.inf, 0, 1), "must be finite"),
        ([(0, 0, 0)], (0, 1, 0), "window must be four numbers"),
    ],
)
def test_bad_input_is_refused_with_a_clear_message(planes, window, words):
    with pytest.raises(ValueError, match="phasemap.envelope: .*" + re.escape(words)):
        phasemap.envelope(planes, window)


def test_bad_names_and_points_are_refused():
    with pytest.raises(ValueError, match="2 names for 1 planes"):
        phasemap.envelope([(0, 0, 0)], (0, 1, 0, 1), names=["a", "b"])
    with pytest.raises(ValueError, match="its x is inf"):
        phasemap.envelope([(0, 0, 0)], (0, 1, 0, 1)).stable_at(np.inf, 0)
    with pytest.raises(ValueError, match=r"d must be an \(m, 2\) array"):
        phasemap.envelope_sweep([(0, 0), (1, 1)], np.zeros((4, 3)), (0, 1, 0, 1))


def test_threads_solve_at_once():
    """The engine keeps no state between calls: threads get what one thread gets."""
    import concurrent.futures

    rng = np.random.default_rng(11)
    studies = [binary_planes(rng, n) for n in (5, 40, 300, 2000)]
    window = (-2.0, 1.5, -1.0, 3.0)
    expected = [engine.solve(p, window, 0) for p in studies]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        for _ in range(3):
            for got, want in zip(pool.map(lambda p: engine.solve(p, window, 0), studies), expected):
                assert all(np.array_equal(a, b) for a, b in zip(got, want))


def test_energies_beyond_the_double_range_are_compared_exactly():
    e = phasemap.envelope(
        [(1e300, 0, 0), (-1e300, 1e300, 1e300), (-1e300, 1e300, 0)], (-1, 1, -1, 1)
    )
    x, y = np.array([1e10, 1e10, -1e10]), np.array([0.0, 1e10, 0.0])
    assert e.stable_at(x, y).tolist() == [3, 3, 1]  # g_2 - g_3 = 1e300 where a x overflows
    assert e.energy_at(x, y).tolist() == [-np.inf, 0.0, -np.inf]
