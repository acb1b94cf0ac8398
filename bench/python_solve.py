#!/usr/bin/python3
"""Times the Python module: solve() on one input over and over (solves per second), and a
sweep of N diagrams differing in their surface energies solved from Python, beside one
phasemap call given the N folders of the same inputs (phasemap d1 ... dN). Prints the peak
memory of this process (and of the program's runs).

    PYTHONPATH=build/python bench/python_solve.py [input.txt] [N]
"""
import dataclasses
import os
import pathlib
import resource
import subprocess
import sys
import tempfile
import time

import phasemap

here = pathlib.Path(__file__).resolve().parent
source = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else here / "inputs" / "full-capacity.txt"
count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
binary = os.environ.get("PHASEMAP", str(here.parent / "build" / "phasemap"))

diagram = phasemap.read_input(source)
repeats = 5000
start = time.perf_counter()
for _ in range(repeats):
    diagram.solve()
elapsed = time.perf_counter() - start
each = elapsed / repeats * 1e6
print(f"solve() on {source.name}: {repeats / elapsed:.0f} solves/s ({each:.0f} us each)")

variants = [
    dataclasses.replace(
        diagram,
        surfaces=[
            phasemap.Surface(s.name, s.counts, s.area, s.energy + 0.001 * ((i * 7 + k) % 13))
            for k, s in enumerate(diagram.surfaces)
        ],
    )
    for i in range(count)
]
start = time.perf_counter()
solved = [v.solve() for v in variants]
python_seconds = time.perf_counter() - start

with tempfile.TemporaryDirectory() as scratch:
    folders = []
    for i, v in enumerate(variants):
        folder = pathlib.Path(scratch) / f"d{i + 1}"
        folder.mkdir()
        (folder / "input.txt").write_text(v.to_input())
        folders.append(folder.name)
    start = time.perf_counter()
    subprocess.run([binary, *folders], cwd=scratch, check=True, capture_output=True)
    program_seconds = time.perf_counter() - start

print(
    f"sweep of {count} diagrams: solve() from Python {python_seconds:.3f} s, "
    f"phasemap on {count} folders {program_seconds:.3f} s"
)
own = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
runs = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"peak memory: this process {own:.1f} MiB, the program's run {runs:.1f} MiB")
