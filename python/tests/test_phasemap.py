"""The module against the program's golden cases (write, solve, to_json, to_svg, read_input,
refusals, and the warnings and messages the program gives), then its own behaviour: Diagrams
built in Python, stable_at, the one version."""
import json
import os
import re
import subprocess

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py
from helpers import GOLDEN, warnings_of

CASES = golden_cases.cases()


# write() with the case's options leaves the case's files and says its warnings once, nothing
# on the process's standard error; phase.json and the SVG map of every case, written, are
# those of solve()'s result.
@pytest.mark.parametrize("case", [c for c in CASES if c.status == 0], ids=str)
def test_golden_case(case, tmp_path, capfd):
    diagram = phasemap.read_input(case.input)
    assert phasemap.read_input(diagram.to_input()) == diagram
    asked = {name: f"--{name}" in case.options for name in ("json", "svg")}
    assert set(case.options) <= {"--json", "--svg"}, "write() has no counterpart of an option"
    case.make_subfolders(tmp_path / "run")
    assert warnings_of(diagram.write, tmp_path / "run", **asked)[1] == case.messages
    assert capfd.readouterr().err == ""
    golden_cases.assert_same_files(case.outputs, golden_cases.files_in(tmp_path / "run"))
    case.make_subfolders(tmp_path / "both")
    warnings_of(diagram.write, tmp_path / "both", json=True, svg=True)
    written = golden_cases.files_in(tmp_path / "both")
    result = diagram.solve()
    assert result.to_json().replace("\n", "\r\n").encode("utf-8") == written["phase.json"]
    (svg,) = [b for name, b in written.items() if name.endswith(".svg")]
    assert result.to_svg().encode("utf-8") == svg
    for region in result.regions:
        # At its centroid a region's surface is the lowest, but where the search's tolerance
        # decides: a sliver along an edge, or a plane within 1e-4 of the lowest one.
        lowest = int(result.stable_at(*region.centroid))
        planes = result.planes[[region.surface - 1, lowest - 1]]
        tied = region.area < 1e-6 or np.ptp(planes, axis=0).max() <= 1e-4
        assert lowest == region.surface or tied, (region.name, lowest)
    # The corners hold the run's single-precision values, which phase.json writes as the
    # shortest decimals that read back to them.
    for region, listed in zip(result.regions, result.as_dict()["regions"], strict=True):
        assert np.array_equal(np.float32(listed["corners"]), np.float32(region.corners))
        assert (region.name, region.centroid, region.area) == (
            listed["name"],
            tuple(listed["centroid"]),
            listed["area"],
        )
    stable = {r.surface for r in result.regions}
    assert result.never_stable == [
        i for i in range(1, len(diagram.surfaces) + 1) if i not in stable
    ]


@pytest.mark.parametrize("case", [c for c in CASES if c.status != 0], ids=str)
def test_refusal_arrives_with_its_unit_line_and_warnings(case, capfd, tmp_path):
    *warned, message = case.messages
    refused, texts = warnings_of(phasemap.read_input, case.input)
    if not isinstance(refused, phasemap.InputError):  # refused once the regions are sought
        diagram = refused
        refused, texts = warnings_of(diagram.solve)
    if not isinstance(refused, phasemap.InputError):  # refused in the folder written
        refused, texts = warnings_of(diagram.write, tmp_path)
    assert (str(refused), texts) == (message, warned)
    named = re.match(r"phasemap: \S+ \(unit (\d+)\)(?:, line (\d+))?:", message)
    assert (refused.unit, refused.line) == tuple(int(n) if n else None for n in named.groups())
    assert capfd.readouterr().err == ""


WORKED = dict(
    bulk=phasemap.Bulk((1, 2), -16.5, 2),
    window=(-2.0, 0.0, -1.5, 0.0),
    surfaces=[
        phasemap.Surface("clean", (8, 16, 0), 20.5, -140.2),
        phasemap.Surface("with H", (8, 16, 2), 20.5, -147.9),
    ],
)


def test_diagram_built_in_python_equals_the_one_read():
    assert phasemap.Diagram(**WORKED) == phasemap.read_input(
        GOLDEN / "reader-worked-example" / "input.txt"
    )


@pytest.mark.parametrize(
    "change, line",
    [
        (dict(window=(0.0, -2.0, -1.5, 0.0)), 5),
        (dict(map_name="log.out"), 14),
        (dict(bulk=phasemap.Bulk((1, 2), -16.5, 0)), 3),
    ],
)
def test_bad_values_are_refused_as_the_program_refuses_them(change, line):
    with pytest.raises(phasemap.InputError) as refused:
        phasemap.Diagram(**{**WORKED, **change})
    assert refused.value.line == line
    assert str(refused.value).startswith("phasemap: input.txt (unit 1)")


def test_stable_at_is_vectorised_over_the_window():
    result = phasemap.read_input(GOLDEN / "lines-every-keyword" / "input.txt").solve()
    x, y = np.meshgrid(np.linspace(-1.9, -0.1, 7), np.linspace(-1.4, -0.1, 5))
    lowest = result.stable_at(x, y)
    assert lowest.shape == x.shape and set(np.unique(lowest)) == {1, 2, 3}
    centroids = np.array([r.centroid for r in result.regions])
    assert result.stable_at(*centroids.T).tolist() == [r.surface for r in result.regions]
    assert lowest.ravel().tolist() == [result.stable_at(*p) for p in zip(x.ravel(), y.ravel())]


def test_one_version_for_the_package_the_program_and_phase_json(tmp_path):
    version = (GOLDEN.parents[1] / "VERSION").read_text(encoding="utf-8").strip()
    assert phasemap.__version__ == version
    phasemap.Diagram(**WORKED).write(tmp_path, json=True)
    document = json.loads((tmp_path / "phase.json").read_text(encoding="utf-8"))
    assert document["program"] == {"name": "phasemap", "version": version}
    if os.path.exists(golden_cases.BINARY):
        said = subprocess.run(
            [golden_cases.BINARY, "--version"], capture_output=True, text=True, check=True
        )
        assert said.stdout == f"phasemap {version}\n"
