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

import golden_cases  # tests/support, put on the path by conftest.py

CASES = golden_cases.cases()
GOLDEN = golden_cases.GOLDEN


def warnings_of(call, *args, **kwargs):
    """The value of call(*args, **kwargs) (or the exception it raised) and the texts it warned."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            value = call(*args, **kwargs)
        except phasemap.InputError as refused:
            value = refused
    assert all(w.category is phasemap.InputWarning for w in caught)
    return value, [str(w.message) for w in caught]


def write_arguments(case):
    """write()'s arguments for the case's command-line options, and the case's outputs that
    write() does not make (it writes no SVG map)."""
    assert set(case.options) <= {"--json", "--svg"}, "write() has no counterpart of an option"
    return {"json": "--json" in case.options}, {n for n in case.outputs if n.endswith(".svg")}


@pytest.mark.parametrize("case", [c for c in CASES if c.status == 0], ids=str)
def test_golden_case(case, tmp_path, capfd):
    diagram = phasemap.read_input(case.input)
    assert phasemap.read_input(diagram.to_input()) == diagram
    arguments, not_written = write_arguments(case)
    case.make_subfolders(tmp_path / "run")
    warned = warnings_of(diagram.write, tmp_path / "run", **arguments)[1]
    # The program's warnings, each once (but where they may speak of the SVG map, which
    # write() does not make), and nothing on the process's standard error.
    assert warned == case.messages or "--svg" in case.options
    assert capfd.readouterr().err == ""
    expected = {n: b for n, b in case.outputs.items() if n not in not_written}
    golden_cases.assert_same_files(expected, golden_cases.files_in(tmp_path / "run"))
    with_json = tmp_path / "run"
    if not arguments["json"]:
        with_json = tmp_path / "with-json"
        case.make_subfolders(with_json)
        warnings_of(diagram.write, with_json, json=True)
    written = (with_json / "phase.json").read_text(encoding="utf-8")
    result = diagram.solve()
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


@pytest.mark.parametrize("case", [c for c in CASES if c.status != 0], ids=str)
def test_refusal_arrives_with_its_unit_line_and_warnings(case, capfd, tmp_path):
    *warned, message = case.messages
    refused, texts = warnings_of(phasemap.read_input, case.input)
    if not isinstance(refused, phasemap.InputError):  # refused once the regions are sought
        diagram = refused
        refused, texts = warnings_of(diagram.solve)
    if not isinstance(refused, phasemap.InputError):  # refused in the folder written
        refused, texts = warnings_of(diagram.write, tmp_path)
    assert (str(refused), texts) == (message, warned)
    named = re.match(r"phasemap: \S+ \(unit (\d+)\)(?:, line (\d+))?:", message)
    assert (refused.unit, refused.line) == tuple(int(n) if n else None for n in named.groups())
    assert capfd.readouterr().err == ""


def test_a_map_named_into_a_folder_is_read_wherever_the_process_works(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    phasemap.read_input(GOLDEN / "extra-map-in-subfolder" / "input.txt").solve()


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
    centroids = np.array([r.centroid for r in result.regions])
    assert result.stable_at(*centroids.T).tolist() == [r.surface for r in result.regions]
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
