#!/usr/bin/python3
"""Times an input.txt of many surfaces from reading to the files: makes the input of a study
of N random terminations (10^5 by default) in a scratch folder, then times

- reading it: phasemap.read_input(path, limits=False), and the program's reader alone inside
  it (every surface handed to the module, with its plane);
- solving it: Diagram.solve_exact(), and the exact result's phase.json document (to_json);
- the whole command, python3 -m phasemap --json (and with the SVG map when the package has
  Envelope.to_svg), in a process of its own, with its peak resident memory.

Each figure is the best of three. The folder is removed at the end.

    PYTHONPATH=build/python bench/many_surfaces.py [N]
"""
import os
import pathlib
import resource
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np

import phasemap
from phasemap import _core


def study_input(n, rng):
    """input.txt of n terminations: x and y counts on a grid over three cell areas, energies
    from a smooth trend with noise (the random studies of bench/envelope.py, as records)."""
    nx, ny = rng.integers(-12, 13, n), rng.integers(0, 25, n)
    area = 20.5 * 2.0 ** rng.integers(0, 3, n)
    energy = 0.08 * nx**2 + 1.1 * nx + 1.4 * ny + rng.normal(0, 0.3, n) * (1 + ny / 8)
    total = energy - 0.9 * nx - 1.3 * ny - 66.0  # the bulk's 8 units at -8.25 eV taken off
    lines = ["bulk", "1 2", "-16.5 2", "bound", "-2 0 -1.5 0", f"surf {n}"]
    lines += [f"t{i} 8 {16 + nx[i]} {ny[i]} {area[i]:g} {total[i]:.5f}" for i in range(n)]
    return "\n".join(lines + ["stop"]) + "\n"


def best(function, runs=3):
    """The least wall time of `runs` calls, and the last call's value."""
    least = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        value = function()
        least = min(least, time.perf_counter() - start)
    return least, value


def command(folder, *options):
    """The wall time and peak resident memory (MiB) of python3 -m phasemap in `folder`."""
    package = pathlib.Path(phasemap.__file__).resolve().parents[1]
    environment = dict(os.environ, PYTHONPATH=str(package))
    start = time.perf_counter()
    child = subprocess.Popen(
        [sys.executable, "-m", "phasemap", *options], cwd=folder, env=environment
    )
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"python3 -m phasemap {' '.join(options)} failed")
    return elapsed, usage.ru_maxrss / 1024


n = int(sys.argv[1]) if len(sys.argv) > 1 else 100_000
folder = pathlib.Path(tempfile.mkdtemp(prefix="many-surfaces-"))
try:
    path = folder / "input.txt"
    path.write_text(study_input(n, np.random.default_rng(1)), encoding="utf-8")
    data = path.read_bytes()
    print(f"{n} random terminations, input.txt of {len(data) / 2**20:.1f} MiB:")
    seconds, _ = best(lambda: _core.read(data, True))
    print(f"  the program's reader, every surface     {seconds * 1e3:8.1f} ms")
    seconds, diagram = best(lambda: phasemap.read_input(path, limits=False))
    print(f"  read_input(path, limits=False)          {seconds * 1e3:8.1f} ms")
    seconds, exact = best(diagram.solve_exact)
    print(f"  Diagram.solve_exact()                   {seconds * 1e3:8.1f} ms", end="")
    print(f"  ({len(exact.regions)} stable)")
    seconds, document = best(exact.to_json)
    print(f"  Envelope.to_json()                      {seconds * 1e3:8.1f} ms", end="")
    print(f"  ({len(document) / 2**20:.1f} MiB)")
    print(f"  (this process: {resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024:.0f} MiB)")
    runs = [("--json",)] + ([()] if hasattr(phasemap.Envelope, "to_svg") else [])
    for options in runs:
        timed = [command(folder, *options) for _ in range(3)]
        seconds = min(t for t, _ in timed)
        peak = max(m for _, m in timed)
        name = " ".join(("python3 -m phasemap",) + options)
        print(f"  {name:40s}{seconds * 1e3:8.1f} ms  (peak {peak:.0f} MiB)")
finally:
    shutil.rmtree(folder)
