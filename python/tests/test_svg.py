"""The colour map as text from every result (`to_svg`, `_repr_svg_`): the program's file for a
Result, the same page filled with the exact engine's regions for an Envelope or a StudyResult,
any number of them, coloured by the maps' rule and cut to what the map draws."""

import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import phasemap
from phasemap._plot_colours import palette_indices

import golden_cases  # tests/support, put on the path by conftest.py
import svg_bounds
from helpers import fe3o4_study, voronoi_planes

SVG = "{http://www.w3.org/2000/svg}"
EXAMPLES = [golden_cases.EXAMPLES / name / "input.txt" for name in golden_cases.examples()]
# (That a Result's text is the file the program writes: test_phasemap.py, on every case.)
pytestmark = [
    pytest.mark.skipif(
        phasemap._envelope._engine is None, reason="the exact engine is not in this build"
    ),
    pytest.mark.filterwarnings("ignore::phasemap.InputWarning"),
]


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


# From solve_exact: the diagram's page (titles, window, lines, labels, view) as the program
# draws it, filled with the engine's regions, named and coloured as the plots colour them.
@pytest.mark.parametrize("path", EXAMPLES, ids=lambda p: p.parent.name)
def test_exact_result_fills_the_diagrams_page(path):
    diagram = phasemap.read_input(path)
    exact, program = diagram.solve_exact().to_svg(), diagram.solve().to_svg()
    kept = [line for line in exact.split("\r\n") if 'class="region"' not in line]
    assert kept == [line for line in program.split("\r\n") if 'class="region"' not in line]
    regions = diagram.solve_exact().regions
    shown = polygons(exact)
    assert [(int(p.get("data-surface")), p.get("data-name")) for p in shown] == [
        (r.surface, r.name) for r in regions
    ]
    assert [p.get("fill").lower() for p in shown] == [
        phasemap.PALETTE[i] for i in palette_indices(regions)
    ]
    check_cut_to_the_drawing(exact)


# Hundreds of regions with many corners, from the engine's arrays: each a polygon with its
# surface and name, coloured by the plots' rule (which keeps neighbours apart), the titles "x"
# and "y" without a μ.
def test_any_number_of_regions_from_the_engines_arrays():
    names = [f"T{i}<{i % 7}>" for i in range(1, 401)]
    planes = voronoi_planes(400, np.random.default_rng(7))
    envelope = phasemap.envelope(planes, (0, 1, 0, 1), names=names)
    svg = envelope.to_svg()
    shown = polygons(svg)
    assert [(int(p.get("data-surface")), p.get("data-name")) for p in shown] == [
        (r.surface, r.name) for r in envelope.regions
    ]
    assert len(shown) == len(envelope.regions) > 300
    assert "\u03bc" not in "".join(texts(svg)) and {"x", "y"} <= set(texts(svg))
    check_cut_to_the_drawing(svg)
    assert [p.get("fill").lower() for p in shown] == [
        phasemap.PALETTE[i] for i in palette_indices(envelope.regions)
    ]
    envelope.titles = ("O_{2}", "H_{2}O")
    assert texts(envelope.to_svg()).count("\u03bc") == 2


# A study's axes say Δμ of its species in eV: the Δ ends where the map's μ starts.
def test_study_map_says_delta_mu():
    study = fe3o4_study("SCV", "DBT", "SCV+H2O")
    result = study.solve(window=(None, None, -2.5, None))
    svg = result.to_svg()
    assert len(polygons(svg)) == len(result.regions)
    deltas = re.findall(r'<text x="([^"]+)" y="([^"]+)" [^>]*text-anchor="end"[^>]*>\u0394<', svg)
    mus = re.findall(r'<text x="([^"]+)" y="([^"]+)" [^>]*>\u03bc<', svg)
    assert len(deltas) == 2 and deltas == mus
    assert {"O2 (eV)", "H2O (eV)"} <= set(texts(svg))
    check_cut_to_the_drawing(svg)


# In a notebook every result shows its colour map, without matplotlib; a window the map
# cannot show gives no SVG (the notebook falls back on the PNG) where to_svg refuses.
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
