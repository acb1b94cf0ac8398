#!/usr/bin/python3
"""Times the exact envelope engine from Python beside today's solve(), in one run:

- the full-capacity input (16 surfaces, every one stable): Diagram.solve() (the program's
  search), Diagram.solve_exact(), and phasemap.envelope on its planes, with and without
  reading .regions (which builds the Region objects);
- how the cost of one envelope grows with the number of planes, over four decades, on
  random terminations of an adsorbate-coverage study, with the peak memory of a process
  that solves 10^5 of them;
- sweeps: 1000 diagrams that differ in their energies, by a loop of solve() and by one
  envelope_sweep; then N diagrams of 16 surfaces (10^6 by default) by envelope_sweep.

    PYTHONPATH=build/python bench/envelope.py [N]
"""
import dataclasses
import pathlib
import resource
import subprocess
import sys
import time

import numpy as np

import phasemap

here = pathlib.Path(__file__).resolve().parent


def per_call(function, least=0.5):
    """Seconds per call, the best of three runs of at least `least` seconds."""
    best = float("inf")
    for _ in range(3):
        repeats, elapsed = 1, 0.0
        while elapsed < least:
            repeats *= 2
            start = time.perf_counter()
            for _ in range(repeats):
                function()
            elapsed = time.perf_counter() - start
        best = min(best, elapsed / repeats)
    return best


def study(n, rng):
    """Terminations with x and y counts on a grid over three cell areas and energies from a
    smooth trend with noise: many planes share their slopes."""
    nx, ny = rng.integers(-12, 13, n), rng.integers(0, 25, n)
    area = 20.5 * 2.0 ** rng.integers(0, 3, n)
    energy = 0.08 * nx**2 + 1.1 * nx + 1.4 * ny + rng.normal(0, 0.3, n) * (1 + ny / 8)
    return np.column_stack(
        [-8.01 * nx / area, -8.01 * ny / area, 8.01 * (energy - 0.9 * nx - 1.3 * ny) / area]
    )


WINDOW = (-2.0, 0.0, -1.5, 0.0)

if len(sys.argv) > 1 and sys.argv[1] == "--memory":
    # In a process of its own: the resident memory before one envelope of n planes, and the
    # peak after it.
    planes = study(int(sys.argv[2]), np.random.default_rng(1))
    status = pathlib.Path("/proc/self/status").read_text()
    before = int(status.split("VmRSS:")[1].split()[0])
    phasemap.envelope(planes, WINDOW).regions
    print(before, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
    sys.exit()

sweep_size = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
diagram = phasemap.read_input(here / "inputs" / "full-capacity.txt")
planes = diagram.solve().planes
print(f"full-capacity input, {len(planes)} surfaces:")
for name, call in [
    ("Diagram.solve() (the program)", diagram.solve),
    ("Diagram.solve_exact()", diagram.solve_exact),
    ("phasemap.envelope(planes, window)", lambda: phasemap.envelope(planes, diagram.window)),
    ("  and reading .regions", lambda: phasemap.envelope(planes, diagram.window).regions),
]:
    seconds = per_call(call)
    print(f"  {name:36s} {seconds * 1e6:8.1f} us  {1 / seconds:9.0f} a second")

print("one envelope of n random terminations (phasemap.envelope, without .regions):")
rng = np.random.default_rng(27)
for n in (10, 100, 1000, 10_000, 100_000):
    many = study(n, rng)
    seconds = per_call(lambda: phasemap.envelope(many, WINDOW), least=0.5 if n < 10**5 else 2)
    stable = len(phasemap.envelope(many, WINDOW).regions)
    print(f"  n = {n:6d}: {seconds * 1e3:9.3f} ms  ({stable} stable)")
before, peak = subprocess.run(
    [sys.executable, __file__, "--memory", "100000"], capture_output=True, text=True, check=True
).stdout.split()
print(
    f"  10^5 planes: {int(before) / 1024:.1f} MiB resident before the call (Python, numpy, "
    f"the module, the planes), {int(peak) / 1024:.1f} MiB at the peak"
)

count = 1000
noise = np.random.default_rng(3).normal(0.0, 0.2, (count, len(diagram.surfaces)))
variants = [
    dataclasses.replace(
        diagram,
        surfaces=[
            dataclasses.replace(s, energy=s.energy + float(e))
            for s, e in zip(diagram.surfaces, row)
        ],
    )
    for row in noise
]
start = time.perf_counter()
for v in variants:
    v.solve()
loop_seconds = time.perf_counter() - start
d = np.array([v.solve().planes[:, 3] for v in variants])
start = time.perf_counter()
phasemap.envelope_sweep(planes[:, :2], d, diagram.window)
sweep_seconds = time.perf_counter() - start
print(
    f"sweep of {count} diagrams: a loop of solve() {loop_seconds:.3f} s, "
    f"one envelope_sweep {sweep_seconds:.3f} s"
)

d = planes[:, 3] + np.random.default_rng(4).normal(0.0, 0.05, (sweep_size, len(planes)))
start = time.perf_counter()
swept = phasemap.envelope_sweep(planes[:, :2], d, diagram.window, points=[(-1.0, -0.75)])
seconds = time.perf_counter() - start
print(
    f"envelope_sweep of {sweep_size} diagrams of {len(planes)} surfaces: {seconds:.1f} s "
    f"({seconds / sweep_size * 1e6:.1f} us a diagram); stable in: "
    + " ".join(f"{f:.2f}" for f in swept.frequency)
)
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
arrays = (d.nbytes + swept.areas.nbytes) / 2**20
print(f"peak resident memory of this process: {peak:.0f} MiB (d and the areas: {arrays:.0f} MiB)")
