"""The module against the program's golden cases (write, solve, read_input, refusals, and
the warnings and messages the program gives), then its own behaviour: Diagrams built in
Python, stable_at, plot."""
import json
import pathlib
import re
import subprocess
import warnings

import numpy as np
import pytest

import phasemap

GOLDEN = pathlib.Path(__file__).resolve().parents[2] / "tests" / "golden"
CASES = sorted(p.name for p in GOLDEN.iterdir() if (p / "input.txt").exists())
REFUSED = [c for c in CASES if (GOLDEN / c / "status").exists()]
ACCEPTED = [c for c in CASES if c not in REFUSED]


def program_messages(case):
    """What the program writes on standard error for the case, line by line."""
    stderr = GOLDEN / case / "stderr.txt"
    return stderr.read_text(encoding="utf-8").splitlines() if stderr.exists() else []


def warnings_of(call, *args):
    """The value of call(*args) (or the exception it raised) and the texts it warned."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            value = call(*args)
        except phasemap.InputError as refused:
            value = refused
    assert all(w.category is phasemap.InputWarning for w in caught)
    return value, [str(w.message) for w in caught]


@pytest.mark.parametrize("case", ACCEPTED)
def test_golden_case(case, tmp_path, capfd):
    folder = GOLDEN / case
    diagram = phasemap.read_input(folder / "input.txt")
    assert phasemap.read_input(diagram.to_input()) == diagram
    # the program's warnings, each once, and nothing on the process's standard error
    assert warnings_of(diagram.write, tmp_path)[1] == program_messages(case)
    assert capfd.readouterr().err == ""
    for output in folder.iterdir():
        if output.name not in ("input.txt", "notes.md", "stderr.txt", "status"):
            assert (tmp_path / output.name).read_bytes() == output.read_bytes(), output.name
    assert not (tmp_path / "input.txt").exists()
    result = diagram.solve()
    warnings_of(diagram.write, tmp_path / "with-json", True)
    written = (tmp_path / "with-json" / "phase.json").read_text(encoding="utf-8")
    assert result.to_json() == written
    for region in result.regions:
        # At its centroid a region's surface is the lowest, but where the search's tolerance
        # decides: a sliver along an edge, or a plane within 1e-4 of the lowest one.
        lowest = int(result.stable_at(*region.centroid))
        planes = result.planes[[region.surface - 1, lowest - 1]]
        tied = region.area < 1e-6 or np.ptp(planes, axis=0).max() <= 1e-4
        assert lowest == region.surface or tied, (region.name, lowest)
    # The corners hold the run's single-precision values, which phase.json writes as the
    # shortest decimals that read back to them.
    for region, listed in zip(result.regions, result.as_dict()["regions"], strict=True):
        assert np.array_equal(np.float32(listed["corners"]), np.float32(region.corners))
        assert (region.name, region.centroid, region.area) == (
            listed["name"],
            tuple(listed["centroid"]),
            listed["area"],
        )
    stable = {r.surface for r in result.regions}
    assert result.never_stable == [
        i for i in range(1, len(diagram.surfaces) + 1) if i not in stable
    ]


@pytest.mark.parametrize("case", REFUSED)
def test_refusal_arrives_with_its_unit_line_and_warnings(case, capfd, tmp_path):
    *warned, message = program_messages(case)
    refused, texts = warnings_of(phasemap.read_input, GOLDEN / case / "input.txt")
    if not isinstance(refused, phasemap.InputError):  # refused once the regions are sought
        diagram = refused
        refused, texts = warnings_of(diagram.solve)
    if not isinstance(refused, phasemap.InputError):  # refused in the folder written
        refused, texts = warnings_of(diagram.write, tmp_path)
    assert (str(refused), texts) == (message, warned)
    named = re.match(r"phasemap: \S+ \(unit (\d+)\)(?:, line (\d+))?:", message)
    assert (refused.unit, refused.line) == tuple(int(n) if n else None for n in named.groups())
    assert capfd.readouterr().err == ""


WORKED = dict(
    bulk=phasemap.Bulk((1, 2), -16.5, 2),
    window=(-2.0, 0.0, -1.5, 0.0),
    surfaces=[
        phasemap.Surface("clean", (8, 16, 0), 20.5, -140.2),
        phasemap.Surface("with H", (8, 16, 2), 20.5, -147.9),
    ],
)


def test_diagram_built_in_python_equals_the_one_read():
    assert phasemap.Diagram(**WORKED) == phasemap.read_input(
        GOLDEN / "reader-worked-example" / "input.txt"
    )


@pytest.mark.parametrize(
    "change, line",
    [
        (dict(window=(0.0, -2.0, -1.5, 0.0)), 5),
        (dict(map_name="log.out"), 14),
        (dict(bulk=phasemap.Bulk((1, 2), -16.5, 0)), 3),
    ],
)
def test_bad_values_are_refused_as_the_program_refuses_them(change, line):
    with pytest.raises(phasemap.InputError) as refused:
        phasemap.Diagram(**{**WORKED, **change})
    assert refused.value.line == line
    assert str(refused.value).startswith("phasemap: input.txt (unit 1)")


def test_the_next_call_computes_a_changed_field():
    diagram = phasemap.Diagram(**WORKED)
    assert [r.name for r in diagram.solve().regions] == ["with H"]
    diagram.surfaces = [diagram.surfaces[0], phasemap.Surface("with H", (8, 16, 2), 20.5, -130.0)]
    assert isinstance(diagram.surfaces, tuple)  # nothing changes a diagram in place
    assert [r.name for r in diagram.solve().regions] == ["clean"]
    assert "-130.0" in diagram.to_input()


def test_stable_at_is_vectorised_over_the_window():
    result = phasemap.read_input(GOLDEN / "lines-every-keyword" / "input.txt").solve()
    x, y = np.meshgrid(np.linspace(-1.9, -0.1, 7), np.linspace(-1.4, -0.1, 5))
    lowest = result.stable_at(x, y)
    assert lowest.shape == x.shape and set(np.unique(lowest)) == {1, 2, 3}
    assert lowest.ravel().tolist() == [result.stable_at(*p) for p in zip(x.ravel(), y.ravel())]


def test_plot_draws_one_patch_per_region():
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    result = phasemap.read_input(GOLDEN / "map-square-window" / "input.txt").solve()
    figure, ax = plt.subplots()
    colors = {r.name: "#123456" for r in result.regions[:1]}
    assert result.plot(ax=ax, colors=colors) is ax
    assert len(ax.patches) == len(result.regions)
    assert matplotlib.colors.to_hex(ax.patches[0].get_facecolor()) == "#123456"
    assert matplotlib.colors.to_hex(ax.patches[1].get_facecolor()) in phasemap.PALETTE
    assert ax.get_xlim() == pytest.approx(result.diagram.window[:2])
    # Axis titles as the map says them, μ with the title as its subscript; markup as the map
    # reads it, nested groups and a stacked pair included, is mathtext that matplotlib sets.
    result.diagram.x_title, result.diagram.y_title = "O_{2} (eV)", "x^{a}_{b} 10^{-5} $"
    result.plot(ax=ax)
    assert ax.get_xlabel() == r"$\mu_{\mathrm{O}{}_{\mathrm{2}}\mathrm{\ (eV)}}$"
    figure.canvas.draw()
    plt.close(figure)


def test_one_version_for_the_package_the_program_and_phase_json(tmp_path):
    version = (GOLDEN.parents[1] / "VERSION").read_text(encoding="utf-8").strip()
    assert phasemap.__version__ == version
    phasemap.Diagram(**WORKED).write(tmp_path, json=True)
    document = json.loads((tmp_path / "phase.json").read_text(encoding="utf-8"))
    assert document["program"] == {"name": "phasemap", "version": version}
    program = pathlib.Path(phasemap.__file__).parents[2] / "phasemap"  # beside build/python
    if program.exists():
        said = subprocess.run([program, "--version"], capture_output=True, text=True, check=True)
        assert said.stdout == f"phasemap {version}\n"
