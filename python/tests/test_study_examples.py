"""The two study examples (Fe3O4(001) from ASE slabs, SrTiO3(001) with four elements) and the
guide's copy of the first: every number they print, no plausibility warning, the terminations
stable inside the bulk's limits, and their plots: Δμ axes, the bulk's limits, the gases'
pressure axes."""
import re
import runpy
import warnings

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py
from helpers import check_labels, check_names, check_neighbour_colours, check_path, run_study

FE3O4 = golden_cases.EXAMPLES / "fe3o4-001"
needs_envelope = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the exact engine is not in this build"
)

STABLE = {
    "fe3o4-001": ["SCV", "SCV+2Fe adatoms", "A-layer (Fe_tet)", "SCV+H2O", "SCV+2H2O", "SCV+3H2O",
                  "SCV+4H2O", "DBT+2H", "DBT+4H", "SCV+2H", "SCV+2Fe adatoms+2OH"],
    "srtio3-001": ["TiO_{2} (1×1)", "TiO_{2} + V_{O}", "TiO_{2} + 2V_{O}", "TiO_{2} + H_{2}O",
                   "TiO_{2} + 2H", "SrO + 2H_{2}O"],
}  # fmt: skip


def set_up(name, capsys):
    """Runs the example up to its solve, warnings as errors: its namespace and output."""
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        namespace = run_study(name)
    return namespace, capsys.readouterr().out


def test_the_stored_slabs_are_what_the_builder_writes():
    builder = runpy.run_path(str(FE3O4 / "make_slabs.py"))
    slabs = builder["slabs"]()
    assert (FE3O4 / "slabs.extxyz").read_text() == builder["extxyz"](slabs)
    assert len(slabs) == 20 and len({a.info["name"] for a in slabs}) == 20
    for atoms in slabs:  # built, not relaxed, but no two atoms closer than an O-H bond
        distances = atoms.get_all_distances(mic=True) + 9 * np.eye(len(atoms))
        assert distances.min() > 0.95, atoms.info["name"]


def test_fe3o4_example(capsys):
    namespace, out = set_up("fe3o4-001", capsys)
    study, region = namespace["study"], namespace["region"]
    assert [s.name for s in study.slabs][:4] == [
        "SCV",
        "DBT",
        "SCV+2Fe adatoms",
        "A-layer (Fe_tet)",
    ]
    assert study.slabs[0].composition == {"Fe": 26, "O": 40}
    assert study.slabs[0].area == pytest.approx(8.396**2)
    # Fe: Δμ_O2 >= (E_Fe3O4 - 3 E_Fe)/2 - E_O2; Fe2O3: Δμ_O2 <= 2 (3 E_Fe2O3 - 2 E_Fe3O4) - E_O2;
    # H2: Δμ_H2O <= E_H2 + E_O2/2 - E_H2O + Δμ_O2/2.
    assert region.sides == ["window", "Fe2O3", "H2", "Fe"]
    assert region.corners == pytest.approx(
        np.array([[-5.80, -2.5], [-4.42, -2.5], [-4.42, 0.31], [-5.80, -0.38]]), abs=1e-12
    )
    assert "{'window': [-5.8, -2.5], 'Fe2O3': [-4.42, -2.5], 'H2': [-4.42, 0.31]" in out
    # The SCV | SCV+H2O boundary at which the example reads the water pressure.
    (a1, b1, d1), (a2, b2, d2) = study.planes[[0, 8]]
    assert a1 == a2 and (d1 - d2) / (b2 - b1) == pytest.approx(-0.95, abs=1e-9)
    pressure = phasemap.gas.pressure("H2O", -0.95, 300)
    assert f"water adsorbs on SCV above {pressure:.1e} bar at 300 K" in out
    assert f"{pressure:.1e}" == "1.5e-08"


def test_srtio3_example(capsys):
    namespace, out = set_up("srtio3-001", capsys)
    study, region = namespace["study"], namespace["region"]
    assert study.elements == ["Sr", "Ti", "O", "H"]
    # TiO: μ_Ti + μ_O <= E_TiO with μ_Ti = E_TiO2 - 0.5 - 2μ_O, μ_O = (E_O2 + Δx)/2;
    # Sr(OH)2: μ_SrO + μ_H2O <= E_Sr(OH)2 with μ_SrO = E_SrTiO3 - μ_TiO2; H2 as for Fe3O4.
    o2, h2o, h2 = -9.86, -14.22, -6.77
    x_tio = 2 * (-27.53 - 0.5 + 18.44) - o2
    y_sroh = -28.25 - (-41.69 + 27.53 + 0.5) - h2o

    def top(x):
        return h2 + o2 / 2 - h2o + x / 2

    assert region.sides == ["window", "O2", "Sr(OH)2", "H2", "TiO"]
    expected = [(x_tio, -3.0), (0.0, -3.0), (0.0, y_sroh), (2 * (y_sroh - top(0.0)), y_sroh),
                (x_tio, top(x_tio))]  # fmt: skip
    assert region.corners == pytest.approx(np.array(expected), abs=1e-12)
    assert out.startswith("SrTiO3 stable: {'window': [-9.32, -3.0], 'O2': [0.0, -3.0]")


def test_the_guide_shows_the_fe3o4_example():
    guide = (golden_cases.SOURCE / "docs" / "guide.md").read_text(encoding="utf-8")
    blocks = re.findall(r"```python\n(.*?)```", guide, flags=re.S)
    example = (FE3O4 / "study.py").read_text(encoding="utf-8").split('"""', 2)[2]
    assert example.strip() in [block.strip() for block in blocks]
    assert len([line for line in example.splitlines() if line.strip()]) < 30


# The whole example runs and draws its figures; its result's regions inside the bulk's limits
# are those of the terminations that are stable there; its map and line plot, drawn again,
# have their labels apart and in place, neighbours apart in colour, the Δμ axes, the bulk's
# limits and the study's own pressure axes.
@needs_envelope
@pytest.mark.parametrize("name", ["fe3o4-001", "srtio3-001"])
def test_the_examples_solve_and_draw(name, in_a_folder_with_the_examples, figure):
    with warnings.catch_warnings():
        warnings.simplefilter("error", phasemap.InputWarning)
        namespace = run_study(name, None, print=lambda *_: None)
    assert list(in_a_folder_with_the_examples.glob("*.png"))
    study, result = namespace["study"], namespace["result"]
    inside = {r.name for r in result.regions if r.surface not in result.outside}
    assert inside == set(STABLE[name])
    if name == "fe3o4-001":  # the window's corner above the H2 limit
        assert 12 in result.partly_outside and study.slabs[11].name == "SCV+4H2O"
    figure.set_size_inches(6, 5)  # as the guide shows it
    figure.set_dpi(150)
    ax = result.plot(ax=figure.gca(), pressures=(300, 600))
    check_labels(ax, result.regions)
    check_neighbour_colours(ax, result.regions, phasemap.NEIGHBOUR_DIFFERENCE)
    assert ax.get_xlabel() == r"$\Delta\mu_{\mathrm{O}_{2}}$ (eV)"
    assert ax.get_ylabel() == r"$\Delta\mu_{\mathrm{H}_{2}\mathrm{O}}$ (eV)"
    gids = {p.get_gid() for p in ax.patches} | {line.get_gid() for line in ax.lines}
    assert "phasemap-bulk-unstable" in gids
    limits = {g for g in gids if g and g.startswith("phasemap-bulk-limit-")}
    sides = set(result.stability_region.sides) - {"window"}
    assert limits and limits <= {f"phasemap-bulk-limit-{s}" for s in sides}
    top = {child.get_gid(): child for child in ax.child_axes}["phasemap-pressure-top-300"]
    assert top.get_xlabel() == r"p($\mathrm{O}_{2}$) / bar, 300 K"
    # The top axis reads the study's own pressure of O2 at 300 K.
    forward = study.pressure_axis("x", 300).log10_pressure
    assert top._functions[0](-1.0) == pytest.approx(forward(-1.0))
    for child in ax.child_axes:  # a tick every 1, 2, 5, 10, 20, ... decades
        axis = child.xaxis if "top" in child.get_gid() else child.yaxis
        (step,) = set(np.diff(axis.get_major_locator()()).round(9))
        assert step / 10 ** np.floor(np.log10(step)) in (1.0, 2.0, 5.0), child.get_gid()
    ax.clear()
    y = float(np.mean(result.window[2:]))
    result.plot_line(ax=ax, y=y)
    check_path(ax, result.stable_at, (result.window[0], y), (result.window[1], y), 0)
    assert check_names(ax, [r.surface for r in result.regions]) == len(study.slabs)
    assert ax.get_ylabel() == "γ (J/m²)"
    assert re.fullmatch(
        r"\$\\Delta\\mu_\{\\mathrm\{H\}_\{2\}\\mathrm\{O\}\}\$ = \S+ eV", ax.get_title()
    )
