"""Builds the 20 candidate terminations of Fe3O4(001) as ASE structures with their (stored,
illustrative) total energies attached, and writes them to slabs.extxyz beside this file.

Each slab is a symmetric nine-layer slab of the (√2×√2)R45° cell (a × a, a = 8.396 Å): five
B layers (Fe_oct4 O8) and four A layers (Fe_tet2), the same termination on both faces, which
are made alike by the slab's inversion centre. The structures are built, not relaxed: they
carry the right atoms in plausible places, which is what a study needs from them (counts and
area). The energies are illustrative numbers, not the results of a calculation or of a
publication: see README.md beside this file for how they were chosen.

Run:  /usr/bin/python3 examples/fe3o4-001/make_slabs.py
"""
import pathlib

import numpy as np
from ase import Atoms
from ase.build import molecule
from ase.calculators.singlepoint import SinglePointCalculator
from ase.spacegroup import crystal

A = 8.396  # Å, the cubic lattice constant of Fe3O4
VACUUM = 15.0  # Å between the slab's images

# Total energies, eV (illustrative; see README.md).
ENERGIES = {
    "SCV": -519.034,
    "DBT": -536.144,
    "SCV+2Fe adatoms": -553.607,
    "A-layer (Fe_tet)": -570.493,
    "SCV+1Fe adatom": -535.704,
    "SCV+Fe_oct vacancy": -500.424,
    "SCV+O adatom": -533.114,
    "FeO-like layer": -682.641,
    "SCV+H2O": -549.374,
    "SCV+2H2O": -579.313,
    "SCV+3H2O": -609.033,
    "SCV+4H2O": -638.393,
    "DBT+2H": -551.747,
    "DBT+4H": -566.467,
    "SCV+2H": -534.414,
    "SCV+4H": -548.650,
    "DBT+2H2O": -595.331,
    "A-layer+2OH": -615.718,
    "SCV+2Fe adatoms+2OH": -599.352,
    "SCV+1Fe adatom+2H2O": -594.891,
}


def bulk():
    """The conventional cell of Fe3O4 (spinel, Fd-3m, origin choice 2): Fe24O32."""
    return crystal(
        ["Fe", "Fe", "O"],
        basis=[(0.125, 0.125, 0.125), (0.5, 0.5, 0.5), (0.2549, 0.2549, 0.2549)],
        spacegroup=227,
        setting=2,
        cellpar=[A, A, A, 90, 90, 90],
    )


def base_slab():
    """The B-terminated slab (Fe28O40) and its inversion centre (an empty octahedral site
    of the middle B layer)."""
    crystal_cells = bulk().repeat((1, 1, 2))
    z = crystal_cells.positions[:, 2]
    keep = (z > 2.1 - 0.2) & (z < 2.1 + 4 * 2.1 + 0.2)  # B A B A B A B A B
    slab = crystal_cells[keep]
    centre = np.array([0.75 * A, 0.25 * A, 2.1 + 2 * 2.1])
    shift = np.array([0.0, 0.0, VACUUM / 2 - slab.positions[:, 2].min()])
    slab.positions += shift
    slab.cell = [A, A, slab.positions[:, 2].max() + VACUUM / 2]
    slab.pbc = True
    return slab, centre + shift


def layer(slab, depth):
    """Indices of the atoms of the top's layer `depth` (0: the top B layer, 1: the A layer
    below it, 2: the next B layer)."""
    top = slab.positions[:, 2].max()
    z = slab.positions[:, 2]
    target = top - 0.04 - depth * 1.05
    return [
        i
        for i in np.argsort(slab.positions[:, 0] + 0.01 * slab.positions[:, 1])
        if abs(z[i] - target) < 0.3
    ]


def termination(remove=(), add=()):
    """The base slab with the atoms `remove` (pairs of depth and index among that layer's Fe)
    taken away and `add` (symbol, x, y, height above the top B layer) put on, on both faces."""
    slab, centre = base_slab()
    top = slab.positions[:, 2].max()
    gone = []
    for depth, k in remove:
        iron = [i for i in layer(slab, depth) if slab[i].symbol == "Fe"]
        gone.append(iron[k])
    for i in list(gone):  # the same atom of the other face, through the inversion centre
        image = 2 * centre - slab.positions[i]
        distance = slab.positions - image
        distance[:, :2] -= A * np.round(distance[:, :2] / A)
        gone.append(int(np.argmin(np.linalg.norm(distance, axis=1))))
    del slab[sorted(set(gone))]
    for symbol, x, y, height in add:
        if x is None:  # the most open site at that height
            x, y = open_site(slab, top + height)
        elif x == "above":  # above the atom added last
            x, y = slab.positions[-2, :2]
        p = np.array([x, y, top + height])
        q = 2 * centre - p
        q[:2] %= A
        slab += Atoms([symbol, symbol], positions=[p, q])
    return slab


def open_site(slab, z):
    """The point of a 24 x 24 grid over the cell, at height z, farthest from every atom."""
    grid = np.array([(i * A / 24, j * A / 24, z) for i in range(24) for j in range(24)])
    d = grid[:, None, :] - slab.positions[None, :, :]
    d[:, :, :2] -= A * np.round(d[:, :, :2] / A)
    best = int(np.argmax(np.linalg.norm(d, axis=2).min(axis=1)))
    return grid[best, 0], grid[best, 1]


def water(x, y):
    """A water molecule with its O 2.1 Å above the top B layer at (x, y)."""
    h2o = molecule("H2O")
    h2o.positions -= h2o.positions[0]
    return [
        (s, x + px, y + py, 2.1 + pz)
        for s, (px, py, pz) in zip(h2o.get_chemical_symbols(), h2o.positions)
    ]


def hydroxyl(height):
    return [("O", None, None, height), ("H", "above", None, height + 0.97)]


def hydrogens(n):
    """n H atoms, 0.98 Å above the top layer's first n surface O."""
    slab, _ = base_slab()
    oxygen = [i for i in layer(slab, 0) if slab[i].symbol == "O"]
    return [("H", slab.positions[i, 0], slab.positions[i, 1], 0.98) for i in oxygen[:n]]


Q = A / 4
SCV = dict(remove=[(2, 0), (2, 1)], add=[("Fe", None, None, -1.05)])  # 2 Fe_oct out, 1 Fe_tet in
ADATOMS = [("Fe", None, None, 1.6), ("Fe", None, None, 1.6)]
A_LAYER = [("Fe", None, None, 1.5), ("Fe", None, None, 1.5)]


def scv(*extra, remove=()):
    return termination(SCV["remove"] + list(remove), SCV["add"] + list(extra))


def slabs():
    """The 20 terminations in order, as ASE atoms with their energies attached."""
    made = {
        "SCV": scv(),
        "DBT": termination(),
        "SCV+2Fe adatoms": scv(*ADATOMS),
        "A-layer (Fe_tet)": termination(add=A_LAYER),
        "SCV+1Fe adatom": scv(ADATOMS[0]),
        "SCV+Fe_oct vacancy": scv(remove=[(0, 0)]),
        "SCV+O adatom": scv(("O", None, None, 1.7)),
        "FeO-like layer": scv(
            *ADATOMS, *[("Fe", None, None, 3.4)] * 4, *[("O", None, None, 3.4)] * 4
        ),
        "SCV+H2O": scv(*water(0.0, 0.0)),
        "SCV+2H2O": scv(*water(0.0, 0.0), *water(2 * Q, 2 * Q)),
        "SCV+3H2O": scv(*water(0.0, 0.0), *water(2 * Q, 2 * Q), *water(0.0, 2 * Q)),
        "SCV+4H2O": scv(
            *water(0.0, 0.0), *water(2 * Q, 2 * Q), *water(0.0, 2 * Q), *water(2 * Q, 0.0)
        ),
        "DBT+2H": termination(add=hydrogens(2)),
        "DBT+4H": termination(add=hydrogens(4)),
        "SCV+2H": scv(*hydrogens(2)),
        "SCV+4H": scv(*hydrogens(4)),
        "DBT+2H2O": termination(add=water(0.0, 0.0) + water(2 * Q, 2 * Q)),
        "A-layer+2OH": termination(add=A_LAYER + hydroxyl(3.4) + hydroxyl(3.4)),
        "SCV+2Fe adatoms+2OH": scv(*ADATOMS, *hydroxyl(3.4), *hydroxyl(3.4)),
        "SCV+1Fe adatom+2H2O": scv(ADATOMS[0], *water(0.0, 0.0), *water(2 * Q, 2 * Q)),
    }
    out = []
    for name, atoms in made.items():
        atoms.info = {"name": name}
        del atoms.arrays["spacegroup_kinds"]
        atoms.calc = SinglePointCalculator(atoms, energy=ENERGIES[name])
        out.append(atoms)
    return out


def extxyz(atoms_list):
    """The slabs as extended XYZ text (positions to 0.1 mÅ), as ase.io.read reads it: each
    frame's name and energy in its comment line."""
    lines = []
    for atoms in atoms_list:
        cell = " ".join(f"{v:.4f}" for v in atoms.cell.array.flat)
        lines.append(str(len(atoms)))
        lines.append(
            f'Lattice="{cell}" Properties=species:S:1:pos:R:3 '
            f'name="{atoms.info["name"]}" energy={atoms.get_potential_energy():.3f} '
            f'pbc="T T T"'
        )
        lines += [f"{a.symbol:2s} {a.x:9.4f} {a.y:9.4f} {a.z:9.4f}" for a in atoms]
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    pathlib.Path(__file__).with_name("slabs.extxyz").write_text(extxyz(slabs()))
