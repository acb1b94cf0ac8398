"""Chemical potentials of ideal gases over temperature and pressure, from the NIST-JANAF tables
that the package carries (``phasemap/data/gases.txt``).

Every value is per molecule, in eV, measured from the molecule's energy at 0 K,
H°(0), which holds the zero-point energy:

    Δμ(T, p) = [H°(T) − H°(0)] − T·S°(T) + k_B·T·ln(p / p°),   p° = 1 bar.

So the chemical potential of a gas whose calculated total energy (without zero-point energy)
is E is μ = E + E_ZPE + Δμ(T, p); the zero-point energy E_ZPE is left to the user (about
0.10 eV for O2, 0.27 eV for H2, 0.56 eV for H2O), as it belongs to the calculation.

Between the tabulated temperatures Δμ(T, p°) is a cubic Hermite interpolation with the
table's own slope, dΔμ/dT = −S°(T), at every row: it returns the rows exactly and is
accurate to better than a meV between them.
"""
from __future__ import annotations

import functools
import math
import pathlib
from typing import Any

import numpy as np
from numpy.typing import ArrayLike

__all__ = ["delta_mu", "pressure", "log10_pressure", "species", "table", "T_MIN", "T_MAX", "K_B"]

K_B = 1.380649e-23 / 1.602176634e-19  # Boltzmann constant, eV/K (exact in the SI)
_KJ_PER_MOL_PER_EV = 6.02214076e23 * 1.602176634e-19 / 1000.0  # 96.485... kJ/mol per eV
T_MIN = 100.0  # K: the first tabulated temperature above 0 K
T_MAX = 1500.0  # K: the last temperature the package carries

_DATA = pathlib.Path(__file__).resolve().parent / "data" / "gases.txt"


@functools.lru_cache(maxsize=None)
def _tables() -> dict[str, dict[str, Any]]:
    tables: dict = {}
    rows: list = []
    for line in _DATA.read_text(encoding="utf-8").splitlines():
        if line.startswith("["):
            rows = []
            name, title = line[1:].split("]", 1)
            tables[name] = (title.strip(), rows)
        elif line.strip() and not line.startswith("#") and line.split()[0] != "T":
            rows.append(tuple(float(v) for v in line.split()))
    out = {}
    for name, (title, rows) in tables.items():
        t, s, h = (np.array(column) for column in zip(*rows))
        if t[0] != 0.0:
            raise RuntimeError(f"{_DATA}: the table of {name} has no row at 0 K")
        h_0 = h[0]  # -[H(298.15) - H(0)], kJ/mol
        out[name] = {
            "title": title,
            "T": t[1:],
            "S": s[1:],
            "H-H298": h[1:],
            "H298-H0": -h_0,
            # Δμ(T, p°) per molecule, eV, and its slope -S per molecule, eV/K
            "dmu": ((h[1:] - h_0) - t[1:] * s[1:] / 1000.0) / _KJ_PER_MOL_PER_EV,
            "slope": -s[1:] / 1000.0 / _KJ_PER_MOL_PER_EV,
        }
    return out


def species() -> list[str]:
    """The formulas of the gases the package carries.

    Returns
    -------
    list of str
        The formulas, in the order of the data file.

    Examples
    --------
    >>> "O2" in phasemap.gas.species()
    True
    """
    return list(_tables())


def _entry(name: str) -> dict[str, Any]:
    try:
        return _tables()[name]
    except KeyError:
        raise ValueError(
            f"no thermochemical table for {name!r}; the package carries {', '.join(species())}"
        ) from None


def table(name: str) -> dict[str, Any]:
    """The rows the package carries for one gas, as the NIST-JANAF table gives them.

    Parameters
    ----------
    name : str
        The formula, as `species()` lists it ("O2", "H2O", ...).

    Returns
    -------
    dict
        ``"T"`` (K), ``"S"`` (S°, J/(K mol)) and ``"H-H298"`` (H°(T) − H°(298.15 K), kJ/mol)
        as arrays over the rows from 100 K up; ``"H298-H0"`` (H°(298.15 K) − H°(0), kJ/mol);
        ``"title"``, the table's number and name.

    Examples
    --------
    >>> phasemap.gas.table("O2")["H298-H0"]
    8.683
    """
    entry = _entry(name)
    return {
        key: (value.copy() if isinstance(value, np.ndarray) else value)
        for key, value in entry.items()
        if key not in ("dmu", "slope")
    }


def _check_temperature(temperature: ArrayLike) -> np.ndarray:
    t = np.asarray(temperature, dtype=float)
    bad = ~((t >= T_MIN) & (t <= T_MAX))  # also catches NaN
    if bad.any():
        first = t[bad].flat[0] if t.ndim else float(t)
        raise ValueError(
            f"temperature {first} K is outside the range of the thermochemical tables, "
            f"{T_MIN:g} K to {T_MAX:g} K"
        )
    return t


def _check_pressure(p: ArrayLike) -> np.ndarray:
    p = np.asarray(p, dtype=float)
    bad = ~(p > 0) | ~np.isfinite(p)
    if bad.any():
        first = p[bad].flat[0] if p.ndim else float(p)
        raise ValueError(f"pressure {first} bar is not a positive finite number")
    return p


def _standard(entry: dict[str, Any], t: np.ndarray) -> np.ndarray:
    """Δμ(T, p°) by cubic Hermite interpolation of the rows, with slopes -S."""
    nodes = entry["T"]
    i = np.clip(np.searchsorted(nodes, t, side="right") - 1, 0, len(nodes) - 2)
    h = nodes[i + 1] - nodes[i]
    u = (t - nodes[i]) / h
    y0, y1 = entry["dmu"][i], entry["dmu"][i + 1]
    m0, m1 = entry["slope"][i] * h, entry["slope"][i + 1] * h
    return (
        (2 * u**3 - 3 * u**2 + 1) * y0
        + (u**3 - 2 * u**2 + u) * m0
        + (-2 * u**3 + 3 * u**2) * y1
        + (u**3 - u**2) * m1
    )


def _out(value: np.ndarray) -> Any:
    return float(value) if value.ndim == 0 else value


def delta_mu(name: str, T: ArrayLike, p: ArrayLike = 1.0) -> Any:
    """The chemical potential of an ideal gas per molecule, relative to its energy at 0 K.

    Δμ(T, p) = [H°(T) − H°(0)] − T·S°(T) + k_B·T·ln(p / 1 bar), from the NIST-JANAF table
    the package carries. The zero-point energy is not in it (see the module's notes).

    Parameters
    ----------
    name : str
        The gas's formula, one of `species()`: O2, H2, H2O, N2, CO, CO2, NH3, CH4, H2S, Cl2.
    T : float or array_like
        Temperature, K, from 100 to 1500.
    p : float or array_like, optional
        Partial pressure, bar (default 1 bar, the tables' standard pressure).

    Returns
    -------
    float or numpy.ndarray
        Δμ, eV per molecule (an array when T or p is one, broadcast together).

    Raises
    ------
    ValueError
        For a gas without a table, a temperature outside 100 to 1500 K, or a pressure that is
        not positive.

    Examples
    --------
    >>> round(phasemap.gas.delta_mu("O2", 298.15) / 2, 3)   # per O atom, at 1 bar
    -0.272
    >>> phasemap.gas.delta_mu("H2O", 300, p=1e-10)  # doctest: +ELLIPSIS
    -1.0...
    """
    entry = _entry(name)
    t = _check_temperature(T)
    p = _check_pressure(p)
    return _out(_standard(entry, t) + K_B * t * np.log(p))


def pressure(name: str, dmu: ArrayLike, T: ArrayLike) -> Any:
    """The partial pressure at which an ideal gas has the chemical potential `dmu`.

    The inverse of `delta_mu`: p = 1 bar · exp[(Δμ − Δμ(T, 1 bar)) / (k_B·T)].

    Parameters
    ----------
    name : str
        The gas's formula, one of `species()`.
    dmu : float or array_like
        Δμ per molecule, eV, relative to the molecule's energy at 0 K (as `delta_mu`).
    T : float or array_like
        Temperature, K, from 100 to 1500.

    Returns
    -------
    float or numpy.ndarray
        The pressure, bar; it underflows to 0 or overflows to inf far outside any reachable
        pressure (use `log10_pressure` there).

    Examples
    --------
    >>> p = phasemap.gas.pressure("O2", -1.0, 600)
    >>> bool(abs(phasemap.gas.delta_mu("O2", 600, p) + 1.0) < 1e-12)
    True
    """
    with np.errstate(over="ignore", under="ignore"):
        return _out(np.power(10.0, np.asarray(log10_pressure(name, dmu, T))))


def log10_pressure(name: str, dmu: ArrayLike, T: ArrayLike) -> Any:
    """log10 of the partial pressure in bar at which a gas has the chemical potential `dmu`.

    Parameters
    ----------
    name : str
        The gas's formula, one of `species()`.
    dmu : float or array_like
        Δμ per molecule, eV, as `delta_mu` gives it.
    T : float or array_like
        Temperature, K, from 100 to 1500.

    Returns
    -------
    float or numpy.ndarray
        log10(p / 1 bar).

    Examples
    --------
    >>> round(phasemap.gas.log10_pressure("H2O", -1.0, 300), 2)
    -8.66
    """
    entry = _entry(name)
    t = _check_temperature(T)
    dmu = np.asarray(dmu, dtype=float)
    return _out((dmu - _standard(entry, t)) / (K_B * t * math.log(10.0)))
