"""SrTiO3(001) in O2 and H2O, four elements: TiO2- and SrO-terminated slabs of the 2x2 cell
with oxygen vacancies, hydrogen and water, at a fixed TiO2 chemical potential, with the bulk's
limits against Sr, Ti, SrO, TiO, Ti2O3, SrO2 and Sr(OH)2 (illustrative energies)."""
import matplotlib.pyplot as plt

import phasemap

AREA = 4 * 3.905**2  # Å², the 2x2 cell of the cubic perovskite (a = 3.905 Å)

study = phasemap.Study(
    bulk=("SrTiO3", -41.69),
    x="O2",
    y="H2O",
    references={"O2": -9.86, "H2O": -14.22, "H2": -6.77, "TiO2": -27.53},
    fixed={"TiO2": -0.5},  # between the TiO2-rich (0) and SrO-rich (-1.41 eV) limits
    competing=[
        ("Sr", -1.68),
        ("Ti", -7.89),
        ("SrO", -12.75),
        ("TiO", -18.44),
        ("Ti2O3", -46.33),
        ("SrO2", -18.11),
        ("Sr(OH)2", -28.25),
    ],
)
slabs = {  # seven-layer symmetric slabs: composition, total energy (eV); names in the map's markup
    "TiO_{2} (1×1)": ("Sr12Ti16O44", -603.263),
    "SrO (1×1)": ("Sr16Ti12O40", -545.326),
    "TiO_{2} + V_{O}": ("Sr12Ti16O42", -588.642),
    "TiO_{2} + 2V_{O}": ("Sr12Ti16O40", -573.639),
    "TiO_{2} double layer": ("Sr12Ti24O60", -827.198),
    "TiO_{2} + H_{2}O": ("Sr12Ti16O46H4", -633.703),
    "TiO_{2} + 2H_{2}O": ("Sr12Ti16O48H8", -663.543),
    "TiO_{2} + 2H": ("Sr12Ti16O44H4", -618.939),
    "SrO + V_{O}": ("Sr16Ti12O38", -529.639),
    "SrO + H_{2}O": ("Sr16Ti12O42H4", -575.966),
    "SrO + 2H_{2}O": ("Sr16Ti12O44H8", -606.254),
}
for name, (formula, energy) in slabs.items():
    study.add(phasemap.Slab(name, formula, energy, AREA))

window = (None, None, -3.0, None)
region = study.stability_region(window)
print("SrTiO3 stable:", dict(zip(region.sides, region.corners.round(2).tolist())))
result = study.solve(window)
for r in result.regions:
    print(f"{r.name:20s} {r.area:6.3f} eV²")
fig, ax = plt.subplots(figsize=(6, 4))
# Δμ axes, the bulk's limits dashed and the window beyond them washed out; V_{O} as V with O below
result.plot(ax=ax, markup=True)
fig.savefig("srtio3-001.png", dpi=150, bbox_inches="tight")
