"""tools/render-map: a cropped PNG, PDF and EPS of a map or of a colour map, fonts embedded,
the map left as it was; what it refuses."""
import os
import pathlib
import re
import shutil
import subprocess

import pytest

import golden_cases  # tests/support, put on the path by conftest.py

SOURCE = pathlib.Path(__file__).resolve().parent.parent
SCRIPT = SOURCE / "tools" / "render-map"
EXAMPLES = SOURCE / "docs" / "examples"
DEMO_MAP = EXAMPLES / "oxide-in-oxygen-and-water.ps"


def require(tool):
    """Skips the test when `tool` is missing, except under CI, where it fails."""
    if shutil.which(tool) is None:
        if os.environ.get("CI") == "true":
            pytest.fail(f"{tool} is required under CI")
        pytest.skip(f"{tool} is not installed")


def render(*arguments, cwd=None, env=None):
    return subprocess.run(
        [SCRIPT, *map(str, arguments)],
        cwd=cwd,
        capture_output=True,
        text=True,
        env=None if env is None else {**os.environ, **env},
    )


def bounding_box(text):
    found = re.search(r"%%BoundingBox:\s*(-?\d+) (-?\d+) (-?\d+) (-?\d+)", text)
    return [int(n) for n in found.groups()] if found else None


def marks_of(path):
    """Where ghostscript's bbox device finds marks on the page a PostScript file draws."""
    return bounding_box(
        subprocess.run(
            ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=bbox", path],
            capture_output=True,
            text=True,
        ).stderr
    )


def fonts_not_embedded_as_subset(pdf):
    """How many fonts pdffonts lists for a PDF, and the rows of those not embedded as a subset."""
    listing = subprocess.run(["pdffonts", pdf], capture_output=True, text=True, check=True).stdout
    header, _, *rows = listing.splitlines()
    flags = header.index(" emb sub ")
    return len(rows), [row for row in rows if row[flags : flags + 9] != " yes yes "]


# A relative output base name whose folder does not exist yet, as a user would type it; the
# map is left as it was. The EPS declares a box exactly where it draws, as large as the
# drawing of the map. Submission checks refuse a PDF with a font that is not embedded. The EPS
# must carry its fonts too: without its font map, which is where the standard fonts a file
# only names come from, ghostscript still turns it into a PDF, and that one's fonts are all
# embedded. The second map also shows labels in the Latin-1 copy of Times-Roman.
@pytest.mark.parametrize("name", ["oxide-in-oxygen-and-water", "hematite-terminations"])
def test_writes_picture_pdf_and_a_tight_eps_with_every_font_embedded(tmp_path, name):
    require("gs")
    require("pdffonts")
    shutil.copy(EXAMPLES / f"{name}.ps", tmp_path / "map1.ps")
    result = render("map1.ps", f"pictures/{name}", cwd=tmp_path)
    assert result.returncode == 0 and "Error" not in result.stderr, result.stderr
    unchanged = (tmp_path / "map1.ps").read_bytes() == (EXAMPLES / f"{name}.ps").read_bytes()
    assert unchanged, "render-map changed the map"
    base = tmp_path / "pictures" / name
    assert base.with_suffix(".png").read_bytes().startswith(b"\x89PNG")
    eps = base.with_suffix(".eps").read_text(encoding="latin-1")
    header = eps[: eps.index("%%EndComments")]
    assert eps.startswith("%!PS-Adobe-3.0 EPSF-3.0\n") and "%%HiResBoundingBox:" in header
    declared, drawn = bounding_box(header), marks_of(tmp_path / "map1.ps")
    assert marks_of(base.with_suffix(".eps")) == declared
    assert abs((declared[2] - declared[0]) - (drawn[2] - drawn[0])) <= 1
    assert abs((declared[3] - declared[1]) - (drawn[3] - drawn[1])) <= 1
    from_eps = tmp_path / "from-eps.pdf"
    converted = subprocess.run(
        ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dNOFONTMAP", "-sDEVICE=pdfwrite",
         f"-sOutputFile={from_eps}", base.with_suffix(".eps")],
        capture_output=True,
        text=True,
    )  # fmt: skip
    assert converted.returncode == 0, f"the EPS needs fonts it does not carry:\n{converted.stderr}"
    for pdf in (base.with_suffix(".pdf"), from_eps):
        assert pdf.read_bytes().startswith(b"%PDF-")
        count, not_embedded = fonts_not_embedded_as_subset(pdf)
        assert count >= 2, f"{pdf} lacks Times-Roman or Symbol"
        assert not_embedded == []


def colour_map(folder, whole_page):
    """The SVG map of the README's example as the program writes it, or put back on the whole
    Letter page as earlier builds wrote it."""
    folder.mkdir()
    shutil.copy(golden_cases.EXAMPLES / "oxide-in-oxygen-and-water" / "input.txt", folder)
    assert golden_cases.run_program(folder, ["--svg"]).status == 0
    svg = folder / "map1.svg"
    if whole_page:
        text = svg.read_text(encoding="utf-8")
        text = re.sub(
            r'width="\d+pt" height="\d+pt" viewBox="[^"]*"',
            'width="612pt" height="792pt" viewBox="0 0 612 792"',
            text,
            count=1,
        )
        text = re.sub(r'<rect class="background" [^>]*>',
                      '<rect class="background" x="0" y="0" width="612" height="792" '
                      'fill="#FFFFFF"/>', text, count=1)  # fmt: skip
        svg.write_text(text, encoding="utf-8")
    return svg


# Cut to the drawing with a margin of at most 14 points (a map of this build keeps its own
# 8), in colour, its fonts embedded as subsets; the map itself is left as it was.
@pytest.mark.parametrize("whole_page", [False, True], ids=["cut", "whole-page"])
def test_colour_map_is_cut_to_its_drawing(tmp_path, whole_page):
    require("gs")
    require("rsvg-convert")
    require("pdffonts")
    from PIL import Image, ImageChops

    svg = colour_map(tmp_path / "run", whole_page)
    before = svg.read_bytes()
    result = render(svg, tmp_path / "out" / "oxide", env={"PHASEMAP_RENDER_DPI": "72"})
    assert result.returncode == 0, result.stderr
    assert svg.read_bytes() == before
    base = tmp_path / "out" / "oxide"
    picture = Image.open(base.with_suffix(".png")).convert("RGB")
    ink = ImageChops.difference(picture, Image.new("RGB", picture.size, "white")).getbbox()
    rooms = (ink[0], ink[1], picture.width - ink[2], picture.height - ink[3])
    assert all(1 <= room <= 15 for room in rooms), rooms
    assert len(set(picture.getdata())) > 20, "not in colour"
    count, not_embedded = fonts_not_embedded_as_subset(base.with_suffix(".pdf"))
    assert count >= 1 and not_embedded == []
    assert base.with_suffix(".eps").read_bytes().startswith(b"%!PS-Adobe-3.0 EPSF-3.0")


def test_refuses_what_is_no_map_and_a_folder_it_cannot_make(tmp_path):
    (tmp_path / "empty.ps").write_text("")
    (tmp_path / "file").write_text("")
    (tmp_path / "plain.svg").write_text('<?xml version="1.0"?>\n<svg width="10" height="10"/>\n')
    assert render().returncode == 1
    assert render(tmp_path / "absent.ps").returncode == 1
    assert render(tmp_path / "empty.ps").returncode == 1
    assert render(DEMO_MAP, tmp_path / "dpi", env={"PHASEMAP_RENDER_DPI": "high"}).returncode == 1
    assert sorted(p.name for p in tmp_path.iterdir()) == ["empty.ps", "file", "plain.svg"]
    require("gs")
    require("rsvg-convert")
    result = render(tmp_path / "plain.svg")
    assert result.returncode == 1 and "no SVG map of phasemap" in result.stderr
    # The output folder would have to be made inside a plain file.
    result = render(DEMO_MAP, tmp_path / "file" / "sub" / "out")
    assert result.returncode == 1
    assert "cannot create or write the output folder" in result.stderr
    assert "Error" not in result.stderr, "a ghostscript report leaked"
