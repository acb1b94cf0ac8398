"""Whole runs of the program compared byte for byte with hand-checked outputs: every golden
case (tests/support/golden_cases.py says what a case is) leaves exactly its files, exit
status and standard error, and ghostscript reads every EPS map. With PHASEMAP_UPDATE_GOLDEN=1
the outputs are written back into the case's folder, to be read in `git diff` before they are
committed.

The examples stay honest the same way: every examples/<name>/input.txt runs to its end
without a warning and writes exactly the map committed as docs/examples/<name>.ps. With
PHASEMAP_UPDATE_EXAMPLES=1 the maps are written back into docs/examples; render them again
with tools/render-map and read the diff before committing."""

import os
import shutil
import subprocess

import pytest

import golden_cases  # tests/support, put on the path by conftest.py

PICTURES = golden_cases.SOURCE / "docs" / "examples"


def ghostscript_errors(path):
    """What ghostscript says when it reads the PostScript file at `path`, or None when it
    reads it without an error. Without gs the check is skipped, but not under CI."""
    if shutil.which("gs") is None:
        assert os.environ.get("CI") != "true", f"ghostscript (gs) is required under CI for {path}"
        return None
    read = subprocess.run(
        ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", str(path)],
        capture_output=True,
        text=True,
    )
    said = read.stdout + read.stderr
    return said if read.returncode != 0 or "Error" in said else None


@pytest.mark.parametrize("case", golden_cases.cases(), ids=str)
def test_case_leaves_its_files(case, tmp_path):
    outcome = case.run(tmp_path)
    if os.environ.get("PHASEMAP_UPDATE_GOLDEN") == "1":
        case.update(outcome)
    assert (outcome.status, outcome.stdout, outcome.stderr) == (case.status, b"", case.stderr)
    golden_cases.assert_same_files(case.outputs, outcome.files)
    for name, content in outcome.files.items():
        if content.startswith(b" %!PS"):
            assert ghostscript_errors(tmp_path / name) is None, name


def test_no_cases_is_an_error_rather_than_nothing_to_check(tmp_path):
    with pytest.raises(FileNotFoundError, match="missing"):
        golden_cases.cases(tmp_path / "absent")
    with pytest.raises(FileNotFoundError, match="no golden case"):
        golden_cases.cases(tmp_path)
    (tmp_path / "a").mkdir()
    with pytest.raises(FileNotFoundError, match="without input.txt: a"):
        golden_cases.cases(tmp_path)


@pytest.mark.parametrize("name", golden_cases.examples())
def test_example_writes_its_committed_map(name, tmp_path):
    shutil.copy(golden_cases.EXAMPLES / name / "input.txt", tmp_path / "input.txt")
    outcome = golden_cases.run_program(tmp_path)
    assert (outcome.status, outcome.stderr) == (0, b"")
    # Besides the log and the phase report, the run leaves one file: the map.
    (map_name,) = outcome.files.keys() - {"log.out", "phase.out"}
    assert {"log.out", "phase.out"} <= outcome.files.keys()
    committed = PICTURES / f"{name}.ps"
    if os.environ.get("PHASEMAP_UPDATE_EXAMPLES") == "1":
        committed.write_bytes(outcome.files[map_name])
    expected, produced = committed.read_bytes(), outcome.files[map_name]
    golden_cases.assert_same_files({committed.name: expected}, {committed.name: produced})
    assert ghostscript_errors(tmp_path / map_name) is None
