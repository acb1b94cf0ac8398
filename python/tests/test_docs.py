"""The documentation runs: every example of the package's docstrings, and the Python blocks of
the guide's Python chapter, in a folder of their own that sees the repository's examples."""

import doctest
import importlib
import pathlib
import pkgutil
import re
import textwrap
import warnings

import numpy as np
import pytest

import phasemap

ROOT = pathlib.Path(__file__).resolve().parents[2]
pytestmark = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the docs use the exact engine (CGAL)"
)


@pytest.fixture
def in_a_folder_with_the_examples(tmp_path, monkeypatch):
    pytest.importorskip("matplotlib").use("Agg")
    (tmp_path / "examples").symlink_to(ROOT / "examples")
    monkeypatch.chdir(tmp_path)
    yield tmp_path
    import matplotlib.pyplot as plt

    plt.close("all")


def fe3o4_study():
    """The study the docstrings of Study and its results speak of."""
    study = phasemap.Study(
        bulk=("Fe3O4", -56.25),
        x="O2",
        y="H2O",
        references={"O2": -9.86, "H2O": -14.22, "H2": -6.77},
        competing=[("Fe", -8.31), ("FeO", -16.04), ("Fe2O3", -39.88)],
    )
    study.add(
        phasemap.Slab("SCV", "Fe26O40", -519.034, 70.49),
        phasemap.Slab("DBT", "Fe28O40", -536.144, 70.49),
    )
    return study


MODULES = [
    importlib.import_module(f"phasemap.{m.name}")
    for m in pkgutil.iter_modules(phasemap.__path__)
    if not m.name.startswith(("_core", "_engine"))
]


@pytest.mark.parametrize("module", MODULES, ids=lambda m: m.__name__)
def test_docstring_examples(module, in_a_folder_with_the_examples):
    pytest.importorskip("ase")
    finder, runner = doctest.DocTestFinder(), doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    for test in finder.find(module, module.__name__, globs={}):
        test.globs = {**vars(module), "phasemap": phasemap, "np": np, "warnings": warnings}
        test.globs["study"] = fe3o4_study()
        runner.run(test)
    assert runner.failures == 0


def test_the_guides_python_chapter_runs(in_a_folder_with_the_examples):
    guide = (ROOT / "docs" / "guide.md").read_text(encoding="utf-8")
    chapter = guide[guide.index("\n## Python\n") : guide.index("\n## From calculations")]
    namespace: dict = {}
    for block in re.findall(r"```python\n(.*?)```", chapter, flags=re.S):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", phasemap.InputWarning)
            exec(compile(textwrap.dedent(block), "guide.md", "exec"), namespace)
    assert (in_a_folder_with_the_examples / "run1" / "phase.json").exists()
