"""Surface phase diagrams in the scientist's own terms: a bulk phase, two species whose
chemical potentials span the diagram, their reference energies, any further species held at a
fixed chemical potential, and the slabs of the candidate terminations.

Every element's chemical potential is an exact affine function of (Δμ_x, Δμ_y), the axes'
chemical potentials relative to their references: the bulk is in equilibrium with its
surroundings (Σ_e c_e·μ_e = E_bulk per formula unit), the axis species have
μ_x = E_ref,x + Δμ_x and μ_y = E_ref,y + Δμ_y, and every fixed species f has
μ_f = E_ref,f + Δμ_f. Each slab's surface energy is then a plane over (Δμ_x, Δμ_y),

    γ = (E_slab − Σ_e N_e·μ_e − E_fixed face) / (sides · A),

converted from eV/Å² with the exact factor 16.02176634 J/m² per eV/Å². The linear algebra is
done in exact fractions and each coefficient is rounded to a float once, at the end.
"""
from __future__ import annotations

import dataclasses
import math
import sys
import warnings
from fractions import Fraction
from typing import Any, Callable, Optional, Sequence, Tuple

import numpy as np

from . import _exact, gas
from ._warnings import InputWarning
from ._composition import Slab, composition, finite_real, formula

__all__ = ["Study", "StabilityRegion", "StudyResult", "PressureAxis", "UNITS"]

# Surface-energy units: the factor from eV/Å² to each (1 eV/Å² = 16.02176634 J/m², exactly).
UNITS = {"J/m2": Fraction("16.02176634"), "eV/A2": Fraction(1), "meV/A2": Fraction(1000)}

# A reference or competing energy more than this many eV per atom away from the bulk's is
# taken for a slip (hartree for eV, a dropped digit); checked only when the bulk's energy per
# atom is of the size plane-wave pseudopotential codes give (below 50 eV per atom), since
# all-electron totals differ by hundreds of eV per atom between elements.
PER_ATOM_LIMIT = 10.0
PSEUDOPOTENTIAL_SCALE = 50.0

# "Stable elsewhere" for the window check, when the bulk's stability region does not bound
# it: within this many eV of the references on both axes.
PLAUSIBLE_RANGE = 10.0

# A region whose part outside the bulk's stability region is below this fraction of its area
# counts as inside (the engine's corners are rounded to floats).
OUTSIDE_TOLERANCE = 1e-9


def _exact_real(value: Any, what: str) -> Fraction:
    """A finite number as an exact fraction (a float exactly as it is stored)."""
    return value if isinstance(value, Fraction) else Fraction(finite_real(value, what))


def _phase(value: Any, what: str) -> Tuple[str, dict, Fraction]:
    """(name, composition, energy) from (composition, energy) or (name, composition, energy)."""
    if not isinstance(value, (tuple, list)) or len(value) not in (2, 3):
        raise ValueError(
            f"{what} is {value!r}; give (composition, energy) or (name, composition, energy)"
        )
    comp = composition(value[-2])
    name = (
        str(value[0])
        if len(value) == 3
        else (value[0] if isinstance(value[0], str) else formula(comp))
    )
    return name, comp, _exact_real(value[-1], f"the energy of {what} {name!r}")


def _ratio(species: dict, source: dict) -> Optional[Fraction]:
    """k with species = k·source, or None when they are not proportional."""
    if set(species) != set(source):
        return None
    ratios = {Fraction(species[e]) / Fraction(source[e]) for e in species}
    return ratios.pop() if len(ratios) == 1 else None


def _atoms(comp: dict) -> Fraction:
    return sum((Fraction(c) for c in comp.values()), Fraction(0))


def _markup(name: str) -> str:
    """A formula in the map's markup: digits after a letter or ')' lowered ("H_{2}O")."""
    out, i = [], 0
    while i < len(name):
        j = i
        while j < len(name) and name[j].isdigit():
            j += 1
        if j > i and i > 0 and (name[i - 1].isalpha() or name[i - 1] == ")"):
            out.append("_{" + name[i:j] + "}")
            i = j
        else:
            out.append(name[i])
            i += 1
    return "".join(out)


@dataclasses.dataclass(frozen=True)
class _Species:
    name: str
    composition: dict
    reference: Fraction  # eV, per formula of `name`
    source: Optional[dict]  # the molecule the reference was given for, when given so


@dataclasses.dataclass(eq=False)
class StabilityRegion:
    """Where the bulk is stable: the polygon of (Δμ_x, Δμ_y) in which no competing phase and
    no element (at most its elemental reference) is more stable than the bulk.

    Attributes
    ----------
    corners : numpy.ndarray
        (k, 2) corners, eV, counter-clockwise (the usual mathematical sense: the region lies
        to the left of each side), starting from the corner of least Δμ_x (then least Δμ_y).
        Empty (0, 2) when the bulk is stable nowhere.
    sides : list of str
        For each side, from corner i to corner i + 1 (the last back to the first), the name
        of the phase or elemental reference that bounds it, or "window" for a side that the
        window cuts. Two limits along the same line: the first named (competing phases in
        their order, then the elemental references in theirs).
    area : float
        eV².
    bounds : tuple of float
        (x_min, x_max, y_min, y_max) of the region itself, without the window: -inf or inf
        where nothing bounds it.
    bounded, empty : bool
    window : tuple of float or None
        The window the polygon was cut to, if any.
    limits : list of tuple
        Every limit as (name, a, b, c): the bulk is stable where a·Δμ_x + b·Δμ_y <= c.
    corners_exact : list of tuple of fractions.Fraction
        The corners as exact fractions.

    Examples
    --------
    >>> region = study.stability_region(window=(None, None, -2.5, None))
    >>> list(zip(region.sides, region.corners.round(3).tolist()))   # doctest: +SKIP
    """

    corners: np.ndarray
    sides: list
    area: float
    bounds: tuple
    bounded: bool
    empty: bool
    window: Optional[tuple]
    limits: list
    corners_exact: list

    def contains(self, x, y, tolerance: float = 1e-9):
        """Whether each (Δμ_x, Δμ_y) lies in the region (within `tolerance` eV of its limits).

        Parameters
        ----------
        x, y : float or array_like
            Δμ_x and Δμ_y, eV.
        tolerance : float, optional
            eV.

        Returns
        -------
        bool or numpy.ndarray of bool

        Examples
        --------
        >>> bool(region.contains(*region.corners.mean(axis=0)))   # doctest: +SKIP
        True
        """
        x, y = np.broadcast_arrays(np.asarray(x, dtype=float), np.asarray(y, dtype=float))
        inside = np.full(x.shape, not self.empty)
        for _, a, b, c in self.limits:
            scale = max(abs(a), abs(b), 1.0)
            inside &= a * x + b * y <= c + tolerance * scale
        return bool(inside) if inside.ndim == 0 else inside

    def as_dict(self) -> dict:
        """The region as plain lists and numbers (JSON-ready, infinities as None)."""
        return {
            "corners": self.corners.tolist(),
            "sides": list(self.sides),
            "area": self.area,
            "bounds": [b if math.isfinite(b) else None for b in self.bounds],
            "bounded": self.bounded,
            "empty": self.empty,
            "window": None if self.window is None else list(self.window),
            "limits": [{"name": n, "a": a, "b": b, "c": c} for n, a, b, c in self.limits],
        }


@dataclasses.dataclass(frozen=True)
class PressureAxis:
    """The pressure that an axis's chemical potential stands for at one temperature.

    The axis species is `factor` molecules of `gas` (an axis "O" referenced to half an O2 has
    factor 1/2), so Δμ_axis = factor · gas.delta_mu(gas, T, p). This assumes the axis's
    reference energy is the molecule's energy at 0 K as the tables count it, which includes
    the zero-point energy.

    Attributes
    ----------
    axis : str
        "x" or "y".
    species, gas : str
    factor : float
    temperature : float
        K.

    Examples
    --------
    >>> axis = study.pressure_axis("y", 300)
    >>> secondary = ax.secondary_yaxis("right", functions=axis.functions)   # doctest: +SKIP
    """

    axis: str
    species: str
    gas: str
    factor: float
    temperature: float

    def log10_pressure(self, dmu):
        """log10(p / 1 bar) of the gas at the axis value(s) `dmu` (Δμ of the axis, eV)."""
        return gas.log10_pressure(
            self.gas, np.asarray(dmu, dtype=float) / self.factor, self.temperature
        )

    def pressure(self, dmu):
        """The pressure, bar, of the gas at the axis value(s) `dmu` (eV)."""
        return gas.pressure(self.gas, np.asarray(dmu, dtype=float) / self.factor, self.temperature)

    def delta_mu(self, log10_p):
        """The axis value, eV, at which the gas's pressure is 10**log10_p bar."""
        p = np.asarray(log10_p, dtype=float)
        standard = gas.delta_mu(self.gas, self.temperature)
        out = self.factor * (standard + gas.K_B * self.temperature * math.log(10.0) * p)
        return float(out) if np.ndim(out) == 0 else out

    @property
    def functions(self) -> Tuple[Callable, Callable]:
        """(Δμ → log10 p, log10 p → Δμ), as matplotlib's secondary axes take them."""
        return self.log10_pressure, self.delta_mu


class StudyResult:
    """The engine's result for a study's planes, with where they lie against the bulk's
    stability region. Every attribute of the engine's result (regions, never_stable,
    stable_at, energy_at, to_json, plot, ...) is available on it.

    Attributes
    ----------
    result
        The result of ``phasemap.envelope`` for the study's planes and names.
    window : tuple of float
        (x_min, x_max, y_min, y_max), eV, Δμ.
    stability_region : StabilityRegion or None
        The bulk's stability region within the window; None for a study without limits.
    outside : list of int
        The surfaces (1-based) whose whole region lies outside the bulk's stability region.
    partly_outside : list of int
        The surfaces whose region lies partly inside and partly outside it. A part smaller
        than 1e-9 of a region's area is not counted either way.

    Examples
    --------
    >>> result = study.solve()   # doctest: +SKIP
    >>> [r.name for r in result.regions if r.surface in result.partly_outside]   # doctest: +SKIP
    """

    def __init__(self, result: Any, window: tuple, region: Optional[StabilityRegion]):
        self.result = result
        self.window = window
        self.stability_region = region
        self.outside: list = []
        self.partly_outside: list = []
        if region is None:
            return
        for r in result.regions:
            share = _share_inside(np.asarray(r.corners, dtype=float), region)
            if share is None:
                continue
            if share <= OUTSIDE_TOLERANCE:
                self.outside.append(r.surface)
            elif share < 1 - OUTSIDE_TOLERANCE:
                self.partly_outside.append(r.surface)

    def __getattr__(self, name: str):
        if name == "result":
            raise AttributeError(name)
        return getattr(self.result, name)

    def as_dict(self) -> dict:
        """The engine's ``as_dict()`` with the window, the stability region and the lists of
        surfaces outside it."""
        out = dict(self.result.as_dict())
        out["window"] = list(self.window)
        out["stability_region"] = (
            None if self.stability_region is None else self.stability_region.as_dict()
        )
        out["outside"] = list(self.outside)
        out["partly_outside"] = list(self.partly_outside)
        return out


def _share_inside(corners: np.ndarray, region: StabilityRegion) -> Optional[Fraction]:
    """The share of a polygon's area inside the region, exactly for its float corners."""
    points = [(Fraction(float(x)), Fraction(float(y))) for x, y in corners]
    whole = _exact.area(points)
    if whole == 0:
        return None
    if whole < 0:
        points.reverse()
        whole = -whole
    polygon = [(p, "") for p in points]
    if region.empty:
        return Fraction(0)
    for name, a, b, c in region.limits:
        polygon = _exact.clip(polygon, (Fraction(a), Fraction(b), Fraction(c), name))
        if not polygon:
            return Fraction(0)
    return _exact.area([p for p, _ in polygon]) / whole


class Study:
    """A surface phase diagram set up from total energies: the bulk, the axes' species and
    their references, fixed species, competing phases and the slabs.

    Parameters
    ----------
    bulk : tuple
        (composition, energy): the bulk phase per formula unit of the composition given
        (a formula, dict, ase.Atoms or pymatgen object), energy in eV.
    x, y : str
        The species whose chemical potentials relative to their references, Δμ_x and Δμ_y
        (eV), span the diagram: an element ("O") or a molecule ("O2", "H2O", "CO").
    references : dict
        For each species named in `x`, `y` and `fixed`, its reference energy, eV: a number
        (the energy of that species, per its formula), or (composition, energy) of a molecule
        or phase that it is a multiple of (``"O": ("O2", -9.86)`` is half an O2). An entry
        for an elemental species ("Fe", "O2", "H2") limits that element's chemical potential
        to its reference: the bulk is stable only where μ_e <= E_ref / n.
    fixed : dict, optional
        The chemical potential of every further species, relative to its reference, eV
        (``{"TiO2": -0.5}``): needed when the bulk, x and y do not determine every element.
    competing : sequence, optional
        Other bulk phases as (composition, energy) per formula unit, or (name, composition,
        energy): the bulk is stable only where none of them is more stable.
    unit : str, optional
        The surface energies' unit: "J/m2" (default), "eV/A2" or "meV/A2".

    Raises
    ------
    ValueError
        When a species has no reference, a reference is not a multiple of its species, an
        element is in no species, or the species do not determine every element's chemical
        potential (the message names the element), or name one species twice.

    Examples
    --------
    >>> study = phasemap.Study(
    ...     bulk=("Fe3O4", -56.25), x="O2", y="H2O",
    ...     references={"O2": -9.86, "H2O": -14.22, "H2": -6.77},
    ...     competing=[("Fe", -8.31), ("FeO", -16.04), ("Fe2O3", -39.88)])
    >>> study.add(phasemap.Slab("SCV", "Fe26O40", -519.034, 70.49))
    >>> study.planes.shape
    (1, 3)
    """

    def __init__(
        self,
        bulk: Any,
        x: str,
        y: str,
        references: dict,
        fixed: Optional[dict] = None,
        competing: Optional[Sequence] = None,
        unit: str = "J/m2",
    ):
        if unit not in UNITS:
            raise ValueError(f"unit {unit!r} is not one of {', '.join(UNITS)}")
        self.unit = unit
        self._factor = UNITS[unit]
        name, self.bulk_composition, self._bulk_energy = _phase(bulk, "the bulk")
        self.bulk_name = name
        self.bulk_energy = float(self._bulk_energy)
        if not isinstance(references, dict):
            raise ValueError("references is a dict of species names to reference energies")
        self.references = dict(references)
        self._species = {s: self._reference(s, v) for s, v in references.items()}
        fixed = dict(fixed or {})
        self.fixed = {s: float(_exact_real(v, f"the fixed Δμ of {s!r}")) for s, v in fixed.items()}
        self.x, self.y = str(x), str(y)
        named = [self.x, self.y] + list(fixed)
        for role, species in zip(["x", "y"] + ["fixed"] * len(fixed), named):
            if species not in self._species:
                raise ValueError(
                    f"the {role} species {species!r} has no reference energy: add "
                    f"references[{species!r}] (a number, eV, or (composition, energy))"
                )
            if named.count(species) > 1:
                raise ValueError(f"the species {species!r} is named twice among x, y and fixed")
        self._solve_elements(fixed)
        self.competing = [
            _phase(p, f"competing phase {i + 1}") for i, p in enumerate(competing or ())
        ]
        for pname, comp, _ in self.competing:
            self._check_elements(comp, f"competing phase {pname!r}")
        self._limits = self._build_limits()
        self._slabs: list = []
        self._planes: list = []  # exact (a, b, d) per slab
        self._check_per_atom()

    # --- set-up ------------------------------------------------------------------------

    def _reference(self, species: str, value: Any) -> _Species:
        comp = composition(species)
        if isinstance(value, (tuple, list)):
            if len(value) != 2:
                raise ValueError(
                    f"references[{species!r}] is {value!r}; give a number or "
                    f"(composition, energy)"
                )
            source = composition(value[0])
            k = _ratio(comp, source)
            if k is None:
                raise ValueError(
                    f"references[{species!r}]: {formula(comp)} is no multiple of "
                    f"{formula(source)}, whose energy was given"
                )
            energy = _exact_real(value[1], f"the reference energy of {species!r}")
            return _Species(species, comp, k * energy, source)
        return _Species(species, comp, _exact_real(value, f"the reference of {species!r}"), None)

    def _solve_elements(self, fixed: dict) -> None:
        rows = [("the bulk " + self.bulk_name, self.bulk_composition, (self._bulk_energy, 0, 0))]
        rows.append(
            (
                f"x species {self.x!r}",
                self._species[self.x].composition,
                (self._species[self.x].reference, 1, 0),
            )
        )
        rows.append(
            (
                f"y species {self.y!r}",
                self._species[self.y].composition,
                (self._species[self.y].reference, 0, 1),
            )
        )
        for s, dmu in fixed.items():
            ref = self._species[s].reference + _exact_real(dmu, f"the fixed Δμ of {s!r}")
            rows.append((f"fixed species {s!r}", self._species[s].composition, (ref, 0, 0)))
        elements: list = []
        for _, comp, _ in rows:
            elements += [e for e in comp if e not in elements]
        self.elements = elements
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
        self._rows = rows
        self._inverse = _exact.inverse(matrix)
        # μ_e = α_e + β_e·Δμ_x + γ_e·Δμ_y, exactly
        self._mu = {
            e: tuple(
                sum(
                    (self._inverse[k][i] * Fraction(rows[i][2][m]) for i in range(len(rows))),
                    Fraction(0),
                )
                for m in range(3)
            )
            for k, e in enumerate(elements)
        }

    def _check_elements(self, comp: dict, what: str) -> None:
        for e in comp:
            if e not in self._mu:
                raise ValueError(
                    f"{what} holds {e}, which the study cannot account for: no species of the "
                    f"bulk, x, y or fixed holds {e} (its elements: {', '.join(self.elements)})"
                )

    def _affine(self, comp: dict) -> Tuple[Fraction, Fraction, Fraction]:
        """Σ_e N_e·μ_e as (constant, Δμ_x coefficient, Δμ_y coefficient)."""
        out = [Fraction(0)] * 3
        for e, n in comp.items():
            out = [o + Fraction(n) * m for o, m in zip(out, self._mu[e])]
        return tuple(out)

    def _build_limits(self) -> list:
        limits = [(n, c, e) for n, c, e in self.competing]
        for s in self._species.values():
            if len(s.composition) == 1 and set(s.composition) <= set(self._mu):
                limits.append((s.name, s.composition, s.reference))
        out = []
        for name, comp, energy in limits:
            const, a, b = self._affine(comp)
            out.append((a, b, energy - const, name))  # a·Δx + b·Δy <= c
        return out

    def _check_per_atom(self) -> None:
        per_atom = self._bulk_energy / _atoms(self.bulk_composition)
        if abs(per_atom) > PSEUDOPOTENTIAL_SCALE:
            return
        entries = [
            (f"reference {s.name!r}", s.composition, s.reference) for s in self._species.values()
        ]
        entries += [(f"competing phase {n!r}", c, e) for n, c, e in self.competing]
        for what, comp, energy in entries:
            self._warn_per_atom(what, comp, energy, per_atom)

    def _warn_per_atom(self, what: str, comp: dict, energy: Fraction, bulk: Fraction) -> None:
        own = energy / _atoms(comp)
        if abs(own - bulk) > PER_ATOM_LIMIT:
            warnings.warn(
                f"the energy of {what}, {float(own):.4g} eV per atom, is {float(own - bulk):+.4g}"
                f" eV per atom from the bulk's ({float(bulk):.4g} eV per atom): is it in eV "
                f"and for the composition given?",
                InputWarning,
                stacklevel=4,
            )

    # --- slabs -------------------------------------------------------------------------

    def add(self, *slabs: Slab) -> None:
        """Adds slabs to the study.

        Parameters
        ----------
        *slabs : Slab

        Raises
        ------
        ValueError
            When a slab holds an element the study cannot account for (the message names it).

        Warns
        -----
        InputWarning
            For a slab with the same composition and energy as one already added, or an
            energy per atom far from the bulk's.

        Examples
        --------
        >>> study.add(phasemap.Slab("DBT", "Fe28O40", -536.144, 70.49))
        """
        for slab in slabs:
            if not isinstance(slab, Slab):
                raise ValueError(f"{slab!r} is not a phasemap.Slab")
            plane = self._plane(slab)
            for other in self._slabs:
                if other.composition == slab.composition and other.energy == slab.energy:
                    warnings.warn(
                        f"slab {slab.name!r} has the same composition and energy as slab "
                        f"{other.name!r}: the same slab twice?",
                        InputWarning,
                        stacklevel=2,
                    )
            per_atom = self._bulk_energy / _atoms(self.bulk_composition)
            if abs(per_atom) <= PSEUDOPOTENTIAL_SCALE:
                self._warn_per_atom(
                    f"slab {slab.name!r}", slab.composition, Fraction(slab.energy), per_atom
                )
            self._slabs.append(slab)
            self._planes.append(plane)

    def _effective(self, slab: Slab) -> Tuple[dict, Fraction]:
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

    def _plane(self, slab: Slab) -> Tuple[Fraction, Fraction, Fraction]:
        self._check_elements(slab.composition, f"slab {slab.name!r}")
        if isinstance(slab.fixed_face, Slab):
            self._check_elements(
                slab.fixed_face.composition, f"the fixed face's slab {slab.fixed_face.name!r}"
            )
        comp, energy = self._effective(slab)
        const, a, b = self._affine(comp)
        scale = self._factor / (slab.sides * Fraction(slab.area))
        return (-a * scale, -b * scale, (energy - const) * scale)

    @property
    def slabs(self) -> list:
        """The slabs, in the order added (their 1-based index is the surface number).

        Examples
        --------
        >>> [slab.name for slab in study.slabs]   # doctest: +SKIP
        """
        return list(self._slabs)

    @property
    def planes(self) -> np.ndarray:
        """(n, 3) array of each slab's plane (a, b, d): γ = a·Δμ_x + b·Δμ_y + d, in `unit`
        per eV of Δμ (a, b) and in `unit` (d).

        Examples
        --------
        >>> a, b, d = study.planes[0]   # the first slab's plane
        """
        return np.array([[float(v) for v in p] for p in self._planes], dtype=float).reshape(-1, 3)

    @property
    def planes_exact(self) -> list:
        """The planes as exact fractions: a list of (a, b, d)."""
        return list(self._planes)

    def surface_energy(self, slab: Any, dx, dy):
        """A slab's surface energy at (Δμ_x, Δμ_y), in the study's unit.

        Parameters
        ----------
        slab : Slab or str
            A Slab (added or not) or the name of an added one.
        dx, dy : float or array_like
            Δμ_x and Δμ_y, eV.

        Returns
        -------
        float or numpy.ndarray
            Exact to the last bit for scalar arguments; arrays are evaluated in floats.

        Examples
        --------
        >>> round(study.surface_energy("SCV", -5.2, -1.0), 4)   # doctest: +SKIP
        """
        if isinstance(slab, str):
            found = [p for s, p in zip(self._slabs, self._planes) if s.name == slab]
            if not found:
                raise ValueError(f"no slab named {slab!r} in the study")
            plane = found[0]
        else:
            plane = self._plane(slab)
        if np.ndim(dx) == 0 and np.ndim(dy) == 0:
            x = _exact_real(dx, "Δμ_x")
            y = _exact_real(dy, "Δμ_y")
            return float(plane[0] * x + plane[1] * y + plane[2])
        a, b, d = (float(v) for v in plane)
        return a * np.asarray(dx, dtype=float) + b * np.asarray(dy, dtype=float) + d

    def chemical_potentials(self, dx: float = 0.0, dy: float = 0.0) -> dict:
        """Every element's chemical potential (eV, absolute) at (Δμ_x, Δμ_y).

        Parameters
        ----------
        dx, dy : float, optional
            Δμ_x and Δμ_y, eV (default 0: the references).

        Returns
        -------
        dict
            Element symbol to μ_e, eV.

        Examples
        --------
        >>> study.chemical_potentials(0.0, 0.0)["O"]   # half the O2 reference
        -4.93
        """
        x, y = _exact_real(dx, "Δμ_x"), _exact_real(dy, "Δμ_y")
        return {e: float(m[0] + m[1] * x + m[2] * y) for e, m in self._mu.items()}

    # --- the bulk's stability region ---------------------------------------------------

    def _region_polygon(self):
        """The exact region, cut to a square that strictly holds all its corners, and its
        bounds (None where open); None when the bulk is stable nowhere."""
        planes = []
        for a, b, c, name in self._limits:
            if a == 0 and b == 0:
                if c < 0:
                    return None, name
                continue
            planes.append((a, b, c, name))
        half = max(_exact.enclosing(planes), Fraction(2 * PLAUSIBLE_RANGE))
        polygon = _exact.box(-half, half, -half, half, "open")
        for plane in planes:
            polygon = _exact.clip(polygon, plane)
            if not polygon:
                return None, plane[3]
        xs = [p[0] for p, _ in polygon]
        ys = [p[1] for p, _ in polygon]
        bounds = (
            None if min(xs) == -half else min(xs),
            None if max(xs) == half else max(xs),
            None if min(ys) == -half else min(ys),
            None if max(ys) == half else max(ys),
        )
        return polygon, bounds

    def _resolve_window(self, window: Optional[Sequence], what: str, strict: bool = True) -> tuple:
        """The window as exact fractions, None entries taken from the bulk's region."""
        if window is not None and len(window) != 4:
            raise ValueError(f"window is {window!r}; give (x_min, x_max, y_min, y_max)")
        given = [None] * 4 if window is None else list(window)
        if any(v is None for v in given):
            polygon, bounds = self._region_polygon()
            if polygon is None:
                raise ValueError(
                    f"{what}: the bulk {self.bulk_name} is stable nowhere, so its stability "
                    f"region gives no window; give one, (x_min, x_max, y_min, y_max) in eV"
                )
            names = ("x_min", "x_max", "y_min", "y_max")
            open_ = [names[i] for i in range(4) if given[i] is None and bounds[i] is None]
            if open_:
                raise ValueError(
                    f"{what}: the bulk's stability region is open ({self._describe(bounds)}), "
                    f"so it gives no {', '.join(open_)}; give the window with numbers there, "
                    f"None for the entries the region gives, e.g. window=(None, None, -3.0, None)"
                )
            given = [bounds[i] if v is None else v for i, v in enumerate(given)]
        try:
            out = tuple(
                v if isinstance(v, Fraction) else _exact_real(v, "a window entry") for v in given
            )
        except ValueError:
            raise ValueError(
                f"window is {window!r}; its entries are finite numbers or None"
            ) from None
        ordered = (
            (out[0] < out[1] and out[2] < out[3])
            if strict
            else (out[0] <= out[1] and out[2] <= out[3])
        )
        if not ordered:
            shown = tuple(float(v) for v in out)
            raise ValueError(f"{what}: the window {shown} is not x_min < x_max, y_min < y_max")
        return out

    @staticmethod
    def _describe(bounds: tuple) -> str:
        def show(v, sign):
            return f"{sign}inf" if v is None else f"{float(v):.4g}"

        return (
            f"Δμ_x from {show(bounds[0], '-')} to {show(bounds[1], '')}, "
            f"Δμ_y from {show(bounds[2], '-')} to {show(bounds[3], '')}"
        )

    def stability_region(self, window: Optional[Sequence] = None) -> StabilityRegion:
        """The polygon of (Δμ_x, Δμ_y) where the bulk is stable.

        The bulk is stable where no competing phase P is more stable,
        Σ_e c_P,e·μ_e <= E_P, and every element with an elemental reference stays at or below
        it, μ_e <= E_ref,e. The intersection of these half-planes is computed exactly.

        Parameters
        ----------
        window : tuple, optional
            (x_min, x_max, y_min, y_max), eV: the region is cut to it. Entries may be None,
            taken from the region's own bounds. Without a window the region must be bounded.

        Returns
        -------
        StabilityRegion
            Its `corners` run counter-clockwise; `sides` names what bounds each side.

        Raises
        ------
        ValueError
            When the region is open on a side the window leaves to it (the message gives the
            region's bounds).

        Warns
        -----
        InputWarning
            When the bulk is stable nowhere (the region is then `empty`, with no corners), or
            only on a line or at a point (zero area).

        Examples
        --------
        >>> region = study.stability_region(window=(None, None, -2.5, None))
        >>> region.sides   # doctest: +SKIP
        ['window', 'Fe2O3', 'H2', 'Fe']
        """
        polygon, bounds = self._region_polygon()
        limits = [(n, float(a), float(b), float(c)) for a, b, c, n in self._limits]
        if polygon is None:
            warnings.warn(
                f"the bulk {self.bulk_name} is stable nowhere: the limits ({bounds} among "
                f"them) exclude one another; check the energies of the bulk and of "
                f"{', '.join(n for n, *_ in limits)}",
                InputWarning,
                stacklevel=2,
            )
            empty_window = None if window is None else tuple(window)
            return StabilityRegion(
                np.zeros((0, 2)), [], 0.0, (math.nan,) * 4, True, True, empty_window, limits, []
            )
        cut = None
        if window is not None or None in bounds:
            exact = self._resolve_window(window, "stability_region", strict=False)
            x0, x1, y0, y1 = exact
            cut = tuple(float(v) for v in exact)
            for plane in (
                (Fraction(-1), Fraction(0), -x0, "window"),
                (Fraction(1), Fraction(0), x1, "window"),
                (Fraction(0), Fraction(-1), -y0, "window"),
                (Fraction(0), Fraction(1), y1, "window"),
            ):
                polygon = _exact.clip(polygon, plane)
                if not polygon:
                    break
        float_bounds = tuple(
            (-math.inf if i % 2 == 0 else math.inf) if b is None else float(b)
            for i, b in enumerate(bounds)
        )
        bounded = None not in bounds
        if not polygon:
            warnings.warn(
                f"the bulk {self.bulk_name}'s stability region ({self._describe(bounds)}) lies "
                f"outside the window {cut}",
                InputWarning,
                stacklevel=2,
            )
            return StabilityRegion(
                np.zeros((0, 2)), [], 0.0, float_bounds, bounded, True, cut, limits, []
            )
        start = min(range(len(polygon)), key=lambda i: polygon[i][0])
        polygon = polygon[start:] + polygon[:start]
        points = [p for p, _ in polygon]
        area = _exact.area(points)
        if area == 0:
            warnings.warn(
                f"the bulk {self.bulk_name} is stable only on a line or at a point "
                f"({', '.join(f'({float(x):.4g}, {float(y):.4g})' for x, y in points)})",
                InputWarning,
                stacklevel=2,
            )
        return StabilityRegion(
            corners=np.array([[float(x), float(y)] for x, y in points]).reshape(-1, 2),
            sides=[name for _, name in polygon],
            area=float(area),
            bounds=float_bounds,
            bounded=bounded,
            empty=False,
            window=cut,
            limits=limits,
            corners_exact=points,
        )

    # --- solving -----------------------------------------------------------------------

    def _check_window(self, window: tuple) -> None:
        """Warns when one slab is lowest over the whole window while others are stable
        elsewhere: in the bulk's stability region, or within PLAUSIBLE_RANGE eV of the
        references when nothing bounds the bulk."""
        if len(self._planes) < 2:
            return
        corners = [(x, y) for x in window[:2] for y in window[2:]]

        def g(plane, point):
            return plane[0] * point[0] + plane[1] * point[1] + plane[2]

        w = min(range(len(self._planes)), key=lambda i: g(self._planes[i], corners[0]))
        winner = self._planes[w]
        if any(g(p, c) < g(winner, c) for p in self._planes for c in corners):
            return  # a boundary crosses the window
        r = Fraction(PLAUSIBLE_RANGE)
        where = "within 10 eV of the references"
        domain = _exact.box(-r, r, -r, r, "")
        if self._limits:
            polygon, _ = self._region_polygon()
            if polygon is None:
                return
            for plane in (
                (Fraction(-1), Fraction(0), r, ""),
                (Fraction(1), Fraction(0), r, ""),
                (Fraction(0), Fraction(-1), r, ""),
                (Fraction(0), Fraction(1), r, ""),
            ):
                polygon = _exact.clip(polygon, plane)
                if not polygon:
                    return
            domain, where = polygon, "in the bulk's stability region"
        # The winner's excess over the lowest plane is convex, so if the winner is not the
        # lowest everywhere in the domain it is not at one of its corners: the slabs lowest
        # there are stable elsewhere.
        elsewhere: list = []
        for point, _ in domain:
            low = min(range(len(self._planes)), key=lambda i: g(self._planes[i], point))
            margin = Fraction(1, 10**9) * (1 + abs(g(winner, point)))
            name = self._slabs[low].name
            if g(self._planes[low], point) < g(winner, point) - margin and name not in elsewhere:
                elsewhere.append(name)
        if elsewhere:
            shown = ", ".join(repr(n) for n in elsewhere[:3]) + (
                " ..." if len(elsewhere) > 3 else ""
            )
            box = tuple(float(v) for v in window)
            warnings.warn(
                f"the window {box} holds one region, {self._slabs[w].name!r}, and no "
                f"boundary, while {shown} {'is' if len(elsewhere) == 1 else 'are'} stable "
                f"elsewhere {where}: is the window in Δμ, relative to the references?",
                InputWarning,
                stacklevel=3,
            )

    def solve(self, window: Optional[Sequence] = None) -> StudyResult:
        """The exact diagram of the study's slabs over (Δμ_x, Δμ_y), by ``phasemap.envelope``.

        Parameters
        ----------
        window : tuple, optional
            (x_min, x_max, y_min, y_max), eV; by default the bounding box of the bulk's
            stability region, and None entries are taken from it.

        Returns
        -------
        StudyResult
            The engine's result with the slabs' names, and which regions lie outside the
            bulk's stability region.

        Warns
        -----
        InputWarning
            When the window holds a single region and no boundary while another slab is
            stable elsewhere (a window typed in absolute chemical potentials, for example).

        Examples
        --------
        >>> result = study.solve(window=(None, None, -2.5, None))   # doctest: +SKIP
        >>> [(r.name, round(r.area, 3)) for r in result.regions]   # doctest: +SKIP
        """
        if not self._slabs:
            raise ValueError("the study has no slabs: add some with study.add(...)")
        exact = self._resolve_window(window, "solve")
        self._check_window(exact)
        window = tuple(float(v) for v in exact)
        envelope = getattr(sys.modules[__package__], "envelope", None)  # looked up at call time
        if envelope is None:
            raise RuntimeError("this build of phasemap has no phasemap.envelope to solve with")
        result = envelope(self.planes, window, names=[s.name for s in self._slabs])
        region = None
        if self._limits:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", InputWarning)
                region = self.stability_region(exact)
        return StudyResult(result, window, region)

    # --- temperature and pressure ------------------------------------------------------

    def pressure_axis(self, axis: str, temperature: float) -> PressureAxis:
        """The pressure of the gas that an axis stands for, at one temperature.

        Parameters
        ----------
        axis : str
            "x" or "y".
        temperature : float
            K, from 100 to 1500.

        Returns
        -------
        PressureAxis
            Its `functions` are (Δμ → log10 p/bar, log10 p/bar → Δμ) for a secondary axis.

        Raises
        ------
        ValueError
            When the axis species is no gas of the tables (`phasemap.gas.species()`).

        Examples
        --------
        >>> axis = study.pressure_axis("x", 300)
        >>> round(float(axis.log10_pressure(-1.0)), 1)   # p(O2) in bar at Δμ_O2 = -1 eV
        -7.6
        """
        if axis not in ("x", "y"):
            raise ValueError(f"axis is {axis!r}; it is 'x' or 'y'")
        species = self._species[self.x if axis == "x" else self.y]
        gas._check_temperature(temperature)
        tables = {name: composition(name) for name in gas.species()}
        candidates = []
        if species.source is not None:
            candidates.append(species.source)
        candidates.append(species.composition)
        if len(species.composition) == 1:
            (element,) = species.composition
            candidates.append({element: 2})
        for comp in candidates:
            for name, table_comp in tables.items():
                k = _ratio(species.composition, table_comp)
                if table_comp == comp and k is not None:
                    return PressureAxis(axis, species.name, name, float(k), float(temperature))
        raise ValueError(
            f"the {axis} species {species.name!r} is no gas of the thermochemical tables "
            f"({', '.join(gas.species())})"
        )

    # --- the program's diagram ---------------------------------------------------------

    def to_diagram(
        self,
        window: Optional[Sequence] = None,
        labels: Any = None,
        scales: Sequence = (),
        x_title: Optional[str] = None,
        y_title: Optional[str] = None,
    ):
        """The program's Diagram (and so input.txt) of the same planes.

        The program's surfaces have three counts in fixed roles, absolute chemical potentials
        and a constant of its own, so the Diagram is built as follows:

        - The program's axes are the absolute chemical potentials μ_x = E_ref,x + Δμ_x and
          μ_y = E_ref,y + Δμ_y (eV), and the window, the labels and the pressure scales are
          shifted by the references accordingly.
        - The bulk is written as b1 units of a remainder R and b2 of the x species, b2 being
          as many x species as the bulk holds (for Fe3O4 with x = O2: 3 Fe and 2 O2), and each
          slab as n1 = r·b1, n2 = q_x + r·b2, n3 = q_y, where the slab's composition is
          exactly r bulk units plus q_x x species plus q_y y species; a slab whose counts are
          not whole is written for a multiple of its cell (counts, area and energy alike).
        - A one-sided slab is written with half its area and its energy less its fixed face.
        - The program computes γ = 8.01·(E − ...)/A for a slab of two faces, with 8.01 in
          single precision (8.0100002288818359375) where the exact factor is
          16.02176634 / 2 = 8.01088317: its planes are those of `planes` in J/m², times
          8.0100002288818359375 / 8.01088317 = 0.999889757..., at
          (E_ref,x + Δμ_x, E_ref,y + Δμ_y).
        - Its reals are single precision: energies, areas, the window and the planes' stored
          coefficients are rounded to about 7 significant digits (for a slab energy of some
          hundred eV, 1e-5 eV, so a few 1e-6 J/m² after the difference with the bulk).

        Parameters
        ----------
        window : tuple, optional
            (x_min, x_max, y_min, y_max) in Δμ, eV, as for `solve` (None entries from the
            bulk's stability region).
        labels : sequence or "names", optional
            (x, y, size, text) labels with x, y in Δμ (eV) and size in points, or "names" for
            each region's name at its centroid (this solves the study).
        scales : sequence, optional
            Up to two temperatures (K) for the program's pressure scales (temp1, temp2), with
            the 1 bar point of each gas axis at its Δμ(T, 1 bar) and about five ticks; or
            ``phasemap.PressureScale`` values, taken as they are (absolute coordinates).
        x_title, y_title : str, optional
            Axis titles (the program prints μ before them); by default the species'
            formulas in the map's markup ("O_{2}").

        Returns
        -------
        phasemap.Diagram

        Raises
        ------
        ValueError
            With more than 16 slabs, a slab that holds a fixed species beyond the bulk and
            the axes' species (a fourth count), counts that are not small whole numbers for
            any cell multiple up to 10^6, or a pressure scale for an axis that is not one
            molecule of a gas.

        Examples
        --------
        >>> diagram = study.to_diagram(window=(-5.9, -4.5, -2.5, 0.0), scales=(300,))
        >>> print(diagram.to_input())   # doctest: +SKIP
        """
        from . import Bulk, Diagram, Label, PressureScale, Surface

        if not self._slabs:
            raise ValueError("the study has no slabs: add some with study.add(...)")
        if len(self._slabs) > 16:
            raise ValueError(
                f"the study has {len(self._slabs)} slabs and the program's diagram holds at "
                f"most 16: solve it with study.solve(), or make a diagram of fewer slabs"
            )
        exact = self._resolve_window(window, "to_diagram")
        self._check_window(exact)
        window = tuple(float(v) for v in exact)
        x_species, y_species = self._species[self.x], self._species[self.y]
        x0, y0 = x_species.reference, y_species.reference
        xc = x_species.composition
        b2 = min(Fraction(self.bulk_composition.get(e, 0)) / Fraction(n) for e, n in xc.items())
        rest = {
            e: Fraction(n) - b2 * Fraction(xc.get(e, 0)) for e, n in self.bulk_composition.items()
        }
        rest = {e: n for e, n in rest.items() if n != 0}
        b1 = _rational_gcd(list(rest.values()))
        m = _lcm_of_denominators([b1, b2])
        bulk = Bulk((int(m * b1), int(m * b2)), float(m * self._bulk_energy), 1)
        n_rows = len(self._rows)
        surfaces = []
        for slab in self._slabs:
            comp, energy = self._effective(slab)
            q = [
                sum(
                    (self._inverse[k][i] * comp.get(e, 0) for k, e in enumerate(self.elements)),
                    Fraction(0),
                )
                for i in range(n_rows)
            ]
            extra = [(self._rows[i][0], q[i]) for i in range(3, n_rows) if q[i] != 0]
            if extra:
                label, amount = extra[0]
                raise ValueError(
                    f"slab {slab.name!r} holds {amount} of the {label} beyond the bulk and the "
                    f"axes' species: the program's surfaces have three counts (bulk, x, y), "
                    f"so three counts do not suffice for this study"
                )
            r, q_x, q_y = q[0], q[1], q[2]
            counts = [r * b1, q_x + r * b2, q_y]
            scale = _lcm_of_denominators(counts)
            if scale > 10**6 or any(abs(c * scale) >= 10**7 for c in counts):
                raise ValueError(
                    f"slab {slab.name!r}: its counts ({', '.join(str(c) for c in counts)} of "
                    f"the bulk's remainder {formula(rest)}, {self.x} and {self.y}) are no small "
                    f"whole numbers for any cell multiple, so three counts do not suffice"
                )
            surfaces.append(
                Surface(
                    slab.name,
                    tuple(int(c * scale) for c in counts),
                    float(scale * slab.sides * Fraction(slab.area) / 2),
                    float(scale * energy),
                )
            )
        shift = (float(x0), float(y0))
        if isinstance(labels, str):
            if labels != "names":
                raise ValueError(f"labels is {labels!r}; give a sequence of labels or 'names'")
            solved = self.solve(window)
            labels = [(r.centroid[0], r.centroid[1], 12.0, r.name) for r in solved.regions]
        made_labels = [
            Label(float(lx) + shift[0], float(ly) + shift[1], float(size), str(text))
            for lx, ly, size, text in (labels or ())
        ]
        made_scales = [
            s if isinstance(s, PressureScale) else self._scale(float(s), window, shift)
            for s in scales
        ]
        if len(made_scales) > 2:
            raise ValueError("the program draws at most two sets of pressure scales")
        made_scales += [PressureScale()] * (2 - len(made_scales))
        absolute = (
            window[0] + shift[0],
            window[1] + shift[0],
            window[2] + shift[1],
            window[3] + shift[1],
        )
        return Diagram(
            bulk=bulk,
            surfaces=surfaces,
            window=absolute,
            x_title=_markup(self.x) if x_title is None else x_title,
            y_title=_markup(self.y) if y_title is None else y_title,
            labels=made_labels,
            scales=tuple(made_scales),
        )

    def _scale(self, temperature: float, window: tuple, shift: tuple):
        from . import PressureScale

        origins, steps = [], []
        for axis, (low, high), offset in (("x", window[:2], shift[0]), ("y", window[2:], shift[1])):
            try:
                pressure = self.pressure_axis(axis, temperature)
            except ValueError:
                origins.append(offset + (low + high) / 2)
                steps.append(0.0)
                continue
            if pressure.factor != 1.0:
                raise ValueError(
                    f"the program's pressure scales read an axis as the chemical potential of "
                    f"one molecule; the {axis} species {pressure.species!r} is "
                    f"{Fraction(pressure.factor)} {pressure.gas}: use {axis}={pressure.gas!r} "
                    f"for a scale"
                )
            origins.append(offset + pressure.delta_mu(0.0))
            decades = (high - low) / (gas.K_B * temperature * math.log(10.0))
            steps.append(float(_nice_step(decades / 5)))
        return PressureScale(temperature, origins[0], origins[1], steps[0], steps[1])


def _nice_step(decades: float) -> int:
    for magnitude in (1, 10, 100, 1000, 10000):
        for base in (1, 2, 5):
            if base * magnitude >= decades:
                return base * magnitude
    return 100000


def _rational_gcd(values: list) -> Fraction:
    numerator = 0
    for v in values:
        numerator = math.gcd(numerator, Fraction(v).numerator)
    return Fraction(numerator, _lcm_of_denominators(values)) if numerator else Fraction(1)


def _lcm_of_denominators(values: list) -> int:
    out = 1
    for v in values:
        d = Fraction(v).denominator
        out = out * d // math.gcd(out, d)
    return out
