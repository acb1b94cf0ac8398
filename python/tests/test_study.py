"""Compositions, slabs and studies: exact counts, surface energies computed by hand, the bulk's
stability region, pressure axes, the plausibility warnings and the program's diagram."""
import math
import warnings
from fractions import Fraction

import numpy as np
import pytest

import phasemap

from helpers import fe3o4_study

J = 16.02176634  # J/m² per eV/Å²


# --- compositions and slabs -------------------------------------------------------------


def test_compositions_of_every_kind_agree():
    from ase.build import bulk
    from pymatgen.core import Composition, Lattice, Structure

    structure = Structure(Lattice.cubic(4.2), ["Mg", "O"], [[0, 0, 0], [0.5, 0.5, 0.5]])
    for value in (
        "MgO",
        {"Mg": 1, "O": 1.0},
        {"Mg": "1", "O": Fraction(1)},
        Composition("MgO"),
        structure,
        bulk("MgO", "rocksalt", a=4.2),
    ):
        assert phasemap.composition(value) == {"Mg": 1, "O": 1}
    assert phasemap.composition("Ca(OH)2") == {"Ca": 1, "O": 2, "H": 2}
    assert phasemap.composition("Fe0.95O") == {"Fe": Fraction(19, 20), "O": 1}
    assert phasemap.composition({"O": "1/2", "H": 0}) == {"O": Fraction(1, 2)}


@pytest.mark.parametrize("value, message", [
    ({"O": 1.5}, r"1\.5, a float that is not a whole number.*Fraction\(3, 2\).*'3/2'"),
    ({"O": 1 / 3}, r"Fraction\(1, 3\)"),
    ("Xy2O", "'Xy' is not an element symbol"),
    ("Fe3O4)", r"a '\)' without its '\('"),
    ({"O": -1}, "may not be negative"),
    ({"O": True}, "a bool"),
    ({"O": float("inf")}, "not a finite count"),
    (3.5, "not a composition"),
])  # fmt: skip
def test_inexact_or_malformed_compositions_are_refused(value, message):
    with pytest.raises(ValueError, match=message):
        phasemap.composition(value)


def test_pymatgen_fractional_amounts_are_refused_not_truncated():
    from pymatgen.core import Composition

    with pytest.raises(ValueError, match=r"Fraction\(1, 2\)"):
        phasemap.composition(Composition("Fe0.5O"))


def test_slabs_from_ase_builds_with_adsorbates():
    from ase.build import add_adsorbate, fcc111, molecule, surface
    from ase.calculators.singlepoint import SinglePointCalculator
    from ase.spacegroup import crystal

    pt = fcc111("Pt", (2, 2, 4), a=3.92, vacuum=8.0)
    add_adsorbate(pt, "O", 1.2, "fcc")
    add_adsorbate(pt, molecule("H2O"), 2.5, "ontop")
    pt.calc = SinglePointCalculator(pt, energy=-110.5)
    slab = phasemap.Slab.from_atoms("O + H2O", pt, sides=1, fixed_face=-3.0)
    assert slab.composition == {"Pt": 16, "O": 2, "H": 2}
    assert slab.area == pytest.approx(4 * (3.92 / math.sqrt(2)) ** 2 * math.sqrt(3) / 2, rel=1e-12)
    assert (slab.energy, slab.sides, slab.fixed_face) == (-110.5, 1, -3.0)
    rutile = crystal(
        ["Ti", "O"],
        basis=[(0, 0, 0), (0.3048, 0.3048, 0)],
        spacegroup=136,
        cellpar=[4.594, 4.594, 2.959, 90, 90, 90],
    )
    tio2 = surface(rutile, (1, 1, 0), 3, vacuum=7.0)
    assert phasemap.Slab.from_atoms("110", tio2, energy=-1.0).composition == {"Ti": 6, "O": 12}
    with pytest.raises(ValueError, match="carry no energy"):
        phasemap.Slab.from_atoms("bare", fcc111("Pt", (1, 1, 3), vacuum=5.0))
    with pytest.raises(ValueError, match="span no area"):
        phasemap.Slab.from_atoms("no cell", molecule("H2O"), energy=-14.2)


@pytest.mark.parametrize("arguments, message", [
    (dict(area=0.0), "area 0"),
    (dict(sides=3), "sides is 3"),
    (dict(sides=1), "needs fixed_face"),
    (dict(fixed_face=1.0), "only for a one-sided slab"),
    (dict(energy=float("nan")), "not finite"),
])  # fmt: skip
def test_slab_refusals(arguments, message):
    with pytest.raises(ValueError, match=message):
        phasemap.Slab(**{**dict(name="s", composition="Pt9", energy=-50.0, area=20.0), **arguments})


# --- surface energies by hand -------------------------------------------------------------

E_O2, E_H2O, E_H2, E_CO = -9.86, -14.22, -6.77, -14.78


def close(value, expected):
    return abs(value - expected) <= 1e-12 * abs(expected)


def pt_study(unit="J/m2"):
    return phasemap.Study(("Pt", -6.05), "O2", "CO", {"O2": E_O2, "CO": E_CO}, unit=unit)


def test_symmetric_and_one_sided_slabs():
    dx, dy, area = -1.2, -0.8, 26.6
    mu_pt, mu_o = -6.05, (E_O2 + dx) / 2
    mu_c = E_CO + dy - mu_o
    study = pt_study()
    symmetric = phasemap.Slab("2O", "Pt16O2", -110.0, area)
    face = phasemap.Slab("bottom face", "Pt12O2", -86.4, area / 2)  # a non-stoichiometric face
    one_sided = phasemap.Slab("CO on top", "Pt16OC", -120.3, area, sides=1, fixed_face=face)
    fixed = phasemap.Slab("CO, fixed energy", "Pt16OC", -120.5, area, sides=1, fixed_face=0.7)
    study.add(symmetric, one_sided, fixed)
    expected = [
        (-110.0 - 16 * mu_pt - 2 * mu_o) / (2 * area) * J,
        (-120.3 - 16 * mu_pt - mu_o - mu_c - 2 * (-86.4 - 12 * mu_pt - 2 * mu_o) / 2) / area * J,
        (-120.5 - 16 * mu_pt - mu_o - mu_c - 0.7) / area * J,
    ]
    for slab, value in zip(study.slabs, expected):
        assert close(study.surface_energy(slab, dx, dy), value)
        assert close(study.surface_energy(slab.name, np.array([dx]), dy)[0], value)
    a, b, d = study.planes.T
    assert close(a[0], -J / area / 2) and b[0] == 0.0  # one O2 per two faces
    assert np.allclose(a * dx + b * dy + d, expected, rtol=1e-12, atol=0)
    for unit, factor in (("eV/A2", 1 / J), ("meV/A2", 1000 / J)):
        other = pt_study(unit)
        other.add(symmetric)
        assert close(other.surface_energy(symmetric, dx, dy), expected[0] * factor)


def test_adsorbates_on_an_oxide():
    dx, dy = -5.1, -1.0
    study = phasemap.Study(("Fe3O4", -56.25), "O2", "H2O", {"O2": E_O2, "H2O": E_H2O})
    mu_o = (E_O2 + dx) / 2
    mu_fe = (-56.25 - 4 * mu_o) / 3
    mu_h = (E_H2O + dy - mu_o) / 2
    slab = phasemap.Slab("DBT+2H", "Fe28O40H4", -551.747, 70.49)
    expected = (-551.747 - 28 * mu_fe - 40 * mu_o - 4 * mu_h) / (2 * 70.49) * J
    assert close(study.surface_energy(slab, dx, dy), expected)
    assert study.chemical_potentials(dx, dy) == pytest.approx({"Fe": mu_fe, "O": mu_o, "H": mu_h})


def test_four_elements_with_a_fixed_species():
    dx, dy, fixed = -4.0, -1.5, -0.5
    study = phasemap.Study(
        ("SrTiO3", -41.69),
        "O",
        "H2O",
        {"O": ("O2", E_O2), "H2O": E_H2O, "TiO2": -27.53},
        {"TiO2": fixed},
    )
    mu_o = E_O2 / 2 + dx  # the axis is Δμ_O, per atom
    mu_ti = -27.53 + fixed - 2 * mu_o
    mu_sr = -41.69 - mu_ti - 3 * mu_o
    mu_h = (E_H2O + dy - mu_o) / 2
    slab = phasemap.Slab("TiO2 + 2H", "Sr12Ti16O44H4", -618.939, 60.996)
    expected = (-618.939 - 12 * mu_sr - 16 * mu_ti - 44 * mu_o - 4 * mu_h) / (2 * 60.996) * J
    assert close(study.surface_energy(slab, dx, dy), expected)


@pytest.mark.parametrize("arguments, message", [
    (dict(bulk=("SrTiO3", -41.69)), r"chemical potential of Ti is not determined.*4 elements"),
    (dict(y="O"), r"y species 'O'.*is a combination of the species before it"),
    (dict(references={"O2": E_O2}), "the y species 'H2O' has no reference"),
    (dict(references={"O2": ("CO2", -22.9), "H2O": E_H2O}), "O2 is no multiple of CO2"),
    (dict(unit="J/m^2"), "unit 'J/m\\^2' is not one of"),
    (dict(competing=[("FeS", -10.0)]), "competing phase 'FeS' holds S, which the study cannot"),
])  # fmt: skip
def test_studies_that_cannot_be_set_up(arguments, message):
    base = dict(
        bulk=("Fe3O4", -56.25),
        x="O2",
        y="H2O",
        references={"O2": E_O2, "H2O": E_H2O, "O": ("O2", E_O2)},
    )
    if arguments.get("y") == "O":
        base["references"]["O"] = ("O2", E_O2)
    with pytest.raises(ValueError, match=message):
        phasemap.Study(**{**base, **arguments})


def test_a_slab_with_an_element_the_study_cannot_account_for():
    study = pt_study()
    with pytest.raises(ValueError, match="slab 'chloride' holds Cl, which the study cannot"):
        study.add(phasemap.Slab("chloride", "Pt16Cl2", -100.0, 26.6))
    assert study.slabs == []


# --- the bulk's stability region ------------------------------------------------------------


@pytest.mark.parametrize("feo, left", [(-16.04, "Fe"), (-16.20, "FeO")])
def test_fe3o4_stability_polygon_by_hand(feo, left):
    bulk, fe, fe2o3 = -56.25, -8.31, -39.88
    # μ_Fe <= E_Fe, μ_Fe + μ_O <= E_FeO and 2μ_Fe + 3μ_O <= E_Fe2O3 with 3μ_Fe + 4μ_O = E_bulk,
    # μ_O = (E_O2 + Δx)/2; μ_H <= E_H2/2 with 2μ_H + μ_O = E_H2O + Δy.
    x_fe = (bulk - 3 * fe) / 2 - E_O2
    x_feo = 2 * (bulk - 3 * feo) - E_O2
    x_right = 2 * (3 * fe2o3 - 2 * bulk) - E_O2
    x_left = max(x_fe, x_feo)
    assert (x_fe > x_feo) == (left == "Fe")

    def top(x):
        return E_H2 + E_O2 / 2 - E_H2O + x / 2

    region = fe3o4_study(feo=feo).stability_region(window=(None, None, -2.5, None))
    expected = [(x_left, -2.5), (x_right, -2.5), (x_right, top(x_right)), (x_left, top(x_left))]
    assert np.allclose(region.corners, expected, rtol=1e-13, atol=1e-13)
    assert region.sides == ["window", "Fe2O3", "H2", left]
    assert region.bounds == pytest.approx((x_left, x_right, -math.inf, top(x_right)))
    assert not region.bounded and not region.empty
    assert region.area == pytest.approx((x_right - x_left) * (top(x_left) + top(x_right) + 5) / 2)
    inside = region.contains(np.array([-5.0, -5.0, -6.0]), np.array([-1.0, 0.5, -1.0]))
    assert inside.tolist() == [True, False, False]
    corners = region.corners_exact
    assert all(isinstance(c, Fraction) for point in corners for c in point)


def test_regions_outside_the_bulks_region():
    # The engine's regions as it may give them (float corners, either orientation), against
    # the Fe3O4 region: Δμ_O2 from -5.8 to -4.42, below the H2 line.
    from types import SimpleNamespace as Region

    square = np.array([[0, 0], [1, 0], [1, 1], [0, 1]], dtype=float)
    regions = [
        Region(surface=1, corners=square * 0.2 + [-5.5, -2.0]),  # inside
        Region(surface=2, corners=(square * 0.4 + [-4.6, -2.0])[::-1]),  # across Fe2O3
        Region(surface=3, corners=square * 0.3 + [-4.3, -2.0]),  # beyond Fe2O3
        Region(surface=4, corners=square[:2]),
    ]  # no area: not counted
    study = fe3o4_study()
    result = phasemap.StudyResult(
        Region(regions=regions, as_dict=lambda: {"regions": []}),
        (-6.0, -4.0, -2.5, 0.5),
        study.stability_region((-6, -4, -2.5, 0.5)),
    )
    assert (result.outside, result.partly_outside) == ([3], [2])
    assert result.as_dict()["outside"] == [3] and result.regions is regions


def test_open_empty_and_degenerate_regions():
    study = fe3o4_study()
    with pytest.raises(ValueError, match=r"open \(Δμ_x from -5\.8 to -4\.42, Δμ_y from -inf"):
        study.stability_region()
    with pytest.warns(phasemap.InputWarning, match="stable nowhere"):
        empty = fe3o4_study(fe2o3=-45.0).stability_region(window=(-6, -4, -2, 0))
    assert empty.empty and empty.corners.shape == (0, 2) and empty.sides == []
    unstable = fe3o4_study("SCV", fe2o3=-45.0)
    with pytest.raises(ValueError, match="stable nowhere, so its stability region gives no"):
        unstable.solve()
    # Fe and Fe2O3 limits that meet (exact energies): the bulk is stable on Δμ_O2 = -5.8 only.
    exact = phasemap.Study(
        ("Fe3O4", Fraction(-5625, 100)),
        "O2",
        "H2O",
        {"O2": Fraction(-986, 100), "H2O": E_H2O},
        competing=[("Fe", Fraction(-831, 100)), ("Fe2O3", Fraction(-4011, 100))],
    )
    with pytest.warns(phasemap.InputWarning, match="only on a line"):
        line = exact.stability_region(window=(None, None, -2.5, 0.0))
    assert line.area == 0.0 and np.all(line.corners[:, 0] == -5.8)


# --- pressure axes --------------------------------------------------------------------------


def test_pressure_axes_per_molecule_and_per_atom():
    per_molecule = fe3o4_study().pressure_axis("x", 600)
    assert (per_molecule.gas, per_molecule.factor) == ("O2", 1.0)
    assert per_molecule.log10_pressure(-1.5) == pytest.approx(
        phasemap.gas.log10_pressure("O2", -1.5, 600), rel=1e-14
    )
    per_atom = phasemap.Study(
        ("Fe3O4", -56.25), "O", "H2O", {"O": ("O2", E_O2), "H2O": E_H2O}
    ).pressure_axis("x", 600)
    assert (per_atom.gas, per_atom.factor) == ("O2", 0.5)
    forward, inverse = per_atom.functions
    assert forward(inverse(-7.0)) == pytest.approx(-7.0, abs=1e-12)
    assert inverse(-7.0) == pytest.approx(phasemap.gas.delta_mu("O2", 600, 1e-7) / 2, rel=1e-12)
    assert per_atom.pressure(inverse(-7.0)) == pytest.approx(1e-7, rel=1e-10)
    water = fe3o4_study().pressure_axis("y", 300)
    assert water.pressure(-0.95) == pytest.approx(phasemap.gas.pressure("H2O", -0.95, 300))
    with pytest.raises(ValueError, match="the x species 'Fe' is no gas"):
        phasemap.Study(("Fe3O4", -56.25), "Fe", "H2O", {"Fe": -8.31, "H2O": E_H2O}).pressure_axis(
            "x", 300
        )


# --- plausibility warnings ------------------------------------------------------------------


def test_each_plausibility_warning():
    with pytest.warns(phasemap.InputWarning, match="negative area, -20.0 Å²"):
        assert phasemap.Slab("s", "Pt9", -50.0, -20.0).area == 20.0
    study = pt_study()
    study.add(phasemap.Slab("clean", "Pt16", -97.5, 26.6))
    with pytest.warns(phasemap.InputWarning, match="'again' has the same composition and energy"):
        study.add(phasemap.Slab("again", "Pt16", -97.5, 26.6))
    for o2 in (E_O2 * 27.211386, -98.6):  # hartree taken for eV; a digit slipped
        with pytest.warns(phasemap.InputWarning, match="reference 'O2'.* eV per atom"):
            phasemap.Study(("Fe3O4", -56.25), "O2", "H2O", {"O2": o2, "H2O": E_H2O})
    # A window typed in absolute chemical potentials (around the references' energies).
    study = fe3o4_study("SCV", "SCV+2H2O")
    with pytest.warns(phasemap.InputWarning, match=r"one region, 'SCV', .* 'SCV\+2H2O' is sta"):
        study.to_diagram(window=(-15.66, -14.28, -16.72, -14.22))
    with warnings.catch_warnings():  # the same window in Δμ holds the boundary
        warnings.simplefilter("error")
        study.to_diagram(window=(-5.8, -4.42, -2.5, 0.0))


def test_no_warning_for_all_electron_totals():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        phasemap.Study(("Fe3O4", -1.1e6), "O2", "H2O", {"O2": -4.09e3, "H2O": -2.08e3})


# --- the program's diagram ------------------------------------------------------------------


def program_planes(study, diagram):
    """The program's planes, moved to Δμ and to the study's constant."""
    a, b, _, d = diagram.solve().planes.T
    x0, y0 = (float(study.references[s]) for s in (study.x, study.y))
    constant = float(np.float32(8.01)) * 2 / J
    return np.column_stack([a, b, d + a * x0 + b * y0]) / constant


def test_round_trip_to_the_program():
    study = fe3o4_study("SCV", "DBT+2H")
    study.add(
        phasemap.Slab("odd H", "Fe26O40H", -522.0, 70.49),  # half an H2O per cell
        phasemap.Slab("one-sided", "Fe26O40H2", -525.1, 70.49, sides=1, fixed_face=-260.2),
    )
    diagram = study.to_diagram(
        window=(None, None, -2.5, None), scales=(300,), labels=[(-5.0, -1.0, 14, "SCV")]
    )
    assert diagram.bulk == phasemap.Bulk((3, 2), -56.25, 1)
    # (Fe, O2, H2O): the odd H is written for four cells, the one-sided slab for two.
    assert [s.counts for s in diagram.surfaces] == [
        (26, 20, 0),
        (28, 19, 2),
        (104, 79, 2),
        (52, 39, 2),
    ]
    assert [s.area for s in diagram.surfaces] == pytest.approx([70.49, 70.49, 4 * 70.49, 70.49])
    assert diagram.surfaces[3].energy == pytest.approx(2 * (-525.1 + 260.2))
    assert np.allclose(program_planes(study, diagram), study.planes, rtol=0, atol=2e-5)
    assert diagram.window == pytest.approx((-15.66, -14.28, -16.72, -13.91), abs=1e-5)
    assert diagram.labels[0][:2] == pytest.approx((-14.86, -15.22))
    scale = diagram.scales[0]
    assert scale.temperature == 300.0
    assert scale.x_origin == pytest.approx(E_O2 + phasemap.gas.delta_mu("O2", 300), abs=1e-5)


def test_what_the_program_cannot_take():
    study = fe3o4_study()
    study.add(*[phasemap.Slab(f"s{i}", "Fe26O40", -519.0 - i, 70.49) for i in range(17)])
    many = study.to_diagram(window=(None, None, -2.5, None))  # a Diagram for solve_exact()
    assert len(many.surfaces) == 17
    with pytest.raises(phasemap.InputError, match="holds 17 surfaces and the program at most"):
        many.solve()
    four = phasemap.Study(
        ("SrTiO3", -41.69), "O2", "H2O", {"O2": E_O2, "H2O": E_H2O, "TiO2": -27.53}, {"TiO2": -0.5}
    )
    four.add(phasemap.Slab("TiO2 (1x1)", "Sr12Ti16O44", -603.263, 60.996))
    with pytest.raises(ValueError, match="holds 4 of the fixed species 'TiO2'.*three counts"):
        four.to_diagram(window=(-9, 0, -3, 0))
    per_atom = phasemap.Study(("Fe3O4", -56.25), "O", "H2O", {"O": ("O2", E_O2), "H2O": E_H2O})
    per_atom.add(phasemap.Slab("SCV", "Fe26O40", -519.034, 70.49))
    with pytest.raises(ValueError, match="'O' is 1/2 O2: use x='O2'"):
        per_atom.to_diagram(window=(-3, -2, -2, 0), scales=(300,))
