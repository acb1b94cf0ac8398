"""Compositions by element with exact counts, and the slabs of a study.

A composition is a dict of element symbols to counts, a formula string ("Fe3O4", "Ca(OH)2"),
an ``ase.Atoms`` or a pymatgen ``Composition``, ``Structure`` or ``Molecule``; `composition`
turns any of them into a dict of exact counts (int, or ``fractions.Fraction`` where a count is
not whole). A float count is taken only when it is a whole number: 1.5 is refused rather than
read as some nearby fraction, and an exact fraction is written ``Fraction(3, 2)`` or "3/2".
ASE and pymatgen objects are read through their own methods; neither library is imported.
"""
from __future__ import annotations

import dataclasses
import decimal
import math
import numbers
import re
from collections import Counter
from fractions import Fraction
from typing import Any, Mapping, Optional, Union

from ._errors import warn

__all__ = ["composition", "formula", "Slab"]

Count = Union[int, Fraction]

ELEMENTS = frozenset(
    """H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As
    Se Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd
    Tb Dy Ho Er Tm Yb Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th Pa U Np Pu Am
    Cm Bk Cf Es Fm Md No Lr Rf Db Sg Bh Hs Mt Ds Rg Cn Nh Fl Mc Lv Ts Og D T""".split()
)


def exact_count(value: Any, what: str) -> Count:
    """`value` as an exact non-negative count: an int, or a Fraction that is not whole.

    Parameters
    ----------
    value : int, fractions.Fraction, str, decimal.Decimal or float
        A count; a float only when it is a whole number, a str as ``Fraction`` reads it
        ("3/2", "0.25").
    what : str
        What the count is, for the error message ("the count of O in 'Fe3O4'").

    Returns
    -------
    int or fractions.Fraction

    Raises
    ------
    ValueError
        For a float that is not whole, a negative or non-finite count, or anything else.

    Examples
    --------
    >>> exact_count("3/2", "the count of O")
    Fraction(3, 2)
    """
    if isinstance(value, bool):
        raise ValueError(f"{what} is {value!r}, a bool, not a count")
    if isinstance(value, numbers.Integral):
        count = Fraction(int(value))
    elif isinstance(value, numbers.Rational):
        count = Fraction(value.numerator, value.denominator)
    elif isinstance(value, (str, decimal.Decimal)):
        try:
            count = Fraction(value)
        except (ValueError, ZeroDivisionError, decimal.InvalidOperation):
            raise ValueError(f"{what} is {value!r}, which is not a number") from None
    elif isinstance(value, numbers.Real):
        real = float(value)
        if not math.isfinite(real):
            raise ValueError(f"{what} is {value!r}, which is not a finite count")
        if not real.is_integer():
            guess = Fraction(real).limit_denominator(100)
            raise ValueError(
                f"{what} is {value!r}, a float that is not a whole number; counts are exact, "
                f"so give an int or an exact fraction, for example "
                f"fractions.Fraction({guess.numerator}, {guess.denominator}) or the string "
                f"'{guess.numerator}/{guess.denominator}'"
            )
        count = Fraction(int(real))
    else:
        raise ValueError(f"{what} is {value!r}, which is not a count")
    if count < 0:
        raise ValueError(f"{what} is {value!r}; counts may not be negative")
    return int(count) if count.denominator == 1 else count


def _element(symbol: Any, where: str) -> str:
    symbol = str(symbol)
    if symbol not in ELEMENTS:
        raise ValueError(f"{where}: {symbol!r} is not an element symbol")
    return symbol


_TOKEN = re.compile(r"([A-Z][a-z]?)|(\()|(\))|(\d+(?:\.\d+)?(?:/\d+)?)|(.)")


def _parse_formula(text: str) -> dict[str, Fraction]:
    stack: list = [Counter()]
    last: Optional[Counter] = None  # what a count that follows multiplies
    for symbol, opening, closing, number, other in _TOKEN.findall(text):
        if symbol:
            last = Counter({_element(symbol, f"formula {text!r}"): Fraction(1)})
            stack[-1].update(last)
        elif opening:
            stack.append(Counter())
            last = None
        elif closing:
            if len(stack) == 1:
                raise ValueError(f"formula {text!r}: a ')' without its '('")
            last = stack.pop()
            stack[-1].update(last)
        elif number:
            if last is None:
                raise ValueError(f"formula {text!r}: the count {number} follows no element")
            extra = Fraction(number) - 1
            for key, value in last.items():
                stack[-1][key] += value * extra
            last = None
        else:
            raise ValueError(f"formula {text!r}: {other!r} is not part of a formula")
    if len(stack) != 1:
        raise ValueError(f"formula {text!r}: a '(' is not closed")
    if not stack[0]:
        raise ValueError(f"formula {text!r} names no element")
    return dict(stack[0])


def composition(value: Any) -> dict[str, Count]:
    """The composition of `value` as a dict of element symbols to exact counts.

    Parameters
    ----------
    value : dict, str, ase.Atoms or pymatgen Composition, Structure or Molecule
        A dict of symbols to counts (int, ``Fraction``, "3/2", or a float that is whole), a
        formula ("Fe3O4", "Ca(OH)2", "Fe0.95O"; decimals in a formula are exact), an ASE
        ``Atoms`` (its symbols are counted) or a pymatgen object.

    Returns
    -------
    dict
        Element symbol to count (int, or ``Fraction`` where not whole); zero counts left out.

    Raises
    ------
    ValueError
        For an unknown element symbol, a malformed formula, or a count that is negative,
        non-finite or a float that is not a whole number.

    Examples
    --------
    >>> phasemap.composition("Fe3O4")
    {'Fe': 3, 'O': 4}
    >>> from fractions import Fraction
    >>> phasemap.composition({"O": Fraction(1, 2), "H": 1})
    {'O': Fraction(1, 2), 'H': 1}
    """
    module = type(value).__module__ or ""
    if isinstance(value, str):
        raw = _parse_formula(value.strip())
        where = f"formula {value!r}"
    elif isinstance(value, dict):
        raw = {_element(k, "composition"): v for k, v in value.items()}
        where = "composition"
    elif module.startswith("ase") and hasattr(value, "get_chemical_symbols"):
        raw = dict(Counter(value.get_chemical_symbols()))
        where = "the ASE atoms"
    elif module.startswith("pymatgen"):
        comp = value.composition if hasattr(value, "composition") else value
        raw = {}
        for species, amount in comp.items():
            symbol = _element(getattr(species, "symbol", species), "the pymatgen composition")
            raw[symbol] = raw.get(symbol, 0) + amount
        where = "the pymatgen composition"
    else:
        raise ValueError(
            f"{value!r} is not a composition: give a dict of element symbols to counts, a "
            f"formula string, an ase.Atoms or a pymatgen Composition or Structure"
        )
    out = {}
    for symbol, count in raw.items():
        exact = exact_count(count, f"the count of {symbol} in {where}")
        if exact:
            out[symbol] = exact
    if not out:
        raise ValueError(f"{where} holds no atoms")
    return out


def formula(comp: Mapping[str, Any]) -> str:
    """A formula string for a composition, elements in the dict's order.

    Parameters
    ----------
    comp : dict
        Element symbol to count, as `composition` returns it.

    Returns
    -------
    str
        Counts of 1 left out, fractions written in parentheses ("O(1/2)").

    Examples
    --------
    >>> phasemap.formula({"Fe": 3, "O": 4})
    'Fe3O4'
    """
    parts = []
    for symbol, count in comp.items():
        if count == 1:
            parts.append(symbol)
        elif Fraction(count).denominator == 1:
            parts.append(f"{symbol}{int(count)}")
        else:
            parts.append(f"{symbol}({count})")
    return "".join(parts)


def finite_real(value: Any, what: str) -> float:
    """`value` as a finite float; a ValueError saying `what` it is otherwise."""
    try:
        real = float(value)
    except (TypeError, ValueError):
        raise ValueError(f"{what} is {value!r}, which is not a number") from None
    if not math.isfinite(real):
        raise ValueError(f"{what} is {value!r}, which is not finite")
    return real


@dataclasses.dataclass(frozen=True)
class Slab:
    """One candidate termination: a slab's composition, total energy and area.

    Parameters
    ----------
    name : str
        The termination's name, as the diagram labels its region.
    composition : dict, str, ase.Atoms or pymatgen object
        What the slab holds, read by `composition` (exact counts).
    energy : float
        The slab's total energy, eV.
    area : float
        The area of one face of the slab's cell, Å². A negative area is taken as its size,
        with an `InputWarning`; zero is refused.
    sides : int, optional
        2 (default): a symmetric slab, both faces alike, so that the surface energy is
        (E − Σ N_e·μ_e) / (2·A). 1: a slab whose other face is kept fixed (for example
        frozen in bulk positions, or passivated); its contribution `fixed_face` is then
        subtracted: γ = (E − Σ N_e·μ_e − E_fixed) / A.
    fixed_face : float or Slab, optional
        Only with ``sides=1``, and required there: the fixed face's contribution to the
        slab's energy. A number is that contribution in eV for this slab's area (γ_fixed·A,
        independent of the chemical potentials); a Slab is a symmetric reference slab (sides
        2) whose two faces are both the fixed face, so that
        E_fixed = (A / A_ref)·(E_ref − Σ N_ref,e·μ_e) / 2, exact also when the fixed face is
        not stoichiometric.

    Examples
    --------
    >>> clean = phasemap.Slab("clean", "Pt16", -97.48, 26.46)
    >>> with_o = phasemap.Slab("p(2x2)-O", {"Pt": 16, "O": 1}, -103.70, 26.46)
    >>> bottom = phasemap.Slab("frozen bottom", "Ti16O32", -424.71, 39.46)
    >>> top = phasemap.Slab("one-sided", "Ti16O31", -416.20, 39.46, sides=1, fixed_face=bottom)
    """

    name: str
    composition: dict
    energy: float
    area: float
    sides: int = 2
    fixed_face: Optional[Union[float, "Slab"]] = None

    def __hash__(self) -> int:
        return hash(
            (
                self.name,
                tuple(sorted(self.composition.items())),
                self.energy,
                self.area,
                self.sides,
                self.fixed_face,
            )
        )

    def __post_init__(self) -> None:
        name = str(self.name)
        object.__setattr__(self, "name", name)
        object.__setattr__(self, "composition", composition(self.composition))
        object.__setattr__(self, "energy", finite_real(self.energy, f"the energy of slab {name!r}"))
        area = finite_real(self.area, f"the area of slab {name!r}")
        if area == 0.0:
            raise ValueError(f"slab {name!r} has area 0")
        if area < 0.0:
            warn(f"slab {name!r} has a negative area, {area} Å²; its size {-area} Å² is used")
            area = -area
        object.__setattr__(self, "area", area)
        if isinstance(self.sides, bool) or self.sides not in (1, 2):
            raise ValueError(
                f"slab {name!r}: sides is {self.sides!r}; it is 2 for a symmetric slab or 1 "
                f"for a slab whose other face is fixed"
            )
        object.__setattr__(self, "sides", int(self.sides))
        face = self.fixed_face
        if self.sides == 2 and face is not None:
            raise ValueError(f"slab {name!r}: fixed_face is only for a one-sided slab (sides=1)")
        if self.sides == 1:
            if face is None:
                raise ValueError(
                    f"slab {name!r} is one-sided (sides=1) and needs fixed_face: the energy of "
                    f"its fixed face (eV, for its area) or a symmetric Slab of that face"
                )
            if isinstance(face, Slab):
                if face.sides != 2:
                    raise ValueError(
                        f"slab {name!r}: the reference slab of its fixed face, {face.name!r}, "
                        f"must be symmetric (sides=2)"
                    )
            else:
                object.__setattr__(
                    self,
                    "fixed_face",
                    finite_real(face, f"the fixed face's energy of slab {name!r}"),
                )

    @classmethod
    def from_atoms(
        cls,
        name: str,
        atoms: Any,
        energy: Optional[float] = None,
        sides: int = 2,
        fixed_face: Optional[Union[float, "Slab"]] = None,
    ) -> "Slab":
        """A Slab from a structure: counts from its atoms, area from its cell.

        Parameters
        ----------
        name : str
            The termination's name.
        atoms : ase.Atoms or pymatgen Structure
            The slab; the area is that spanned by the first two cell vectors, Å².
        energy : float, optional
            The total energy, eV; by default the energy of the calculator attached to the
            ASE atoms (``atoms.get_potential_energy()``, as a file read by ``ase.io.read``
            brings it).
        sides, fixed_face
            As for `Slab`.

        Returns
        -------
        Slab

        Examples
        --------
        >>> from ase.build import fcc111, add_adsorbate
        >>> from ase.calculators.singlepoint import SinglePointCalculator
        >>> atoms = fcc111("Pt", (2, 2, 4), vacuum=8.0)
        >>> add_adsorbate(atoms, "O", 1.2, "fcc")
        >>> atoms.calc = SinglePointCalculator(atoms, energy=-103.70)
        >>> slab = phasemap.Slab.from_atoms("p(2x2)-O", atoms)   # one-sided: O on top only
        """
        if hasattr(atoms, "lattice") and hasattr(atoms.lattice, "matrix"):
            cell = [list(map(float, row)) for row in atoms.lattice.matrix]
        elif hasattr(atoms, "get_cell"):
            cell = [list(map(float, row)) for row in atoms.get_cell()]
        else:
            raise ValueError(f"slab {name!r}: {type(atoms).__name__} has no cell")
        a, b = cell[0], cell[1]
        cross = (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])
        area = math.sqrt(sum(c * c for c in cross))
        if area == 0.0:
            raise ValueError(
                f"slab {name!r}: the first two vectors of its cell span no area; give the slab "
                f"a cell (the surface in the plane of the first two vectors)"
            )
        if energy is None:
            if not hasattr(atoms, "get_potential_energy"):
                raise ValueError(f"slab {name!r}: give its energy (energy=...)")
            try:
                energy = atoms.get_potential_energy()
            except RuntimeError as missing:
                raise ValueError(
                    f"slab {name!r}: the atoms carry no energy ({missing}); give energy=... or "
                    f"attach a calculator that holds it"
                ) from None
        return cls(name, atoms, energy, area, sides, fixed_face)
