"""Surface phase diagrams in the scientist's own terms: a bulk phase, two species whose
chemical potentials span the diagram, their reference energies, any further species held at a
fixed chemical potential, and the slabs of the candidate terminations.

Every element's chemical potential is an exact affine function of (Δμ_x, Δμ_y), the axes'
chemical potentials relative to their references (`_study_chemistry`). Each slab's surface
energy is then a plane over (Δμ_x, Δμ_y),

    γ = (E_slab − Σ_e N_e·μ_e − E_fixed face) / (sides · A),

converted from eV/Å² with the exact factor 16.02176634 J/m² per eV/Å². The linear algebra is
done in exact fractions and each coefficient is rounded to a float once, at the end.

`Study` is here; beside it: species and linear algebra (`_study_chemistry`), the bulk's
stability region (`_study_region`), the solved study (`_study_solve`), pressure axes
(`_study_pressure`) and the program's Diagram (`_study_program`).
"""

from __future__ import annotations

import warnings
from fractions import Fraction
from typing import Any, Mapping, Sequence

import numpy as np
from numpy.typing import ArrayLike

from . import _study_program
from ._composition import Slab
from ._diagram import Diagram
from ._envelope import envelope
from ._errors import InputWarning, warn
from ._study_chemistry import UNITS, Chemistry, check_per_atom, exact_real, phase, species
from ._study_pressure import PressureAxis, pressure_axis
from ._study_region import StabilityRegion, resolve_window, stability_region
from ._study_solve import StudyResult, check_window

__all__ = ["Study", "StabilityRegion", "StudyResult", "PressureAxis", "UNITS"]

Plane = tuple[Fraction, Fraction, Fraction]


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
        Other bulk phases as (composition, energy) per formula unit, eV, or (name,
        composition, energy): the bulk is stable only where none of them is more stable.
    unit : str, optional
        The surface energies' unit: "J/m2" (default), "eV/A2" or "meV/A2".

    Raises
    ------
    ValueError
        When a species has no reference, a reference is not a multiple of its species, an
        element is in no species, or the species do not determine every element's chemical
        potential (the message names the element), or name one species twice.

    Warns
    -----
    InputWarning
        For a reference or competing phase whose energy per atom is far from the bulk's.

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
        references: Mapping[str, Any],
        fixed: Mapping[str, Any] | None = None,
        competing: Sequence[Any] | None = None,
        unit: str = "J/m2",
    ) -> None:
        if unit not in UNITS:
            raise ValueError(f"unit {unit!r} is not one of {', '.join(UNITS)}")
        self.unit = unit
        self._factor = UNITS[unit]
        self._bulk = phase(bulk, "the bulk")
        self.bulk_name, self.bulk_composition, self._bulk_energy = self._bulk
        self.bulk_energy = float(self._bulk_energy)
        if not isinstance(references, dict):
            raise ValueError("references is a dict of species names to reference energies")
        self.references = dict(references)
        self._species = {s: species(s, v) for s, v in references.items()}
        exact_fixed = {s: exact_real(v, f"the fixed Δμ of {s!r}") for s, v in (fixed or {}).items()}
        self.fixed = {s: float(v) for s, v in exact_fixed.items()}
        self.x, self.y = str(x), str(y)
        named = [self.x, self.y] + list(exact_fixed)
        for role, name in zip(["x", "y"] + ["fixed"] * len(exact_fixed), named):
            if name not in self._species:
                raise ValueError(
                    f"the {role} species {name!r} has no reference energy: add "
                    f"references[{name!r}] (a number, eV, or (composition, energy))"
                )
            if named.count(name) > 1:
                raise ValueError(f"the species {name!r} is named twice among x, y and fixed")
        self._chemistry = Chemistry(self._bulk, self._species, self.x, self.y, exact_fixed)
        self.elements = self._chemistry.elements
        self.competing = [
            phase(p, f"competing phase {i + 1}") for i, p in enumerate(competing or ())
        ]
        for name, comp, _ in self.competing:
            self._chemistry.check_elements(comp, f"competing phase {name!r}")
        self._limits = self._chemistry.limits(self.competing, self._species)
        self._slabs: list[Slab] = []
        self._planes: list[Plane] = []
        entries = [
            (f"reference {s.name!r}", s.composition, s.reference) for s in self._species.values()
        ]
        entries += [(f"competing phase {n!r}", c, e) for n, c, e in self.competing]
        check_per_atom(self._bulk, entries)

    # --- slabs ---------------------------------------------------------------------------

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
            plane = self._chemistry.plane(slab, self._factor)
            for other in self._slabs:
                if other.composition == slab.composition and other.energy == slab.energy:
                    warn(
                        f"slab {slab.name!r} has the same composition and energy as slab "
                        f"{other.name!r}: the same slab twice?"
                    )
            what = f"slab {slab.name!r}"
            check_per_atom(self._bulk, [(what, slab.composition, Fraction(slab.energy))])
            self._slabs.append(slab)
            self._planes.append(plane)

    @property
    def slabs(self) -> list[Slab]:
        """The slabs, in the order added (their 1-based index is the surface number).

        Examples
        --------
        >>> [slab.name for slab in study.slabs]
        ['SCV', 'DBT']
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
    def planes_exact(self) -> list[Plane]:
        """The planes as exact fractions: a list of (a, b, d).

        Examples
        --------
        >>> [float(v) for v in study.planes_exact[0]] == study.planes[0].tolist()
        True
        """
        return list(self._planes)

    def surface_energy(self, slab: Slab | str, dx: ArrayLike, dy: ArrayLike) -> Any:
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

        Raises
        ------
        ValueError
            For a name that no added slab has.

        Examples
        --------
        >>> round(study.surface_energy("SCV", -5.2, -1.0), 4)
        0.9803
        """
        if isinstance(slab, str):
            found = [p for s, p in zip(self._slabs, self._planes) if s.name == slab]
            if not found:
                raise ValueError(f"no slab named {slab!r} in the study")
            plane = found[0]
        else:
            plane = self._chemistry.plane(slab, self._factor)
        if np.ndim(dx) == 0 and np.ndim(dy) == 0:
            x = exact_real(dx, "Δμ_x")
            y = exact_real(dy, "Δμ_y")
            return float(plane[0] * x + plane[1] * y + plane[2])
        a, b, d = (float(v) for v in plane)
        return a * np.asarray(dx, dtype=float) + b * np.asarray(dy, dtype=float) + d

    def chemical_potentials(self, dx: float = 0.0, dy: float = 0.0) -> dict[str, float]:
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
        x, y = exact_real(dx, "Δμ_x"), exact_real(dy, "Δμ_y")
        return {e: float(m[0] + m[1] * x + m[2] * y) for e, m in self._chemistry.mu.items()}

    # --- the bulk's stability region, solving --------------------------------------------

    def _window(self, window: Sequence[Any] | None, what: str) -> tuple[Fraction, ...]:
        return resolve_window(self._limits, self.bulk_name, window, what)

    def _check_window(self, window: Sequence[Fraction]) -> None:
        check_window(self._planes, [s.name for s in self._slabs], self._limits, window)

    def stability_region(self, window: Sequence[Any] | None = None) -> StabilityRegion:
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
        >>> region.sides
        ['window', 'Fe2O3', 'H2', 'Fe']
        """
        return stability_region(self._limits, self.bulk_name, window)

    def solve(self, window: Sequence[Any] | None = None) -> StudyResult:
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

        Raises
        ------
        ValueError
            Without slabs, or for a window that is missing entries the region cannot give.
        ImportError
            When the package was built without the exact engine (no CGAL).

        Warns
        -----
        InputWarning
            When the window holds a single region and no boundary while another slab is
            stable elsewhere (a window typed in absolute chemical potentials, for example).

        Examples
        --------
        >>> result = study.solve(window=(None, None, -2.5, None))
        >>> [r.name for r in result.regions]
        ['SCV', 'DBT']
        """
        if not self._slabs:
            raise ValueError("the study has no slabs: add some with study.add(...)")
        exact = self._window(window, "solve")
        self._check_window(exact)
        box = tuple(float(v) for v in exact)
        result = envelope(self.planes, box, names=[s.name for s in self._slabs])
        region = None
        if self._limits:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", InputWarning)
                region = self.stability_region(exact)
        return StudyResult(result, box, region, self)

    # --- temperature and pressure, the program's diagram ---------------------------------

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
            When the axis species is no gas of the tables (`phasemap.gas.species()`), or the
            temperature is outside them.

        Examples
        --------
        >>> axis = study.pressure_axis("x", 300)
        >>> round(float(axis.log10_pressure(-1.0)), 1)   # p(O2) in bar at Δμ_O2 = -1 eV
        -7.6
        """
        if axis not in ("x", "y"):
            raise ValueError(f"axis is {axis!r}; it is 'x' or 'y'")
        return pressure_axis(axis, self._species[self.x if axis == "x" else self.y], temperature)

    def to_diagram(
        self,
        window: Sequence[Any] | None = None,
        labels: Sequence[Any] | str | None = None,
        scales: Sequence[Any] = (),
        x_title: str | None = None,
        y_title: str | None = None,
    ) -> Diagram:
        """The program's Diagram (and so input.txt) of the same planes.

        The program's axes are the absolute chemical potentials μ = E_ref + Δμ (eV); its
        surfaces have three counts (bulk units, x species, y species); its factor is 8.01 in
        single precision, so its planes are the study's in J/m² times 0.999889757... (the
        module ``phasemap._study_program`` tells how each is written). A diagram of more
        than 16 slabs is solved by `Diagram.solve_exact` and, as input.txt, by
        ``python3 -m phasemap``; the program's `solve` and `write` take at most 16.

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
            For a slab that holds a fixed species beyond the bulk and the axes' species (a
            fourth count), counts that are not small whole numbers for any cell multiple up
            to 10^6, or a pressure scale for an axis that is not one molecule of a gas.

        Examples
        --------
        >>> diagram = study.to_diagram(window=(-5.9, -4.5, -2.5, 0.0), scales=(300,))
        >>> diagram.bulk, [s.counts for s in diagram.surfaces]
        (Bulk(counts=(3, 2), energy=-56.25, divisor=1), [(26, 20, 0), (28, 20, 0)])
        """
        return _study_program.to_diagram(self, window, labels, scales, x_title, y_title)
