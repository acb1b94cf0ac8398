from ._core import compute
