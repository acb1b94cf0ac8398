"""The checks in this folder import the golden cases' helper from tests/support."""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent / "support"))
