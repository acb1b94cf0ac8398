"""The colour map as text from every result (`to_svg`, `_repr_svg_`): the program's file for a
Result, the same page filled with the exact engine's regions for an Envelope or a StudyResult,
any number of them, coloured by the maps' rule and cut to what the map draws."""

import re
import subprocess
import sys
import warnings
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py
import svg_bounds

SVG = "{http://www.w3.org/2000/svg}"
CASES = [case for case in golden_cases.cases() if case.status == 0]
EXAMPLES = [golden_cases.EXAMPLES / name / "input.txt" for name in golden_cases.examples()]
needs_engine = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)


def quietly(call, *args):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", phasemap.InputWarning)
        return call(*args)


def polygons(svg):
    root = ElementTree.fromstring(svg)
    return [p for p in root.iter(SVG + "polygon") if p.get("class") == "region"]


def texts(svg):
    return ["".join(t.itertext()) for t in ElementTree.fromstring(svg).iter(SVG + "text")]


def check_cut_to_the_drawing(svg):
    if svg_bounds.fonts() is None:
        return
    beyond, rooms = svg_bounds.outside_view(svg.encode("utf-8"))
    assert beyond == [] and max(rooms) < 25, (beyond, rooms)


# The text is the file the program writes, byte for byte (CR LF records and all), and where
# a case pins its SVG map, that file.
@pytest.mark.parametrize("case", CASES, ids=str)
def test_result_gives_the_programs_file(case, tmp_path):
    diagram = quietly(phasemap.read_input, case.input)
    case.make_subfolders(tmp_path)
    quietly(diagram.write, tmp_path, False, True)
    (written,) = tmp_path.rglob("*.svg")
    svg = quietly(diagram.solve).to_svg()
    assert svg.encode("utf-8") == written.read_bytes()
    pinned = [b for n, b in case.outputs.items() if n.endswith(".svg")]
    assert pinned in ([], [written.read_bytes()])


# From solve_exact: the diagram's page (titles, window, lines, labels, view) as the program
# draws it, filled with the engine's regions, named and coloured as the plots colour them.
@needs_engine
@pytest.mark.parametrize("path", EXAMPLES, ids=lambda p: p.parent.name)
def test_exact_result_fills_the_diagrams_page(path):
    diagram = quietly(phasemap.read_input, path)
    exact, program = diagram.solve_exact().to_svg(), diagram.solve().to_svg()
    kept = [line for line in exact.split("\r\n") if 'class="region"' not in line]
    assert kept == [line for line in program.split("\r\n") if 'class="region"' not in line]
    regions = diagram.solve_exact().regions
    shown = polygons(exact)
    assert [(int(p.get("data-surface")), p.get("data-name")) for p in shown] == [
        (r.surface, r.name) for r in regions
    ]
    from phasemap._plot_colours import palette_indices

    assert [p.get("fill").lower() for p in shown] == [
        phasemap.PALETTE[i] for i in palette_indices(regions)
    ]
    check_cut_to_the_drawing(exact)


def voronoi(count, seed):
    """Planes whose envelope over the unit square is the Voronoi diagram of random sites."""
    sites = np.random.default_rng(seed).uniform(0.02, 0.98, (count, 2))
    return np.column_stack((-2 * sites[:, 0], -2 * sites[:, 1], (sites**2).sum(axis=1)))


# Hundreds of regions with many corners, from the engine's arrays: each a polygon with its
# surface and name, neighbours apart in colour, the titles "x" and "y" without a μ.
@needs_engine
def test_any_number_of_regions_from_the_engines_arrays():
    names = [f"T{i}<{i % 7}>" for i in range(1, 401)]
    envelope = phasemap.envelope(voronoi(400, 7), (0, 1, 0, 1), names=names)
    svg = envelope.to_svg()
    shown = polygons(svg)
    assert [(int(p.get("data-surface")), p.get("data-name")) for p in shown] == [
        (r.surface, r.name) for r in envelope.regions
    ]
    assert len(shown) == len(envelope.regions) > 300
    assert "\u03bc" not in "".join(texts(svg)) and {"x", "y"} <= set(texts(svg))
    check_cut_to_the_drawing(svg)
    pytest.importorskip("matplotlib")
    from plot_checks import difference, sides_shared

    corners = [r.corners for r in envelope.regions]
    fills = [p.get("fill") for p in shown]
    for i, j in sides_shared(corners):
        assert difference(fills[i], fills[j]) >= phasemap.NEIGHBOUR_DIFFERENCE
    envelope.titles = ("O_{2}", "H_{2}O")
    assert texts(envelope.to_svg()).count("\u03bc") == 2


# A Diagram of more surfaces than the program's table is solved by the engine alone: its page
# comes from its entries, its regions and names from the engine's result.
@needs_engine
def test_more_regions_than_the_programs_table_on_a_diagrams_page():
    diagram = quietly(
        phasemap.read_input, golden_cases.GOLDEN / "lines-every-keyword" / "input.txt"
    )
    many = object.__new__(phasemap.Diagram)
    many.__dict__.update(diagram.__dict__)
    object.__setattr__(many, "surfaces", tuple(diagram.surfaces) * 8)  # 24, as read unlimited
    many.__dict__.pop("_input", None)
    names = [f"surface {i}" for i in range(1, 41)]
    rows = voronoi(40, 3) * [2.0, 1.5, 1.0]
    window = tuple(diagram.window)
    planes = np.column_stack((rows[:, 0], rows[:, 1], -np.ones(40), rows[:, 2]))
    exact = phasemap._envelope._envelope_of(planes, window, names, ("O", "H"), many)
    svg = exact.to_svg()
    assert [p.get("data-name") for p in polygons(svg)] == [r.name for r in exact.regions]
    program = quietly(diagram.solve).to_svg()
    page = [line for line in program.split("\r\n") if 'class="region"' not in line]
    assert [line for line in svg.split("\r\n") if 'class="region"' not in line] == page


def fe3o4():
    study = phasemap.Study(
        ("Fe3O4", -56.25), "O2", "H2O", {"O2": -9.86, "H2O": -14.22, "H2": -6.77},
        competing=[("Fe", -8.31), ("FeO", -16.04), ("Fe2O3", -39.88)],
    )  # fmt: skip
    study.add(
        phasemap.Slab("SCV", "Fe26O40", -519.034, 70.49),
        phasemap.Slab("DBT", "Fe28O40", -536.144, 70.49),
        phasemap.Slab("SCV+H2O", "Fe26O41H2", -533.5, 70.49),
    )
    return study


# A study's axes say Δμ of its species in eV: the Δ ends where the map's μ starts.
@needs_engine
def test_study_map_says_delta_mu():
    result = fe3o4().solve(window=(None, None, -2.5, None))
    svg = result.to_svg()
    assert len(polygons(svg)) == len(result.regions)
    deltas = re.findall(r'<text x="([^"]+)" y="([^"]+)" [^>]*text-anchor="end"[^>]*>\u0394<', svg)
    mus = re.findall(r'<text x="([^"]+)" y="([^"]+)" [^>]*>\u03bc<', svg)
    assert len(deltas) == 2 and deltas == mus
    assert {"O2 (eV)", "H2O (eV)"} <= set(texts(svg))
    check_cut_to_the_drawing(svg)


# In a notebook every result shows its colour map, without matplotlib; a window the map
# cannot show gives no SVG (the notebook falls back on the PNG) where to_svg refuses.
@needs_engine
def test_notebooks_show_the_colour_map_without_matplotlib():
    script = """
import sys
sys.modules["matplotlib"] = None
import phasemap
diagram = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
study = phasemap.Study(("Fe3O4", -56.25), "O2", "H2O", {"O2": -9.86, "H2O": -14.22, "H2": -6.77})
study.add(phasemap.Slab("SCV", "Fe26O40", -519.034, 70.49),
          phasemap.Slab("DBT", "Fe28O40", -536.144, 70.49))
for result in (diagram.solve(), diagram.solve_exact(), study.solve(window=(-3, 0, -2, 0))):
    assert result._repr_svg_() == result.to_svg()
    assert result._repr_png_() is None
print("shown")
"""
    done = subprocess.run(
        [sys.executable, "-c", script], cwd=golden_cases.SOURCE, capture_output=True, text=True
    )
    assert done.stdout == "shown\n", done.stderr
    wide = phasemap.envelope([(1, 0, 0), (-1, 0, 0)], (-1e4, 1e4, -1, 1))
    with pytest.raises(phasemap.InputError, match="tick"):
        wide.to_svg()
    assert wide._repr_svg_() is None
