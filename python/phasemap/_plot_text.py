"""The texts of the plots: the map's ^{...}/_{...} markup as matplotlib mathtext, names as
plain text, and the axis titles, which say μ (or Δμ for a study) before the title as the map
says it: the map sets the title as the subscript of its μ.
"""

from __future__ import annotations

import re
from typing import TYPE_CHECKING, Any, Mapping, Sequence

from . import _core

if TYPE_CHECKING:
    from ._result import Region

# The level of the upper member of a stacked pair in the map's markup; the lower one has its
# negative.
STACKED: int = _core.stacked_level

# The markup the map reads is held in 40 bytes, its field for labels and titles.
MARKUP_BYTES = 40

# What plot(labels=...) takes as a mode.
LABEL_MODES = ("names", "numbers", "legend")

# The study's energy units as an axis shows them.
UNIT_SHOWN = {"J/m2": "J/m²", "eV/A2": "eV/Å²", "meV/A2": "meV/Å²"}


def _segments(text: str) -> list[tuple[str, int]]:
    raw = text.encode("utf-8", "surrogateescape")
    if len(raw) > MARKUP_BYTES:
        raise ValueError(
            f"{text!r} is {len(raw)} bytes long: the map's markup is read from texts of at most "
            f"{MARKUP_BYTES} bytes; give a shorter text or markup=False"
        )
    return [
        (piece.decode("utf-8", "surrogateescape"), level)
        for piece, level in _core.label_segments(raw)
    ]


def mathtext(text: str) -> str:
    """The map's ^{...} and _{...} markup as mathtext, split as the map splits it: each
    raised or lowered piece set as that many nested super- or subscripts, a stacked pair as
    one; text without markup stays as it is (a $ escaped)."""
    if not re.search(r"[\^_}]", text) or not _is_settable(text):
        return text.replace("$", r"\$")
    out = []
    for piece, level, lower in _pieces(_segments(text)):
        if level == 0:
            out.append(piece.replace("$", r"\$"))
        else:
            out.append("$" + _raised(piece, level, lower) + "$")
    return "".join(out)


def math_body(text: str) -> str:
    """The markup of `text` as the body of one mathtext expression (without the $ signs),
    every piece in roman type."""
    if not re.search(r"[\^_}]", text):
        return _roman(text)
    return "".join(
        _roman(piece) if level == 0 else _raised(piece, level, lower)
        for piece, level, lower in _pieces(_segments(text))
    )


def _pieces(segments: list[tuple[str, int]]) -> list[tuple[str, int, str | None]]:
    """(text, level, lower member) of each piece: a stacked pair is one piece, the others
    have no lower member; empty raised pieces are left out."""
    out: list[tuple[str, int, str | None]] = []
    for j, (piece, level) in enumerate(segments):
        if level == -STACKED and j > 0 and segments[j - 1][1] == STACKED:
            continue  # set with the upper member
        if level == STACKED and j + 1 < len(segments) and segments[j + 1][1] == -STACKED:
            out.append((piece, level, segments[j + 1][0]))
        elif level == 0 or piece:
            out.append((piece, level, None))
    return out


def _raised(piece: str, level: int, lower: str | None) -> str:
    if lower is not None:
        return f"{{}}^{{{_roman(piece)}}}_{{{_roman(lower)}}}"
    depth = 1 if abs(level) == STACKED else abs(level)
    mark = "^" if level > 0 else "_"
    return ("{}" + mark + "{") * depth + _roman(piece) + "}" * depth


def _is_settable(text: str) -> bool:
    """Whether mathtext can set every character of `text` wherever the markup puts it (it
    can set no ampersand, nor a quotation mark or backquote in a raised or lowered piece); a
    text it cannot is shown as written, markup and all."""
    return not re.search('[&"`]', text)


def _roman(text: str) -> str:
    """`text` upright; the few characters mathtext cannot set inside \\mathrm stand beside
    it, each as a group of its own."""
    if not text:
        return "{}"
    runs = re.split(r"([\\\\#])", text)
    return "".join(
        (_BESIDE_ROMAN[run] if k % 2 else f"\\mathrm{{{_escaped(run)}}}")
        for k, run in enumerate(runs)
        if run
    )


# Characters mathtext reads but cannot set inside \mathrm, set beside it.
_BESIDE_ROMAN = {"\\": r"{\backslash}", "#": r"{\#}"}


# Characters that mathtext reads as its own, and how it writes each as itself.
_MATH_ESCAPES = {
    "{": r"\{",
    "}": r"\}",
    "$": r"\$",
    "%": r"\%",
    "_": r"\_",
    "^": r"\textasciicircum{}",
    "~": r"\textasciitilde{}",
    " ": r"\ ",
}


def _escaped(text: str) -> str:
    return re.sub(r"[{}$%_^~ ]", lambda m: _MATH_ESCAPES[m.group(0)], text)


def shown(text: str, markup: bool) -> str:
    """A name or label as matplotlib shows it with parse_math off (markup=False: exactly
    as written) or as mathtext (markup=True)."""
    return mathtext(text) if markup else text


def map_axis_title(title: str) -> str:
    """An axis title of a diagram as the map says it: μ with the title as its subscript."""
    if not _is_settable(title):
        return "\u03bc " + title.replace("$", r"\$")
    return r"$\mu_{" + math_body(title) + "}$" if title else r"$\mu$"


def formula_math(species: str) -> str:
    """A species' formula as the body of a mathtext expression, its counts as subscripts:
    "H2O" gives \\mathrm{H}_{2}\\mathrm{O}."""
    pieces = re.split(r"(?<=[A-Za-z)\]])(\d+(?:\.\d+)?)", species)
    return "".join(
        f"_{{{piece}}}" if k % 2 else (_roman(piece) if piece else "")
        for k, piece in enumerate(pieces)
    )


def study_axis_title(species: str) -> str:
    """An axis title of a study: Δμ of the axis species, relative to its reference, eV."""
    return r"$\Delta\mu_{" + formula_math(species) + "}$ (eV)"


def gas_of_title(title: str) -> str:
    """The gas an axis title of a diagram names, as mathtext: the title without a unit in
    parentheses at its end ("O_{2} (eV)" names O_{2})."""
    bare = re.sub(r"\s*\((?:m?eV|eV/\S*)\)\s*$", "", title)
    return "$" + math_body(bare) + "$" if bare else ""


def pressure_title(gas: str, temperature: float) -> str:
    """The title of a pressure axis: the gas's pressure in bar at the temperature."""
    named = f"p({gas})" if gas else "p"
    return f"{named} / bar, {temperature:g} K"


def label_texts(
    regions: Sequence[Region], names: Sequence[str], labels: Any
) -> tuple[str, list[str | None]]:
    """The mode ("names", "numbers", "legend" or "" for none) and each region's text."""
    if labels is None or labels is False:
        return "", [None] * len(regions)
    if labels is True:
        labels = "names"
    if isinstance(labels, str):
        if labels not in LABEL_MODES:
            raise ValueError(
                f"labels={labels!r}: give 'names', 'numbers', 'legend', None or a dict of "
                f"names or surface numbers to texts"
            )
        if labels == "names":
            return labels, [r.name for r in regions]
        return labels, [str(r.surface) for r in regions]
    if not isinstance(labels, Mapping):
        raise TypeError(f"labels is a mode, None or a dict, not {type(labels).__name__}")
    known = set(names) | set(range(1, len(names) + 1))
    unknown = [key for key in labels if isinstance(key, bool) or key not in known]
    if unknown:
        raise ValueError(f"labels names no surface: {', '.join(repr(k) for k in unknown)}")
    texts: list[str | None] = []
    for region in regions:
        text = labels.get(region.name, labels.get(region.surface, region.name))
        texts.append(None if text is None or str(text) == "" else str(text))
    return "names", texts


def two_lines(text: str, markup: bool) -> str | None:
    """`text` broken into two lines at the blank that makes the longer line shortest (with
    markup, a blank outside braces), as shown; None without such a blank."""
    depth, blanks = 0, []
    for i, c in enumerate(text):
        depth += ((c == "{") - (c == "}")) if markup else 0
        if c == " " and depth == 0 and 0 < i < len(text) - 1:
            blanks.append(i)
    if not blanks or "\n" in text:
        return None
    cut = min(blanks, key=lambda i: (max(i, len(text) - i - 1), i))
    return shown(text[:cut], markup) + "\n" + shown(text[cut + 1 :], markup)
