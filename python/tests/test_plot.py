"""The plots, from the drawn figure's artists and geometry (never its pixels): labels that
never overlap and stand in their regions or lead into them, neighbours coloured apart by the
program's one rule (in the plot and in the SVG map), texts exactly as written, the axes of
the field, and what is refused."""

import os
import random
import re
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import phasemap

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import golden_cases  # noqa: E402  (tests/support, put on the path by conftest.py)
from helpers import (  # noqa: E402
    check_labels,
    check_neighbour_colours,
    ciede2000,
    difference,
    sides_shared,
    voronoi_planes,
)

pytestmark = pytest.mark.filterwarnings("ignore::phasemap.InputWarning")
ROOT = golden_cases.SOURCE
# The golden cases the program accepts and the examples, as cases of the program.
CASES = [case for case in golden_cases.cases() if case.status == 0] + [
    golden_cases.Case(name, golden_cases.EXAMPLES / name) for name in golden_cases.examples()
]
THRESHOLD = phasemap.NEIGHBOUR_DIFFERENCE
needs_engine = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)


# --- colours -------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "lab1, lab2, expected",
    [  # Sharma, Wu and Dalal's test pairs 1, 7, 17, 25 and 34
        ((50, 2.6772, -79.7751), (50, 0, -82.7485), 2.0425),
        ((50, 0, 0), (50, -1, 2), 2.3669),
        ((50, 2.5, 0), (73, 25, -18), 27.1492),
        ((60.2574, -34.0099, 36.2677), (60.4626, -34.1751, 39.4387), 1.2644),
        ((2.0776, 0.0795, -1.135), (0.9033, -0.0636, -0.5514), 0.9082),
    ],
)
def test_the_tests_colour_difference_is_ciede2000(lab1, lab2, expected):
    assert ciede2000(lab1, lab2) == pytest.approx(expected, abs=1e-4)


def test_threshold_parts_the_palettes_alike_pairs_and_always_leaves_a_colour():
    palette = phasemap.PALETTE
    blues, pear_olive = difference("#77AADD", "#99DDFF"), difference("#BBCC33", "#AAAA00")
    assert blues == pytest.approx(14.2, abs=0.05) and pear_olive == pytest.approx(9.3, abs=0.05)
    assert max(blues, pear_olive) < THRESHOLD
    # Any five neighbours' colours leave one that differs from all five enough, so the
    # greedy colouring of a planar map always succeeds.
    import itertools

    far = [[difference(a, b) >= THRESHOLD for b in palette] for a in palette]
    for five in itertools.combinations_with_replacement(range(len(palette)), 5):
        assert any(all(far[c][n] for n in five) for c in range(len(palette))), five


def rule(surfaces, sides, corners=()):
    return phasemap._core.region_colours(
        np.array(surfaces, dtype=np.int32),
        np.array(sides, dtype=np.int32).reshape(-1, 2),
        np.array(corners, dtype=np.int32).reshape(-1, 2),
    ).tolist()


def test_the_rule_keeps_index_colours_and_moves_the_fewest():
    # 1 and 10 take the same blue, 1 and 5 the two light blues, 7 and 8 pear and olive.
    assert rule([1, 2, 3], [(0, 1), (1, 2), (0, 2)]) == [0, 1, 2]
    first, moved = rule([1, 10], [(0, 1)])
    assert first == 0 and difference(phasemap.PALETTE[moved], phasemap.PALETTE[0]) >= THRESHOLD
    assert rule([1, 5], [(0, 1)])[0] == 0 and rule([1, 5], [(0, 1)])[1] != 4
    assert rule([1, 5], []) == [0, 4]  # apart, both keep theirs
    # A region between two alike ones moves rather than both of them.
    assert rule([7, 8, 16], [(0, 1), (1, 2)]) == [6, rule([7, 8, 16], [(0, 1), (1, 2)])[1], 6]
    # Of two that may move the higher surface does, whatever the order given.
    assert rule([10, 1], [(0, 1)])[1] == 0 and rule([10, 1], [(1, 0)])[1] == 0
    # A region that moves avoids the colours of regions it meets at a corner where it can.
    moved = rule([1, 10, 2], [(0, 1)], [(1, 2)])[1]
    assert moved not in (0, 1) and difference(*(phasemap.PALETTE[c] for c in (moved, 1))) >= 15


@needs_engine
@pytest.mark.parametrize("seed", range(6))
def test_the_rule_parts_every_neighbour_on_random_maps(seed):
    rng = np.random.default_rng(seed)
    count = int(rng.integers(20, 400))
    # Voronoi maps are planar; surfaces chosen to clash (all the same colour, or random).
    surfaces = 1 + 9 * np.arange(count) if seed % 2 else rng.permutation(count) + 1
    e = phasemap.envelope(voronoi_planes(count, rng), (0, 1, 0, 1))
    sides = sides_shared([r.corners for r in e.regions])
    chosen = rule(surfaces[: len(e.regions)], sides)
    for i, j in sides:
        assert difference(phasemap.PALETTE[chosen[i]], phasemap.PALETTE[chosen[j]]) >= THRESHOLD
    shuffled = list(sides)
    random.Random(seed).shuffle(shuffled)
    assert rule(surfaces[: len(e.regions)], [(j, i) for i, j in shuffled]) == chosen


@pytest.mark.parametrize(
    "surfaces, sides", [([0], []), ([1, 2], [(0, 2)]), ([1, 2], [(0, -1)]), ([[1, 2]], [])]
)
def test_the_rule_refuses_what_is_no_map(surfaces, sides):
    with pytest.raises(ValueError):
        rule(surfaces, sides)


# --- every diagram the program accepts, the examples, random diagrams -------------------------


@pytest.mark.parametrize("case", CASES, ids=str)
def test_labels_and_colours_of_every_case(case, figure, tmp_path):
    result = phasemap.read_input(case.input).solve()
    if not result.regions:
        pytest.skip("no regions")
    ax = result.plot(ax=figure.gca())
    check_labels(ax, result.regions)
    faces = check_neighbour_colours(ax, result.regions, THRESHOLD)
    if not os.path.exists(golden_cases.BINARY):
        return
    # The SVG map colours every region as the plot does, neighbours apart.
    svg = [b for n, b in case.run(tmp_path, ["--svg"]).files.items() if n.endswith(".svg")]
    polygons = [
        p
        for p in ElementTree.fromstring(svg[0]).iter("{http://www.w3.org/2000/svg}polygon")
        if p.get("class") == "region"
    ]
    fills = {int(p.get("data-surface")): p.get("fill") for p in polygons}
    assert {s: matplotlib.colors.to_hex(f) for s, f in faces.items()} == {
        s: f.lower() for s, f in fills.items()
    }
    corners = [
        [tuple(map(float, xy.split(","))) for xy in p.get("points").split()] for p in polygons
    ]
    for i, j in sides_shared(corners):
        assert difference(polygons[i].get("fill"), polygons[j].get("fill")) >= THRESHOLD


@needs_engine
@pytest.mark.parametrize("seed", range(4))
def test_random_diagrams_of_20_to_60_regions(seed, figure):
    rng = np.random.default_rng(100 + seed)
    count = int(rng.integers(20, 61))
    words = ["A-layer (Fe_tet)", "x^2", "OH", "double O vacancies", "2H_{2}O", "$5", "SCV+3H2O"]
    names = [
        f"{rng.choice(words)} {i}" if i % 3 else str(rng.choice(words)) + str(i)
        for i in range(count)
    ]
    e = phasemap.envelope(voronoi_planes(count, rng), (0, 1, 0, 1), names=names)
    labels = ["names", "numbers", "legend", "names"][seed]
    ax = figure.gca()
    assert e.plot(ax=ax, labels=labels, aspect="equal" if seed == 3 else None) is ax
    found = check_labels(ax, e.regions)
    check_neighbour_colours(ax, e.regions, THRESHOLD)
    if labels == "legend":
        assert sorted(found["legend"]) == sorted(r.surface for r in e.regions)
    for text in ax.texts:  # names as written, numbers as numbers
        if text.get_gid() and text.get_gid().startswith("phasemap-label-"):
            surface = int(text.get_gid().rsplit("-", 1)[1])
            shown = text.get_text().replace("\n", " ")
            assert shown in (names[surface - 1], str(surface)) and not text.get_parse_math()


# --- texts and axes ----------------------------------------------------------------------------


def oxide():
    return phasemap.read_input(ROOT / "examples" / "oxide-in-oxygen-and-water" / "input.txt")


def test_names_come_out_as_written_unless_markup_is_asked(figure):
    diagram = oxide()
    names = ["A-layer (Fe_tet)", "x^2 $y$ 50%", "H_{2}O", "a\\b{c}", "#1 ~"]
    surfaces = [s.__class__(n, s.counts, s.area, s.energy) for n, s in zip(names, diagram.surfaces)]
    diagram.surfaces = surfaces + list(diagram.surfaces[len(names) :])
    result = diagram.solve()
    ax = result.plot(ax=figure.gca(), labels="legend")
    check_labels(ax, result.regions)
    legend = {t.get_gid(): t for t in ax.get_legend().get_texts()}
    for region in result.regions:
        text = legend[f"phasemap-legend-{region.surface}"]
        assert text.get_text() == f"{region.surface}: {region.name}" and not text.get_parse_math()
    ax.clear()
    ax = result.plot(ax=ax, markup=True, labels={"H_{2}O": "H_{2}O", 1: None})
    texts = {t.get_gid(): t for t in ax.texts}
    assert "phasemap-label-1" not in texts
    water = texts.get("phasemap-label-3")
    if water is not None:  # where it fits inside: mathtext, set by matplotlib
        assert water.get_text() == r"H${}_{\mathrm{2}}$O" and water.get_parse_math()
    figure.canvas.draw()


def test_axes_titles_shift_guides_and_pressure_scales(figure):
    diagram = phasemap.read_input(ROOT / "examples" / "every-keyword" / "input.txt")
    result = diagram.solve()
    ax = result.plot(ax=figure.gca())
    # μ with the title as its subscript, as the map sets it.
    assert ax.get_xlabel() == r"$\mu_{\mathrm{CO}{}_{\mathrm{2}}}$"
    figure.canvas.draw()
    shift = diagram.shift
    for axis, offset in zip((ax.xaxis, ax.yaxis), shift):
        for tick in axis.get_major_ticks():
            value, text = tick.get_loc(), tick.label1.get_text().replace("\N{MINUS SIGN}", "-")
            if text:
                assert float(text) == pytest.approx(value - offset, abs=1e-6)
    # Guide lines with the dash patterns of their places in their tables, solid in boxes.
    patterns = [tuple(float(v) for v in p.split()) for p in phasemap._core.dash_patterns]
    x_min, x_max, y_min, y_max = diagram.window
    expected = {
        "phasemap-xbound": [i for i, x in enumerate(diagram.x_guides) if x_min <= x <= x_max],
        "phasemap-ybound": [i for i, y in enumerate(diagram.y_guides) if y_min <= y <= y_max],
    }
    for gid, places in expected.items():
        drawn = [line for line in ax.lines if line.get_gid() == gid]
        assert len(drawn) == len(places) > 0
        for line, place in zip(drawn, places):
            pattern = patterns[min(place, len(patterns) - 1)]
            on_off = line._unscaled_dash_pattern[1]
            assert (tuple(on_off) if on_off else ()) == pattern
    assert [line.get_linestyle() for line in ax.lines if line.get_gid() == "phasemap-equ2"]
    assert {line.get_linestyle() for line in ax.lines if line.get_gid() == "phasemap-equ2"} == {"-"}
    # Both pressure-scale sets, ticks at whole powers of ten, the gas named.
    secondary = {child.get_gid(): child for child in ax.child_axes}
    temperatures = sorted({s.temperature for s in diagram.scales if s.temperature > 0})
    assert set(secondary) == {
        f"phasemap-pressure-{side}-{t:g}" for side in ("top", "right") for t in temperatures
    }
    top = secondary[f"phasemap-pressure-top-{temperatures[0]:g}"]
    assert top.get_xlabel() == r"p($\mathrm{CO}{}_{\mathrm{2}}$) / bar, 300 K"
    for tick in top.xaxis.get_major_ticks():
        if tick.label1.get_text():
            assert re.fullmatch(r"\$10\^\{-?\d+\}\$", tick.label1.get_text())
            assert tick.get_loc() == round(tick.get_loc())


def test_refusals(figure):
    result = oxide().solve()
    ax = figure.gca()
    with pytest.raises(TypeError, match="pressure"):
        result.plot(ax=ax, pressure=(300,))
    with pytest.raises(ValueError, match="no surface"):
        result.plot(ax=ax, labels={"no such surface": "x"})
    with pytest.raises(ValueError, match="'name'"):
        result.plot(ax=ax, labels="name")
    with pytest.raises(ValueError, match="450 K"):
        result.plot(ax=ax, pressures=(450,))
    with pytest.raises(ValueError, match="at most two"):
        result.plot(ax=ax, pressures=(300, 600, 900))
    with pytest.raises(TypeError, match="linestyles"):
        result.plot_line(ax=ax, y=-17.0, linestyles="--")
    with pytest.raises(ValueError, match="outside the window"):
        result.plot_line(ax=ax, y=-30.0)
    with pytest.raises(ValueError, match="give x"):
        result.plot_line(ax=ax, x=-12.0, y=-17.0)
    # The options, on the axes given: a region's colour by its name, titles with nested groups
    # and a stacked pair as mathtext that matplotlib sets, μ with the title as its subscript.
    result.diagram.x_title, result.diagram.y_title = "O_{2} (eV)", "x^{a}_{b} 10^{-5} $"
    colours = {result.regions[0].name: "#123456"}
    options = dict(pressures=False, aspect="equal", alpha=0.5, linewidth=0.3, colors=colours)
    assert result.plot(ax=ax, **options) is ax
    assert not ax.child_axes and ax.get_aspect() == 1.0 and ax.patches[0].get_alpha() == 0.5
    assert matplotlib.colors.to_hex(ax.patches[0].get_facecolor()) == "#123456"
    assert ax.get_xlabel() == r"$\mu_{\mathrm{O}{}_{\mathrm{2}}\mathrm{\ (eV)}}$"
    figure.canvas.draw()


def test_the_readmes_example_gives_a_figure_without_overlaps(in_a_folder_with_the_examples):
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    (block,) = re.findall(r"```python\n(.*?)```", readme, flags=re.S)
    namespace = {}
    exec(compile(block, "README.md", "exec"), namespace)
    ax, result = namespace["ax"], namespace["result"]
    assert check_labels(ax, result.regions)["inside"]
    check_neighbour_colours(ax, result.regions, THRESHOLD)
    assert (in_a_folder_with_the_examples / "oxide.pdf").exists()


def test_png_for_notebooks_leaves_no_figure_behind():
    before = plt.get_fignums()
    data = oxide().solve()._repr_png_()
    assert data.startswith(b"\x89PNG\r\n\x1a\n") and plt.get_fignums() == before
