"""The documentation runs: every example of the package's docstrings, and the Python blocks of
the guide's Python chapter, in a folder of their own that sees the repository's examples."""

import doctest
import importlib
import pkgutil
import re
import textwrap
import warnings

import numpy as np
import pytest

import phasemap

import golden_cases  # tests/support, put on the path by conftest.py
from helpers import fe3o4_study

pytestmark = pytest.mark.skipif(
    phasemap._envelope._engine is None, reason="the docs use the exact engine (CGAL)"
)


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
        test.globs["study"] = fe3o4_study("SCV", "DBT")  # the study they speak of
        runner.run(test)
    assert runner.failures == 0


def test_the_guides_python_chapter_runs(in_a_folder_with_the_examples):
    guide = (golden_cases.SOURCE / "docs" / "guide.md").read_text(encoding="utf-8")
    chapter = guide[guide.index("\n## Python\n") : guide.index("\n## From calculations")]
    namespace: dict = {}
    for block in re.findall(r"```python\n(.*?)```", chapter, flags=re.S):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", phasemap.InputWarning)
            exec(compile(textwrap.dedent(block), "guide.md", "exec"), namespace)
    assert (in_a_folder_with_the_examples / "run1" / "phase.json").exists()
