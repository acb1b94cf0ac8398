"""The module under threads: each call computes from its own copy of the run state and of the
diagram, in the floating-point environment the program starts with; calls take turns; a
write() takes its folder when it is called and never changes the process's current folder."""

from __future__ import annotations

import concurrent.futures
import ctypes
import ctypes.util
import dataclasses
import os
import pathlib
import platform

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py
from helpers import GOLDEN, OUTPUTS, WORKED

FULL = golden_cases.SOURCE / "bench" / "inputs" / "full-capacity.txt"


def measures(result: phasemap.Result) -> list:
    return [(r.surface, r.name, r.corners.tolist(), r.centroid, r.area) for r in result.regions]


def test_threads_take_turns_and_every_field_of_a_result_is_the_calls_own():
    diagrams = [
        phasemap.read_input(GOLDEN / c / "input.txt")
        for c in ("map-sixteen-greys", "map-square-window")
    ]
    expected = [measures(d.solve()) for d in diagrams]

    def solve_many(index: int) -> list:
        return [measures(diagrams[index].solve()) for _ in range(300)]

    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        for index, runs in zip([0, 1, 0, 1], pool.map(solve_many, [0, 1, 0, 1])):
            assert runs == [expected[index]] * 300


def test_a_diagram_changed_by_another_thread_gives_whole_results():
    diagram = phasemap.read_input(GOLDEN / "reader-worked-example" / "input.txt")
    settings = [diagram.surfaces, diagram.surfaces[:1]]
    expected = {
        len(s): measures(dataclasses.replace(diagram, surfaces=s).solve()) for s in settings
    }

    def change_many() -> None:
        for i in range(2000):
            diagram.surfaces = settings[i % 2]

    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        changing = pool.submit(change_many)
        while not changing.done():
            result = diagram.solve()
            assert measures(result) == expected[len(result.diagram.surfaces)]
            assert result.diagram.to_input() == result.diagram._frozen()._input[1].decode()
        changing.result()


# The rounding modes of <fenv.h> by machine.
ROUNDING = {
    "x86_64": {"nearest": 0, "downward": 0x400, "upward": 0x800, "toward zero": 0xC00},
    "aarch64": {"nearest": 0, "upward": 0x400000, "downward": 0x800000, "toward zero": 0xC00000},
}.get(platform.machine())
libm = ctypes.CDLL(ctypes.util.find_library("m"))


@pytest.mark.skipif(ROUNDING is None, reason="rounding modes known for x86_64 and aarch64")
@pytest.mark.parametrize("mode", ["downward", "upward", "toward zero"])
def test_a_call_rounds_to_nearest_and_leaves_the_callers_rounding_mode(mode, tmp_path):
    diagram = phasemap.read_input(FULL)
    expected = measures(diagram.solve()), diagram.solve().to_json()
    diagram.write(tmp_path / "nearest", json=True)
    assert libm.fesetround(ROUNDING[mode]) == 0
    try:
        result = diagram.solve()
        diagram.write(tmp_path / "rounded", json=True)
        kept = libm.fegetround()
    finally:
        libm.fesetround(ROUNDING["nearest"])
    assert kept == ROUNDING[mode]
    assert (measures(result), result.to_json()) == expected  # Python reads reals to nearest
    for output in (tmp_path / "nearest").iterdir():
        assert (tmp_path / "rounded" / output.name).read_bytes() == output.read_bytes(), output.name
    assert np.float32(1) / np.float32(3) == np.float32(0.33333334)


# A write that waits (for its folder's lock, then for its turn) leaves the current folder
# alone, and takes its folder, however relative, when it is called.
def test_a_write_takes_its_folder_when_called_and_leaves_the_current_one(
    tmp_path, monkeypatch, waits
):
    (tmp_path / "busy").mkdir()
    (tmp_path / "elsewhere").mkdir()
    monkeypatch.chdir(tmp_path)
    diagram = phasemap.read_input(WORKED / "input.txt")
    with waits.folder_locked(tmp_path / "busy"):
        first, first_waits = waits.start(diagram.write, tmp_path / "busy")
        first_waits.wait()  # holds the module's lock
        assert os.getcwd() == str(tmp_path)
        pathlib.Path("probe").write_text("a relative file of another thread")
        second, second_waits = waits.start(diagram.write, "relative")
        second_waits.wait()  # waits for its turn
        os.chdir(tmp_path / "elsewhere")
    first.join()
    second.join()
    assert sorted(os.listdir(tmp_path)) == ["busy", "elsewhere", "probe", "relative"]
    assert sorted(os.listdir(tmp_path / "busy")) == sorted(os.listdir("../relative")) == OUTPUTS
    assert os.listdir(tmp_path / "elsewhere") == []
