"""A study as the program's Diagram (`Study.to_diagram`), and so as input.txt.

The program's surfaces have three counts in fixed roles, absolute chemical potentials and a
constant of its own, so the Diagram is built as follows:

- The program's axes are the absolute chemical potentials μ_x = E_ref,x + Δμ_x and
  μ_y = E_ref,y + Δμ_y (eV), and the window, the labels and the pressure scales are shifted
  by the references accordingly.
- The bulk is written as b1 units of a remainder R and b2 of the x species, b2 being as many
  x species as the bulk holds (for Fe3O4 with x = O2: 3 Fe and 2 O2), and each slab as
  n1 = r·b1, n2 = q_x + r·b2, n3 = q_y, where the slab's composition is exactly r bulk units
  plus q_x x species plus q_y y species; a slab whose counts are not whole is written for a
  multiple of its cell (counts, area and energy alike).
- A one-sided slab is written with half its area and its energy less its fixed face.
- The program computes γ = 8.01·(E − ...)/A for a slab of two faces, with 8.01 in single
  precision (8.0100002288818359375) where the exact factor is 16.02176634 / 2 = 8.01088317:
  its planes are the study's `planes` in J/m², times 8.0100002288818359375 / 8.01088317 =
  0.999889757..., at (E_ref,x + Δμ_x, E_ref,y + Δμ_y).
- Its reals are single precision: energies, areas, the window and the planes' stored
  coefficients are rounded to about 7 significant digits (for a slab energy of some hundred
  eV, 1e-5 eV, so a few 1e-6 J/m² after the difference with the bulk).
"""

from __future__ import annotations

import math
from fractions import Fraction
from typing import TYPE_CHECKING, Any, Sequence

from ._composition import formula
from ._diagram import Diagram
from ._entries import Bulk, Label, PressureScale, Surface
from ._study_pressure import program_scale
from ._study_chemistry import surfaces_of

if TYPE_CHECKING:
    from .study import Study


def markup(name: str) -> str:
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


def _rational_gcd(values: Sequence[Fraction]) -> Fraction:
    numerator = 0
    for v in values:
        numerator = math.gcd(numerator, Fraction(v).numerator)
    return Fraction(numerator, _lcm_of_denominators(values)) if numerator else Fraction(1)


def _lcm_of_denominators(values: Sequence[Fraction]) -> int:
    out = 1
    for v in values:
        d = Fraction(v).denominator
        out = out * d // math.gcd(out, d)
    return out


def _surfaces(study: Study, b1: Fraction, b2: Fraction, rest: dict) -> list[Surface]:
    """Each slab as the program's surface: bulk units, x species and y species."""
    chemistry = study._chemistry
    surfaces = []
    for slab in study._slabs:
        comp, energy = surfaces_of(slab)
        q = chemistry.amounts(comp)
        extra = [(chemistry.rows[i][0], q[i]) for i in range(3, len(q)) if q[i] != 0]
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
                f"the bulk's remainder {formula(rest)}, {study.x} and {study.y}) are no small "
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
    return surfaces


def to_diagram(
    study: Study,
    window: Sequence[Any] | None,
    labels: Any,
    scales: Sequence[Any],
    x_title: str | None,
    y_title: str | None,
) -> Diagram:
    """The program's Diagram of a study's planes (see the module's notes)."""
    if not study._slabs:
        raise ValueError("the study has no slabs: add some with study.add(...)")
    exact = study._window(window, "to_diagram")
    study._check_window(exact)
    window = tuple(float(v) for v in exact)
    x_species, y_species = study._species[study.x], study._species[study.y]
    xc = x_species.composition
    bulk_composition = study.bulk_composition
    b2 = min(Fraction(bulk_composition.get(e, 0)) / Fraction(n) for e, n in xc.items())
    rest = {e: Fraction(n) - b2 * Fraction(xc.get(e, 0)) for e, n in bulk_composition.items()}
    rest = {e: n for e, n in rest.items() if n != 0}
    b1 = _rational_gcd(list(rest.values()))
    m = _lcm_of_denominators([b1, b2])
    bulk = Bulk((int(m * b1), int(m * b2)), float(m * study._bulk_energy), 1)
    surfaces = _surfaces(study, b1, b2, rest)
    shift = (float(x_species.reference), float(y_species.reference))
    if isinstance(labels, str):
        if labels != "names":
            raise ValueError(f"labels is {labels!r}; give a sequence of labels or 'names'")
        solved = study.solve(window)
        labels = [(r.centroid[0], r.centroid[1], 12.0, r.name) for r in solved.regions]
    made_labels = [
        Label(float(lx) + shift[0], float(ly) + shift[1], float(size), str(text))
        for lx, ly, size, text in (labels or ())
    ]
    axes = {"x": x_species, "y": y_species}
    made_scales = [
        s if isinstance(s, PressureScale) else program_scale(axes, float(s), window, shift)
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
        x_title=markup(study.x) if x_title is None else x_title,
        y_title=markup(study.y) if y_title is None else y_title,
        labels=made_labels,
        scales=tuple(made_scales),
    )
