"""The module's inputs: paths of every kind, counts that must be whole numbers, the program's
warnings through `warnings`, and refusals that carry the unit and line the engine names."""

from __future__ import annotations

import dataclasses
import fcntl
import os
import pathlib
import pickle
import re
import subprocess
import sys
import time
import warnings

import numpy as np
import pytest

import phasemap

from helpers import OUTPUTS
from helpers import WORKED as CASE

WORKED = CASE / "input.txt"


def worked(**change: object) -> phasemap.Diagram:
    return dataclasses.replace(phasemap.read_input(WORKED), **change)


# A folder name that is no UTF-8, and the forms a path may take.
RAW = b"caf\xe9-\xff"
PATH_FORMS = {
    "bytes": os.fsencode,
    "str": os.fsdecode,
    "PathLike": lambda p: pathlib.Path(os.fsdecode(p)),
}


@pytest.mark.parametrize("form", PATH_FORMS)
def test_a_folder_named_in_any_form_gets_the_whole_set(form, tmp_path, capfd):
    diagram = phasemap.read_input(WORKED)
    folder = os.path.join(bytes(tmp_path), RAW)
    diagram.write(PATH_FORMS[form](folder))
    assert sorted(os.listdir(folder)) == [os.fsencode(name) for name in OUTPUTS]
    expected = CASE / "phase.out"
    assert pathlib.Path(os.fsdecode(folder), "phase.out").read_bytes() == expected.read_bytes()
    # input.txt read back from there through the same form of path
    pathlib.Path(os.fsdecode(folder), "input.txt").write_bytes(WORKED.read_bytes())
    assert phasemap.read_input(PATH_FORMS[form](folder + b"/input.txt")) == diagram
    assert capfd.readouterr().err == ""


@pytest.mark.parametrize("name", [b"m\xe9.ps", os.fsdecode(b"m\xe9.ps"), pathlib.Path("m.ps")])
def test_a_map_name_may_be_bytes_or_a_path(name, tmp_path):
    diagram = worked(map_name=name)
    assert diagram.map_name == os.fsdecode(name)
    diagram.write(tmp_path)
    assert os.fsencode(name) in os.listdir(bytes(tmp_path))
    assert phasemap.read_input(diagram.to_input()) == diagram


SURFACE = dict(name="x", area=20.5, energy=-140.2)


@pytest.mark.parametrize(
    "make, refused",
    [
        (lambda: phasemap.Surface(counts=(26, 19.5, 2), **SURFACE), "surface 'x': count 2 is 19.5"),
        (lambda: phasemap.Surface(counts=(8, float("nan"), 0), **SURFACE), "count 2 is nan"),
        (lambda: phasemap.Surface(counts=(26, 19), **SURFACE), "surface 'x' has 2 counts"),
        (lambda: worked(bulk=((1, 2), -16.5, 2.5)), "bulk: divisor is 2.5"),
        (lambda: worked(bulk=((1, 2, 3), -16.5, 2)), "bulk has 3 counts"),
        (
            lambda: worked(boxed_lines=[(1, 1, 0, -1, 0, -1, 0), (1.5, 1, 0, -1, 0, -1, 0)]),
            "boxed line 2: coef_x is 1.5",
        ),
    ],
)
def test_a_count_that_is_not_a_whole_number_is_refused_by_name(make, refused):
    with pytest.raises(ValueError, match=re.escape(refused)) as raised:
        make()
    assert not isinstance(raised.value, phasemap.InputError)  # refused before any reading


def test_whole_numbers_of_any_type_are_counts():
    counts = (np.int64(8), 16.0, np.float32(0))
    surface = phasemap.Surface("clean", counts, 20.5, -140.2)
    assert surface.counts == (8, 16, 0) and all(type(c) is int for c in surface.counts)
    assert worked(surfaces=[surface]).surfaces[0] == phasemap.read_input(WORKED).surfaces[0]


SLIPS = "bulk\n1 2\n-16.5 2\nbound\n-2 0 -1.5 0\nsurf 1\nclean 8 16 0 20.5 -140.2\n stop\nstop\n"
SLIP = "phasemap: warning: input.txt, line 8: 'stop' is indented, so it is read as a comment; "


def test_warnings_come_through_warnings_once_per_call_and_never_on_standard_error(capfd):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        diagram = phasemap.read_input(SLIPS)
        diagram.solve()
        turned = dataclasses.replace(diagram.surfaces[0], area=-20.5)
        dataclasses.replace(diagram, surfaces=[turned])
    assert [w.category for w in caught] == [phasemap.InputWarning] * 3
    assert str(caught[0].message).startswith(SLIP)
    assert caught[0].message.args == caught[1].message.args
    assert "surface 1 'clean' has the negative area -20.5" in str(caught[2].message)
    assert {w.filename for w in caught} == {__file__}  # the caller's line, replace() included
    assert capfd.readouterr().err == ""
    with warnings.catch_warnings():
        warnings.simplefilter("error", phasemap.InputWarning)
        with pytest.raises(phasemap.InputWarning, match="'stop' is indented"):
            diagram.solve()
        warnings.simplefilter("ignore", phasemap.InputWarning)
        diagram.solve()
    assert capfd.readouterr().err == ""


def test_a_write_that_fails_tells_the_unit_it_names_and_nothing_on_standard_error(tmp_path, capfd):
    (tmp_path / "phase.out").mkdir()
    with pytest.raises(phasemap.InputError) as refused:
        phasemap.read_input(WORKED).write(tmp_path)
    message = "phasemap: phase.out (unit 4): cannot create the file: Is a directory"
    assert (str(refused.value), refused.value.unit, refused.value.line) == (message, 4, None)
    assert (tmp_path / "log.out").read_bytes().endswith(message.encode() + b"\r\n")
    assert capfd.readouterr().err == ""
    again = pickle.loads(pickle.dumps(refused.value))
    assert (again.message, again.unit, again.line) == (message, 4, None)


def test_the_programs_other_notes_come_as_user_warnings(tmp_path, waits):
    """The note of a run that has waited a second for its folder's lock: the lock is let go
    once the wait has lasted that long by the wait's own clock, which the run's exceeds."""
    started = []
    holder = os.open(tmp_path, os.O_RDONLY | os.O_DIRECTORY)

    def let_go_after_a_second() -> None:
        started.append(time.monotonic())
        if started[-1] - started[0] >= 1.0:
            fcntl.flock(holder, fcntl.LOCK_UN)

    try:
        fcntl.flock(holder, fcntl.LOCK_EX)
        phasemap._core._set_wait_hook(let_go_after_a_second)
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            phasemap.read_input(WORKED).write(tmp_path)
    finally:
        os.close(holder)
    note = "phasemap: waiting for another phasemap run in this folder to finish"
    assert [(w.category, str(w.message)) for w in caught] == [(UserWarning, note)]


def test_only_a_write_looks_at_a_folder_and_only_at_the_one_it_writes(tmp_path, monkeypatch):
    """Reading, checking and solving give the same whatever the current folder holds (no
    maps/, a maps/ that leads out, an m.ps linked to log.out); a write checks the map's name
    in the folder it writes."""
    (tmp_path / "outside").mkdir()
    folders = {name: tmp_path / name for name in ("empty", "linked", "written")}
    for folder in folders.values():
        folder.mkdir()
    (folders["linked"] / "maps").symlink_to(tmp_path / "outside")
    (folders["linked"] / "log.out").write_bytes(b"")
    (folders["linked"] / "m.ps").symlink_to("log.out")
    (folders["written"] / "maps").mkdir()
    results = []
    for name in ("empty", "linked"):
        monkeypatch.chdir(folders[name])
        diagrams = [worked(map_name=m) for m in ("maps/m.ps", "m.ps")]
        read_back = [phasemap.read_input(d.to_input()) for d in diagrams]
        results.append((read_back, [d.solve().to_json() for d in diagrams]))
    assert results[0] == results[1] and results[0][0] == diagrams
    diagrams[0].write(folders["written"])
    assert os.listdir(folders["written"] / "maps") == ["m.ps"]
    with pytest.raises(phasemap.InputError, match="'maps/m.ps' leads out of the run's folder"):
        diagrams[0].write(folders["linked"])
    with pytest.raises(phasemap.InputError, match="'m.ps' names the same file as log.out"):
        diagrams[1].write(folders["linked"])


def test_a_processs_first_calls_leave_its_descriptors_alone(tmp_path):
    # The first computation of a process once closed descriptor 0, the host's standard input
    # or whatever it had opened there, as each output unit it discarded was closed.
    code = (
        "import os, sys, phasemap\n"
        "before = os.fstat(0)\n"
        "phasemap.read_input(sys.argv[1]).solve()\n"
        "after = os.fstat(0)\n"
        "assert (before.st_dev, before.st_ino) == (after.st_dev, after.st_ino)\n"
    )
    package = str(pathlib.Path(phasemap.__file__).resolve().parents[1])
    (tmp_path / "held").write_text("what the host reads\n")
    with open(tmp_path / "held") as held:
        subprocess.run(
            [sys.executable, "-c", code, WORKED],
            stdin=held,
            env=dict(os.environ, PYTHONPATH=package),
            check=True,
        )
