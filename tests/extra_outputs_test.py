"""phase.json and the SVG map of every golden case, run with --json and --svg besides its own
options: phase.json against docs/phase.schema.json and the run's phase.out, the SVG map against
its EPS map and cut to what it draws, every other file as the case holds it."""

import json
import math
import os
import re
import struct
import xml.etree.ElementTree as ElementTree

import jsonschema
import pytest

import golden_cases  # tests/support, put on the path by conftest.py
import svg_bounds

SCHEMA = json.loads((golden_cases.SOURCE / "docs" / "phase.schema.json").read_text())
CASES = golden_cases.cases()
ACCEPTED = [case for case in CASES if case.status == 0]


def phase_out_regions(text):
    """(name, {vertex: (x, y)}) of every region phase.out reports (its bytes), the name taken
    from its 40 bytes."""
    regions = []
    for line in text.split(b"\r\n"):
        if b" has " in line and line.rstrip().endswith(b"vertices"):
            regions.append((line[1:41].decode("utf-8", "replace").rstrip(), {}))
        elif line.strip():
            vertex, x, y, _ = line.split()
            regions[-1][1][int(vertex)] = (float(x), float(y))
    return regions


def shown_alike(name):
    """A name with every run of characters that phase.out (one "?" a byte) or phase.json
    (U+FFFD) do not show as typed made one "?"."""
    return re.sub("[?\ufffd\ufffe\uffff\u2028\u2029\x7f-\x9f]+", "?", name)


def single(value):
    """The single-precision value a number of phase.json stands for."""
    return struct.unpack("f", struct.pack("f", value))[0]


def signed_area(corners):
    """Shoelace area, positive counter-clockwise, about the first corner, from the
    single-precision corners the run holds."""
    corners = [(single(x), single(y)) for x, y in corners]
    x0, y0 = corners[0]
    shifted = [(x - x0, y - y0) for x, y in corners]
    return 0.5 * sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(shifted, shifted[1:] + shifted[:1]))


def extra_outputs(files):
    """phase.json and the SVG map among the files a run left."""
    return {name for name in files if name == "phase.json" or name.endswith(".svg")}


@pytest.fixture(scope="module")
def runs(tmp_path_factory):
    root = tmp_path_factory.mktemp("extra")
    asked = {"--json", "--svg"}
    return {
        case.name: case.run(root / case.name, sorted(asked | set(case.options))) for case in CASES
    }


# A failed run leaves neither phase.json nor the SVG map, a complete one both; every other file
# is as the case holds it.
@pytest.mark.parametrize("case", CASES, ids=str)
def test_the_extra_outputs_change_no_other_file(runs, case):
    outcome = runs[case.name]
    assert outcome.status == case.status
    assert len(extra_outputs(outcome.files)) == (2 if case.status == 0 else 0)
    others = {n: b for n, b in outcome.files.items() if n not in extra_outputs(outcome.files)}
    expected = {n: b for n, b in case.outputs.items() if n not in extra_outputs(case.outputs)}
    golden_cases.assert_same_files(expected, others)


@pytest.mark.parametrize("case", ACCEPTED, ids=str)
def test_phase_json_holds_the_regions_of_phase_out(runs, case):
    files = runs[case.name].files
    document = json.loads(files["phase.json"].decode("utf-8"))
    jsonschema.validate(document, SCHEMA)
    reported = phase_out_regions(files["phase.out"])
    assert [shown_alike(r["name"]) for r in document["regions"]] == [
        shown_alike(n) for n, _ in reported
    ]
    assert [s["index"] for s in document["surfaces"] if s["has_region"]] == [
        r["surface"] for r in document["regions"]
    ]
    for region, (_, vertices) in zip(document["regions"], reported):
        # The corners of phase.out (listed in order of discovery there), each to the 7 digits
        # phase.out shows.
        assert sorted(region["vertices"]) == sorted(vertices)
        for number, (x, y) in zip(region["vertices"], region["corners"]):
            assert math.isclose(x, vertices[number][0], rel_tol=1.5e-6, abs_tol=1e-37)
            assert math.isclose(y, vertices[number][1], rel_tol=1.5e-6, abs_tol=1e-37)
        area = signed_area(region["corners"])
        assert area <= 1e-9 * max(1.0, region["area"]), "not clockwise"
        assert math.isclose(region["area"], -area, rel_tol=1e-6, abs_tol=1e-12)


SVG = "{http://www.w3.org/2000/svg}"


def eps_region_corners(text):
    """Page corners of every filled region of the EPS map, in drawing order."""
    regions, corners = [], None
    for line in text.splitlines():
        words = line.split()
        if len(words) == 1 and re.fullmatch(r"gr\d+", words[0]):
            corners = []
        elif corners is not None and len(words) == 3 and words[2] in ("M", "L"):
            corners.append((float(words[0]), float(words[1])))
        elif corners is not None and words == ["closepath"]:
            regions.append(corners)
            corners = None
    return regions


def eps_dashed_lines(text):
    """Every guide and equilibrium line of the EPS map: its dash pattern and its two ends."""
    lines, records = [], text.splitlines()
    for at, record in enumerate(records):
        dash = re.fullmatch(r"\s*\[([^\]]*)\]\s+0 setdash", record)
        if dash:
            start, end = records[at + 1].split(), records[at + 2].split()
            lines.append((dash[1], *map(float, start[:2] + end[:2])))
    return lines


def eps_strings(text):
    """Plain ASCII strings the EPS map shows, blanks trimmed; those with octal escapes or the
    "?" of a character without a glyph (which the SVG shows as itself) are left out."""
    shown = re.findall(r"\(([^()\\]*)\)\s*(?:show|SN|STxt)", text)
    return [s.strip() for s in shown if s.strip() and s != "m" and "?" not in s]


@pytest.mark.parametrize("case", ACCEPTED, ids=str)
def test_svg_map_draws_the_regions_and_texts_of_the_eps_map(runs, case):
    files = runs[case.name].files
    (svg_name,) = extra_outputs(files) - {"phase.json"}
    raw = files[svg_name]
    assert raw.startswith(b'<?xml version="1.0" encoding="UTF-8"?>\r\n')
    assert all(line.endswith(b"\r") for line in raw.split(b"\n")[:-1])
    root = ElementTree.fromstring(raw)
    assert root.get("version") == "1.1"
    document = json.loads(files["phase.json"].decode("utf-8"))
    polygons = [p for p in root.iter(SVG + "polygon") if p.get("class") == "region"]
    assert [(int(p.get("data-surface")), p.get("data-name")) for p in polygons] == [
        (r["surface"], r["name"]) for r in document["regions"]
    ]
    (eps,) = [b.decode("latin-1") for b in files.values() if b.startswith(b" %!PS")]
    for polygon, corners in zip(polygons, eps_region_corners(eps), strict=True):
        points = [tuple(map(float, p.split(","))) for p in polygon.get("points").split()]
        assert points == pytest.approx(corners, rel=1e-6)
    guides = next((g for g in root.iter(SVG + "g") if g.get("class") == "guides"), [])
    assert [
        (line.get("stroke-dasharray", ""), *(float(line.get(k)) for k in ("x1", "y1", "x2", "y2")))
        for line in guides
    ] == eps_dashed_lines(eps)
    texts = ["".join(t.itertext()) for t in root.iter(SVG + "text")]
    for shown in eps_strings(eps):
        assert any(shown in t for t in texts), shown


def require_fonts():
    """Skips the test without the fonts' metrics, except under CI, where it fails."""
    if svg_bounds.fonts() is None:
        if os.environ.get("CI") == "true":
            pytest.fail("fontconfig and fontTools are required under CI")
        pytest.skip("fontconfig (fc-match) or fontTools is missing")


# The view is the drawing's own: every stroke and text lies inside it (texts measured by the
# glyphs of the fonts a renderer takes), with room on every side, but not much more than
# the margin (a whole page would leave 100 points or more).
@pytest.mark.parametrize("case", ACCEPTED, ids=str)
def test_svg_map_is_cut_to_what_it_draws(runs, case):
    require_fonts()
    (svg_name,) = extra_outputs(runs[case.name].files) - {"phase.json"}
    beyond, rooms = svg_bounds.outside_view(runs[case.name].files[svg_name])
    assert beyond == []
    assert max(rooms) < 25, rooms


def test_failed_run_keeps_the_earlier_phase_json(tmp_path):
    case = golden_cases.Case("regions-two-surfaces", golden_cases.GOLDEN / "regions-two-surfaces")
    assert case.run(tmp_path, ["--json"]).status == 0
    earlier = (tmp_path / "phase.json").read_bytes()
    (tmp_path / "input.txt").write_text("bulk\n1 2\n-16.5 0\n")
    assert golden_cases.run_program(tmp_path, ["--json"]).status == 1
    assert (tmp_path / "phase.json").read_bytes() == earlier
