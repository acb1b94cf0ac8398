"""Fe3O4(001) in O2 and H2O: 20 candidate terminations from ASE slabs, the bulk's limits
against Fe, FeO and Fe2O3, and pressures at 300 K (illustrative energies)."""
import pathlib

import matplotlib.pyplot as plt
from ase.io import read

import phasemap

references = {"O2": -9.86, "H2O": -14.22, "H2": -6.77}  # eV per molecule
limits = [("Fe", -8.31), ("FeO", -16.04), ("Fe2O3", -39.88)]  # eV per formula unit
study = phasemap.Study(("Fe3O4", -56.25), "O2", "H2O", references, competing=limits)
for atoms in read(pathlib.Path(__file__).with_name("slabs.extxyz"), index=":"):
    study.add(phasemap.Slab.from_atoms(atoms.info["name"], atoms))

window = (None, None, -2.5, None)  # Δμ_H2O from -2.5 eV, the rest from the bulk's limits
region = study.stability_region(window)
print(dict(zip(region.sides, region.corners.round(2).tolist())))
water = study.pressure_axis("y", 300)  # SCV | SCV+H2O boundary at Δμ_H2O = -0.95 eV:
print(f"water adsorbs on SCV above {water.pressure(-0.95):.1e} bar at 300 K")

result = study.solve(window)
for r in result.regions:
    print(f"{r.name:22s} {r.area:6.3f}", r.surface in result.partly_outside)
fig, ax = plt.subplots(figsize=(6, 5))
result.plot(ax=ax, pressures=(300,))  # the bulk's limits dashed, p(O2), p(H2O) at 300 K
fig.savefig("fe3o4-001.png", dpi=150, bbox_inches="tight")
fig, ax = plt.subplots(figsize=(6, 4))
result.plot_line(ax=ax, y=-1.0)  # every slab's γ against Δμ_O2 at Δμ_H2O = -1 eV
fig.savefig("fe3o4-001-line.png", dpi=150, bbox_inches="tight")
