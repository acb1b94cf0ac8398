"""Inputs of more surfaces than the program holds: read_input(path, limits=False) reads every
surface with the program's reader (the planes it derives, its checks and warnings), and a
Diagram of any number is solved exactly, while the program's solve and write refuse it."""

from __future__ import annotations

import dataclasses
import json
import pathlib

import numpy as np
import pytest

import phasemap

from helpers import warnings_of

SCHEMA = pathlib.Path(__file__).resolve().parents[2] / "docs" / "envelope.schema.json"
HEAD = "bulk\n1 2\n-16.5 2\nbound\n-2 0 -1.5 0\n"
needs_engine = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)


def records(n: int, seed: int = 3) -> list[str]:
    """n surface records of varied counts and areas, one a line, whose planes touch one
    concave surface over the window from above, give or take a little: many are stable."""
    rng = np.random.default_rng(seed)
    out = []
    for i in range(n):
        n2, n3, area = rng.integers(12, 21), rng.integers(0, 5), rng.choice([20.5, 41.0, 61.5])
        a, b = -8.01 * (n2 - 16) / area, -8.01 * n3 / area
        tx, ty = -1.0 - 0.6 * a, -1.2 - 0.6 * b  # where the plane touches
        d = -((tx + 1.0) ** 2 + (ty + 1.2) ** 2) / 1.2 - a * tx - b * ty + rng.normal(0, 0.02)
        out.append(f"'s {i + 1}' 8 {n2} {n3} {area} {d * area / 8.01 - 66:.4f}")
    return out


def text(lines: list[str], tail: str = "") -> str:
    return HEAD + f"surf {len(lines)}\n" + "\n".join(lines) + "\n" + tail + "stop\n"


@needs_engine
def test_every_surface_is_read_with_the_plane_the_programs_reader_derives():
    lines = records(40)
    diagram = phasemap.read_input(text(lines), limits=False)
    planes = diagram.solve_exact().planes
    assert len(diagram.surfaces) == len(planes) == 40
    # Each block of at most 16, read and solved by the program, has the same surfaces and
    # planes, bit for bit: the first 16 stand in the program's table, the rest only beyond.
    for start in (0, 16, 32):
        block = phasemap.read_input(text(lines[start : start + 16]))
        assert block.surfaces == diagram.surfaces[start : start + 16]
        assert np.array_equal(block.solve().planes, planes[start : start + 16])
    assert diagram.surfaces[39] == phasemap.Surface("s 40", (8, 16, 4), 41.0, -69.7847)


def test_the_program_and_the_default_refuse_more_than_16_and_say_where_to_go():
    with pytest.raises(phasemap.InputError) as refused:
        phasemap.read_input(text(records(17)))
    assert (refused.value.unit, refused.value.line) == (1, 6)
    assert str(refused.value).endswith(
        "the surf entry declares 17 surfaces; at most 16 can be held (for any number, run "
        "python3 -m phasemap, or use phasemap.read_input(path, limits=False) in Python)"
    )


def test_surfaces_beyond_the_table_warn_and_are_refused_as_the_first_ones():
    lines = records(20)
    lines[17] = "'negative' 8 16 0 -20.5 -140.2"
    lines[18] = "'bell\x07' 8 16 0 20.5 -150"  # far below the others: lowest everywhere
    diagram, said = warnings_of(
        phasemap.read_input, text(lines, "'s 21' 8 16 0 20.5 -140\n"), limits=False
    )
    assert said == [
        "phasemap: warning: input.txt, line 24: surface 18 'negative' has the negative area "
        "-20.500000, which turns its energy plane over, so its region means nothing",
        "phasemap: warning: input.txt, line 27: this looks like surface 21, but surf declares "
        "20 surfaces",
        "phasemap: warning: input.txt, line 25: the name of surface 19: the outputs do not "
        "show U+0007 as typed",
        "phasemap: warning: input.txt, line 5: surface 19 'bell\\x07' is the lowest everywhere "
        "in the window, and the nearest boundary of its region lies 20.5 eV beyond it, farther "
        "than the window is across: check that the window and the energies are in the same "
        "terms (with total energies, x and y are absolute chemical potentials)",
    ]
    assert len(diagram.surfaces) == 20
    lines[16] = "'flat' 8 16 0 0 -140"
    with pytest.raises(phasemap.InputError, match=r"line 23: surface 17 'flat' has area 0$"):
        phasemap.read_input(text(lines), limits=False)
    # A count far beyond the records given reads the records there are ('stop' as the name
    # of the fourth), and no more.
    huge = HEAD + "surf 2000000000\n" + "\n".join(records(3)) + "\nstop\n"
    with pytest.raises(phasemap.InputError, match="line 11: end of file while reading count_1"):
        phasemap.read_input(huge, limits=False)


def test_a_later_surf_entry_replaces_the_earlier_one_whatever_their_sizes():
    first, second = records(30, seed=1), records(18, seed=2)
    lines = first + ["surf 18"] + second
    diagram = phasemap.read_input(HEAD + "surf 30\n" + "\n".join(lines) + "\nstop\n", limits=False)
    assert diagram.surfaces == phasemap.read_input(text(second), limits=False).surfaces


@needs_engine
@pytest.mark.filterwarnings("ignore::phasemap.InputWarning")
def test_a_diagram_of_any_number_is_solved_exactly_and_refused_by_the_program(tmp_path):
    lines = records(25)
    lines[20] = "'negative' 8 16 0 -20.5 -140.2"
    read, said = warnings_of(phasemap.read_input, text(lines), limits=False)
    assert len(said) == 1
    # Solving needs no second reading: the planes are kept, and nothing is said again.
    assert warnings_of(read.solve_exact)[1] == []
    built = phasemap.Diagram(bulk=read.bulk, surfaces=read.surfaces, window=read.window)
    assert built == read
    assert phasemap.read_input(built.to_input(), limits=False) == built
    changed = dataclasses.replace(built, window=(-1.5, 0.0, -1.5, 0.0))
    exact = changed.solve_exact()
    expected = phasemap.envelope(exact.planes, changed.window)
    assert [r.surface for r in exact.regions] == [r.surface for r in expected.regions]
    assert exact.regions[0].name == lines[exact.regions[0].surface - 1].split("'")[1]
    document = json.loads(exact.to_json())
    assert document["surfaces"][0]["counts"] == list(built.surfaces[0].counts)
    figure = pytest.importorskip("matplotlib.figure").Figure()
    axes = exact.plot(ax=figure.add_subplot())
    assert len(axes.patches) >= len(exact.regions) > 16
    jsonschema = pytest.importorskip("jsonschema")
    jsonschema.validate(document, json.loads(SCHEMA.read_text()))
    for call in (built.solve, lambda: built.write(tmp_path / "out")):
        with pytest.raises(phasemap.InputError, match="holds 25 surfaces and the program at "):
            call()
    assert not (tmp_path / "out").exists()
