"""Pressure axes: the pressure of the gas that an axis's chemical potential stands for at a
temperature (`PressureAxis`), found from the axis species among the gases of the
thermochemical tables, and the program's pressure scales (temp1, temp2) made from them.
"""

from __future__ import annotations

import dataclasses
import math
from fractions import Fraction
from typing import Any, Callable, Mapping, Sequence

import numpy as np
from numpy.typing import ArrayLike

from . import gas
from ._composition import composition
from ._entries import PressureScale
from ._study_chemistry import Species, ratio

__all__ = ["PressureAxis"]


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
    species : str
        The axis species, as the study names it.
    gas : str
        The gas of the tables it is a multiple of.
    factor : float
        How many molecules of the gas the species is.
    temperature : float
        K.

    Examples
    --------
    >>> axis = study.pressure_axis("y", 300)
    >>> axis.gas, axis.factor
    ('H2O', 1.0)
    >>> import matplotlib.pyplot as plt
    >>> secondary = plt.figure().gca().secondary_yaxis("right", functions=axis.functions)
    """

    axis: str
    species: str
    gas: str
    factor: float
    temperature: float

    def log10_pressure(self, dmu: ArrayLike) -> Any:
        """log10(p / 1 bar) of the gas at the axis value(s) `dmu` (Δμ of the axis, eV).

        Examples
        --------
        >>> axis = study.pressure_axis("y", 300)
        >>> round(float(axis.log10_pressure(-1.0)), 2)
        -8.66
        """
        return gas.log10_pressure(
            self.gas, np.asarray(dmu, dtype=float) / self.factor, self.temperature
        )

    def pressure(self, dmu: ArrayLike) -> Any:
        """The pressure, bar, of the gas at the axis value(s) `dmu` (eV).

        Examples
        --------
        >>> axis = study.pressure_axis("y", 300)
        >>> f"{axis.pressure(-0.95):.1e}"
        '1.5e-08'
        """
        return gas.pressure(self.gas, np.asarray(dmu, dtype=float) / self.factor, self.temperature)

    def delta_mu(self, log10_p: ArrayLike) -> Any:
        """The axis value, eV, at which the gas's pressure is 10**log10_p bar.

        Examples
        --------
        >>> axis = study.pressure_axis("y", 300)
        >>> round(axis.delta_mu(axis.log10_pressure(-1.0)), 6)
        -1.0
        """
        p = np.asarray(log10_p, dtype=float)
        standard = gas.delta_mu(self.gas, self.temperature)
        out = self.factor * (standard + gas.K_B * self.temperature * math.log(10.0) * p)
        return float(out) if np.ndim(out) == 0 else out

    @property
    def functions(self) -> tuple[Callable[[ArrayLike], Any], Callable[[ArrayLike], Any]]:
        """(Δμ → log10 p, log10 p → Δμ), as matplotlib's secondary axes take them."""
        return self.log10_pressure, self.delta_mu


def pressure_axis(axis: str, species: Species, temperature: float) -> PressureAxis:
    """The pressure axis of an axis species (see `Study.pressure_axis`)."""
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
            k = ratio(species.composition, table_comp)
            if table_comp == comp and k is not None:
                return PressureAxis(axis, species.name, name, float(k), float(temperature))
    raise ValueError(
        f"the {axis} species {species.name!r} is no gas of the thermochemical tables "
        f"({', '.join(gas.species())})"
    )


def program_scale(
    axes: Mapping[str, Species], temperature: float, window: Sequence[float], shift: Sequence[float]
) -> PressureScale:
    """The program's pressure scales at `temperature` for the axes' gases: the 1 bar point
    of each at its Δμ(T, 1 bar) in absolute coordinates (`shift` being the references),
    about five ticks over the window (Δμ); an axis that is no gas gets no ticks."""
    origins, steps = [], []
    for axis, (low, high), offset in (("x", window[:2], shift[0]), ("y", window[2:], shift[1])):
        try:
            pressure = pressure_axis(axis, axes[axis], temperature)
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
