"""python3 -m phasemap, whole commands in scratch folders: its exit statuses and messages, the
files it leaves (one set, never a part of one, never outside the folder), warnings as the
program gives them, and inputs of any number of surfaces solved as the module solves them."""

from __future__ import annotations

import json
import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import phasemap
from phasemap import __main__ as command

import golden_cases  # tests/support, put on the path by conftest.py
from helpers import run_study
from test_many_surfaces import SCHEMA, records, text

pytestmark = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)


def run(*arguments: object, cwd: pathlib.Path) -> subprocess.CompletedProcess:
    """The command in `cwd`, with the package it is tested from."""
    package = pathlib.Path(phasemap.__file__).resolve().parents[1]
    environment = dict(os.environ, PYTHONPATH=str(package))
    return subprocess.run(
        [sys.executable, "-m", "phasemap", *map(str, arguments)],
        cwd=cwd,
        env=environment,
        capture_output=True,
        timeout=120,
    )


def folder_with(path: pathlib.Path, input_text: str) -> pathlib.Path:
    path.mkdir(parents=True, exist_ok=True)
    (path / "input.txt").write_text(input_text, encoding="utf-8")
    return path


def files(folder: pathlib.Path) -> dict[str, bytes]:
    return golden_cases.files_in(folder, frozenset({"input.txt"}))


def test_usage_help_and_version(tmp_path):
    helped = run("--help", cwd=tmp_path)
    assert helped.returncode == 0 and helped.stdout.startswith(b"usage: python3 -m phasemap")
    assert run("--version", cwd=tmp_path).stdout == f"phasemap {phasemap.__version__}\n".encode()
    for arguments, problem in [
        (["--ps"], b"unknown option '--ps'"),
        (["input.txt"], b"'input.txt' is not a folder; give the folders to run in, each holding"),
    ]:
        refused = run(*arguments, cwd=folder_with(tmp_path, text(records(3))))
        assert refused.returncode == 2
        assert refused.stderr.startswith(b"phasemap: " + problem)
        assert refused.stderr.endswith(b"\nsee python3 -m phasemap --help\n")
    assert files(tmp_path) == {}


def test_many_surfaces_give_the_exact_results_document(tmp_path):
    folder = folder_with(tmp_path / "many", text(records(300)))
    done = run("--json", "many", cwd=tmp_path)
    assert (done.returncode, done.stderr) == (0, b"")
    written = files(folder)
    assert list(written) == ["phase.json"]  # and no temporary left beside it
    lines = written["phase.json"].split(b"\r\n")
    assert lines[-1] == b"" and b"\n" not in b"".join(lines)  # records end CR LF
    assert lines[1:3] == [b'  "format": "phasemap-envelope",', b'  "version": 1,']
    document = json.loads(written["phase.json"])
    exact = phasemap.read_input(folder / "input.txt", limits=False).solve_exact()
    assert document == json.loads(exact.to_json())
    assert len(document["surfaces"]) == 300 and len(document["regions"]) > 16
    jsonschema = pytest.importorskip("jsonschema")
    jsonschema.validate(document, json.loads(SCHEMA.read_text()))


def test_a_failing_folder_keeps_its_earlier_files_and_the_others_run(tmp_path):
    good = folder_with(tmp_path / "good", text(records(20)))
    bad = folder_with(tmp_path / "bad", text(records(20)))
    assert run("--json", "good", "bad", cwd=tmp_path).returncode == 0
    earlier = files(bad)
    lines = records(20)
    lines[18] = "'flat' 8 16 0 0 -140"
    (bad / "input.txt").write_text(text(lines))
    failed = run("--json", "bad", "good", cwd=tmp_path)
    assert failed.returncode == 1
    assert failed.stderr == (
        b"bad: phasemap: input.txt (unit 1), line 25: surface 19 'flat' has area 0\n"
        b"phasemap: ran 2 folders; 1 failed: bad\n"
    )
    assert files(bad) == earlier and list(files(good)) == ["phase.json"]
    # The one output cannot be written: nothing is replaced, no temporary stays.
    (good / "phase.json").unlink()
    (good / "phase.json").mkdir()
    failed = run("--json", cwd=good)
    assert failed.returncode == 1
    assert failed.stderr.startswith(b"phasemap: phase.json (unit 5): cannot create the file")
    assert sorted(os.listdir(good)) == ["input.txt", "phase.json"]


def test_warnings_are_the_programs_said_once(tmp_path):
    golden = golden_cases.GOLDEN / "warn-negative-area"  # the reader's and the regions' kinds
    folder = folder_with(tmp_path, (golden / "input.txt").read_text(encoding="utf-8"))
    done = run("--json", cwd=folder)
    assert done.returncode == 0
    assert done.stderr == (golden / "stderr.txt").read_bytes()


def test_names_never_leave_the_folder(tmp_path):
    outside = tmp_path / "outside"
    outside.mkdir()
    folder = folder_with(
        tmp_path / "run", text(records(20)).replace("stop", "output\n'out/m.ps'\nstop")
    )
    (folder / "out").symlink_to(outside)
    refused = run("--json", cwd=folder)
    assert refused.returncode == 1
    assert refused.stderr == (
        b"phasemap: input.txt (unit 1), line 28: the map file name 'out/m.ps' leads out of "
        b"the run's folder through a symbolic link\n"
    )
    assert os.listdir(outside) == [] and sorted(os.listdir(folder)) == ["input.txt", "out"]


def test_the_svg_map_is_named_after_the_map_and_written_with_phase_json(tmp_path):
    with_map = text(records(20)).replace("stop", "output\n'maps/oxide.eps'\nstop")
    folder = folder_with(tmp_path, with_map)
    assert command.main([str(folder)]) == 1  # no folder maps: the set is refused whole
    assert files(folder) == {}
    (folder / "maps").mkdir()
    assert command.main([str(folder)]) == 0  # no option: both
    assert sorted(files(folder)) == ["maps/oxide.svg", "phase.json"]
    svg = files(folder)["maps/oxide.svg"]
    exact = phasemap.read_input(folder / "input.txt", limits=False).solve_exact()
    assert svg.replace(b"\r\n", b"\n") == exact.to_svg().replace("\r\n", "\n").encode()
    assert command.main(["--svg", str(folder)]) == 0
    assert command.main(["--svg", "--json", "--", str(folder)]) == 0


def test_the_svg_map_shows_every_region(tmp_path):
    folder = folder_with(tmp_path, text(records(200)))
    assert run(cwd=folder).returncode == 0
    svg = (folder / "map1.svg").read_text(encoding="utf-8")
    exact = phasemap.read_input(folder / "input.txt", limits=False).solve_exact()
    assert svg.count('class="region"') == len(exact.regions) > 16


@pytest.mark.filterwarnings("ignore::phasemap.InputWarning")
def test_the_fe3o4_study_of_20_terminations_as_input_txt(tmp_path):
    pytest.importorskip("ase")
    example = golden_cases.EXAMPLES / "fe3o4-001"
    namespace = run_study("fe3o4-001", print=lambda *_: None)
    study, window = namespace["study"], namespace["window"]
    written = study.to_diagram(window=window).to_input()
    if os.environ.get("PHASEMAP_UPDATE_EXAMPLES") == "1":
        (example / "input.txt").write_text(written, encoding="utf-8")
    assert (example / "input.txt").read_text(encoding="utf-8") == written
    folder = folder_with(tmp_path, written)
    done = run("--json", cwd=folder)
    assert (done.returncode, done.stderr) == (0, b"")
    document = json.loads((folder / "phase.json").read_bytes())
    solved = study.solve(window)
    assert [r["name"] for r in document["regions"]] == [r.name for r in solved.regions]
    # The program's axes are the absolute chemical potentials; its planes the study's in
    # single precision, times one factor, which moves no boundary.
    shift = np.array([study.references[study.x], study.references[study.y]], dtype=float)
    for mine, theirs in zip(document["regions"], solved.regions):
        assert np.allclose(np.array(mine["corners"]) - shift, theirs.corners, atol=2e-4)


def test_a_random_study_solves_alike_from_python_and_the_command(tmp_path):
    rng = np.random.default_rng(5)
    n = 5000
    nx, ny = rng.integers(-12, 13, n), rng.integers(0, 25, n)
    area = 20.5 * 2.0 ** rng.integers(0, 3, n)
    energy = 0.08 * nx**2 + 0.2 * nx + 0.1 * ny + rng.normal(0, 0.3, n) - 66.0
    lines = [f"t{i} 8 {16 + nx[i]} {ny[i]} {area[i]:g} {energy[i]:.5f}" for i in range(n)]
    folder = folder_with(tmp_path, text(lines).replace("-2 0 -1.5 0", "-2 2 -1.5 1.5"))
    assert run("--json", cwd=folder).returncode == 0
    document = json.loads((folder / "phase.json").read_bytes())
    diagram = phasemap.read_input(folder / "input.txt", limits=False)
    exact = phasemap.envelope(diagram.solve_exact().planes, diagram.window)
    assert [r["surface"] for r in document["regions"]] == [r.surface for r in exact.regions]
    assert len(exact.regions) > 16
