"""A study's species and its exact linear algebra: the phases and references as exact
numbers, and every element's chemical potential as an exact affine function of (Δμ_x, Δμ_y).

The conditions, one row each, are the bulk in equilibrium with its surroundings
(Σ_e c_e·μ_e = E_bulk per formula unit), the axis species (μ_x = E_ref,x + Δμ_x,
μ_y = E_ref,y + Δμ_y) and every fixed species f (μ_f = E_ref,f + Δμ_f). `Chemistry` solves
them in fractions; a composition is then a sum of rows, and Σ_e N_e·μ_e an affine function.
Also here: the plausibility check of energies per atom.
"""

from __future__ import annotations

import dataclasses
from fractions import Fraction
from typing import Any, Mapping, Sequence

from . import _exact
from ._composition import Slab, composition, finite_real, formula
from ._errors import warn

# Surface-energy units: the factor from eV/Å² to each (1 eV/Å² = 16.02176634 J/m², exactly).
UNITS = {"J/m2": Fraction("16.02176634"), "eV/A2": Fraction(1), "meV/A2": Fraction(1000)}

# A reference or competing energy more than this many eV per atom away from the bulk's is
# taken for a slip (hartree for eV, a dropped digit); checked only when the bulk's energy per
# atom is of the size plane-wave pseudopotential codes give (below 50 eV per atom), since
# all-electron totals differ by hundreds of eV per atom between elements.
PER_ATOM_LIMIT = 10.0
PSEUDOPOTENTIAL_SCALE = 50.0

Composition = Mapping[str, Any]  # element symbol to exact count
Phase = tuple[str, dict, Fraction]  # name, composition, energy (eV per formula unit)
Affine = tuple[Fraction, Fraction, Fraction]  # constant, Δμ_x and Δμ_y coefficients
Plane = tuple[Fraction, Fraction, Fraction]  # (a, b, d) of γ = a·Δμ_x + b·Δμ_y + d


def exact_real(value: Any, what: str) -> Fraction:
    """A finite number as an exact fraction (a float exactly as it is stored)."""
    return value if isinstance(value, Fraction) else Fraction(finite_real(value, what))


def phase(value: Any, what: str) -> Phase:
    """(name, composition, energy) from (composition, energy) or (name, composition, energy)."""
    if not isinstance(value, (tuple, list)) or len(value) not in (2, 3):
        raise ValueError(
            f"{what} is {value!r}; give (composition, energy) or (name, composition, energy)"
        )
    comp = composition(value[-2])
    if len(value) == 3:
        name = str(value[0])
    else:
        name = value[0] if isinstance(value[0], str) else formula(comp)
    return name, comp, exact_real(value[-1], f"the energy of {what} {name!r}")


def ratio(species: Composition, source: Composition) -> Fraction | None:
    """k with species = k·source, or None when they are not proportional."""
    if set(species) != set(source):
        return None
    ratios = {Fraction(species[e]) / Fraction(source[e]) for e in species}
    return ratios.pop() if len(ratios) == 1 else None


def atoms(comp: Composition) -> Fraction:
    return sum((Fraction(c) for c in comp.values()), Fraction(0))


@dataclasses.dataclass(frozen=True)
class Species:
    name: str
    composition: dict
    reference: Fraction  # eV, per formula of `name`
    source: dict | None  # the molecule the reference was given for, when given so


def species(name: str, value: Any) -> Species:
    """A species with its reference energy: a number, or (composition, energy) of a molecule
    or phase that the species is a multiple of."""
    comp = composition(name)
    if not isinstance(value, (tuple, list)):
        return Species(name, comp, exact_real(value, f"the reference of {name!r}"), None)
    if len(value) != 2:
        raise ValueError(
            f"references[{name!r}] is {value!r}; give a number or (composition, energy)"
        )
    source = composition(value[0])
    k = ratio(comp, source)
    if k is None:
        raise ValueError(
            f"references[{name!r}]: {formula(comp)} is no multiple of {formula(source)}, "
            f"whose energy was given"
        )
    energy = exact_real(value[1], f"the reference energy of {name!r}")
    return Species(name, comp, k * energy, source)


class Chemistry:
    """Every element's chemical potential, exactly, from the bulk, the axis species and the
    fixed species (`fixed`: name to Δμ, eV).

    `rows` holds the conditions as (label, composition, (constant, Δμ_x, Δμ_y)) in that
    order, `elements` the elements in order of appearance, `mu` each element's μ_e as
    (α, β, γ) with μ_e = α + β·Δμ_x + γ·Δμ_y.
    """

    def __init__(
        self,
        bulk: Phase,
        table: Mapping[str, Species],
        x: str,
        y: str,
        fixed: Mapping[str, Fraction],
    ) -> None:
        bulk_name, bulk_composition, bulk_energy = bulk
        rows = [("the bulk " + bulk_name, bulk_composition, (bulk_energy, 0, 0))]
        rows.append((f"x species {x!r}", table[x].composition, (table[x].reference, 1, 0)))
        rows.append((f"y species {y!r}", table[y].composition, (table[y].reference, 0, 1)))
        for s, dmu in fixed.items():
            rows.append(
                (f"fixed species {s!r}", table[s].composition, (table[s].reference + dmu, 0, 0))
            )
        elements: list[str] = []
        for _, comp, _ in rows:
            elements += [e for e in comp if e not in elements]
        matrix = [[Fraction(comp.get(e, 0)) for e in elements] for _, comp, _ in rows]
        _, pivots, free = _exact.eliminate(matrix, len(elements))
        for (label, comp, _), pivot in zip(rows, pivots):
            if pivot is None:
                raise ValueError(
                    f"the {label} ({formula(comp)}) is a combination of the species before it, "
                    f"so its chemical potential is not free: choose species whose formulas are "
                    f"independent"
                )
        if free:
            names = ", ".join(elements[j] for j in free)
            raise ValueError(
                f"the chemical potential of {names} is not determined: the study has "
                f"{len(elements)} elements ({', '.join(elements)}) but only {len(rows)} "
                f"conditions (the bulk, x, y and {len(fixed)} fixed species); fix a further "
                f"species holding {names} with fixed={{...}}"
            )
        self.rows = rows
        self.elements = elements
        self._inverse = _exact.inverse(matrix)
        self.mu = {
            e: tuple(
                sum(
                    (self._inverse[k][i] * Fraction(rows[i][2][m]) for i in range(len(rows))),
                    Fraction(0),
                )
                for m in range(3)
            )
            for k, e in enumerate(elements)
        }

    def check_elements(self, comp: Composition, what: str) -> None:
        """Refuses a composition with an element that no condition accounts for."""
        for e in comp:
            if e not in self.mu:
                raise ValueError(
                    f"{what} holds {e}, which the study cannot account for: no species of the "
                    f"bulk, x, y or fixed holds {e} (its elements: {', '.join(self.elements)})"
                )

    def affine(self, comp: Composition) -> Affine:
        """Σ_e N_e·μ_e as (constant, Δμ_x coefficient, Δμ_y coefficient)."""
        out = [Fraction(0)] * 3
        for e, n in comp.items():
            out = [o + Fraction(n) * m for o, m in zip(out, self.mu[e])]
        return (out[0], out[1], out[2])

    def plane(self, slab: Slab, factor: Fraction) -> Plane:
        """The slab's surface energy γ = a·Δμ_x + b·Δμ_y + d as (a, b, d), in the unit whose
        factor from eV/Å² is `factor`."""
        self.check_elements(slab.composition, f"slab {slab.name!r}")
        if isinstance(slab.fixed_face, Slab):
            what = f"the fixed face's slab {slab.fixed_face.name!r}"
            self.check_elements(slab.fixed_face.composition, what)
        comp, energy = surfaces_of(slab)
        const, a, b = self.affine(comp)
        scale = factor / (slab.sides * Fraction(slab.area))
        return (-a * scale, -b * scale, (energy - const) * scale)

    def amounts(self, comp: Composition) -> list[Fraction]:
        """The composition as a sum of the conditions' compositions: one amount per row."""
        return [
            sum(
                (self._inverse[k][i] * comp.get(e, 0) for k, e in enumerate(self.elements)),
                Fraction(0),
            )
            for i in range(len(self.rows))
        ]

    def limits(
        self, competing: Sequence[Phase], table: Mapping[str, Species]
    ) -> list[_exact.HalfPlane]:
        """Where the bulk is stable, as half-planes a·Δμ_x + b·Δμ_y <= c: no competing phase
        more stable than the bulk, no element with an elemental reference above it."""
        phases = list(competing)
        for s in table.values():
            if len(s.composition) == 1 and set(s.composition) <= set(self.mu):
                phases.append((s.name, s.composition, s.reference))
        out = []
        for name, comp, energy in phases:
            const, a, b = self.affine(comp)
            out.append((a, b, energy - const, name))
        return out


def surfaces_of(slab: Slab) -> tuple[dict, Fraction]:
    """The composition and energy of the slab's surfaces, the fixed face taken off."""
    comp = {e: Fraction(n) for e, n in slab.composition.items()}
    energy = Fraction(slab.energy)
    face = slab.fixed_face
    if isinstance(face, Slab):
        share = Fraction(slab.area) / Fraction(face.area) / 2
        for e, n in face.composition.items():
            comp[e] = comp.get(e, Fraction(0)) - share * n
        energy -= share * Fraction(face.energy)
    elif face is not None:
        energy -= Fraction(face)
    return comp, energy


def check_per_atom(bulk: Phase, entries: Sequence[tuple[str, Composition, Fraction]]) -> None:
    """Warns of every entry (what, composition, energy) whose energy per atom is more than
    PER_ATOM_LIMIT eV from the bulk's, when the bulk's is of a pseudopotential code's size."""
    _, bulk_composition, bulk_energy = bulk
    per_atom = bulk_energy / atoms(bulk_composition)
    if abs(per_atom) > PSEUDOPOTENTIAL_SCALE:
        return
    for what, comp, energy in entries:
        own = energy / atoms(comp)
        if abs(own - per_atom) > PER_ATOM_LIMIT:
            warn(
                f"the energy of {what}, {float(own):.4g} eV per atom, is "
                f"{float(own - per_atom):+.4g} eV per atom from the bulk's "
                f"({float(per_atom):.4g} eV per atom): is it in eV and for the composition given?"
            )
