"""The `Diagram`, everything input.txt can hold, and its input text both ways: `to_input`
writes it, `read_input` reads it with the program's own reader.

The checks are the program's: a Diagram is turned into input.txt text and read by the
program's reader, which refuses what the program refuses; `read_input` goes the same way and
builds the Diagram from what the reader stored. A Diagram holds any number of surfaces (the
reader hands every one to the package, with its plane): the exact engine solves them all,
while the program's `solve` and `write` take at most 16. Calls into the program are
serialized by one lock in the extension, so threads may call freely and take turns.
"""

from __future__ import annotations

import dataclasses
import os
import threading
from typing import TYPE_CHECKING, Any, Sequence

import numpy as np

from . import _core
from ._entries import (
    NORMALIZE,
    OFF,
    BoxedLine,
    Bulk,
    Label,
    Line,
    PathType,
    PressureScale,
    Surface,
    read_surface,
)
from ._envelope import Envelope, _envelope_of
from ._errors import InputError, call
from ._result import Result, text

__all__ = ["Diagram", "read_input"]

_trusted = threading.local()  # set while read_input builds a Diagram the reader has checked


def _real(value: float) -> str:
    """Shortest text that reads back to the same single-precision value."""
    return str(np.float32(value))


def _quoted(text: str) -> str:
    return "'" + text.replace("'", "''") + "'"


@dataclasses.dataclass
class Diagram:
    """Everything input.txt can hold, checked by the program's reader.

    Built or changed (by assigning a field, or with ``dataclasses.replace``) from plain
    values: sequences become tuples, reals single precision. A new Diagram is read by the
    program's reader at once, which refuses what the program refuses.

    Parameters
    ----------
    bulk : Bulk or None, optional
        The bulk entry; None for an input without one.
    surfaces : sequence of Surface, optional
        The candidate terminations, or (name, counts, area, energy) tuples: any number for
        `solve_exact`, at most 16 for the program's `solve` and `write`.
    window : tuple of 4 float, optional
        (x_min, x_max, y_min, y_max), eV: the chemical potentials of the second and third
        species.
    x_title, y_title : str, optional
        The axis titles (after a μ on the map), with the map's markup.
    map_name : str, bytes or os.PathLike, optional
        The map's file name within the run's folder (at most 20 characters).
    labels : sequence of Label, optional
        Texts on the map.
    x_guides, y_guides : sequence of float, optional
        Vertical and horizontal guide lines at these x and y, eV.
    lines : sequence of Line, optional
        Guide lines across the window.
    boxed_lines : sequence of BoxedLine, optional
        Guide lines within boxes of their own.
    scales : tuple of 2 PressureScale, optional
        The two sets of pressure scales; off by default.
    shift : tuple of 2 float, optional
        Where the x and y tick grids start, eV: the tick numbered k stands at k + shift.

    Raises
    ------
    InputError
        When the program refuses the input (its message names the line of the input text).
    ValueError
        For a count or coefficient that is not a whole number, or a surface with other than
        three counts.

    Examples
    --------
    >>> diagram = phasemap.Diagram(
    ...     bulk=phasemap.Bulk((1, 2), -16.5, 2),
    ...     surfaces=[phasemap.Surface("clean", (8, 16, 0), 20.5, -140.2),
    ...               phasemap.Surface("with H", (8, 16, 2), 20.5, -147.9)],
    ...     window=(-2.0, 0.0, -1.5, 0.0))
    >>> [region.name for region in diagram.solve().regions]
    ['with H']
    """

    bulk: Bulk | None = None
    surfaces: Sequence[Surface] = ()
    window: Sequence[float] = (0.0, 0.0, 0.0, 0.0)
    x_title: str = "H"
    y_title: str = "O"
    map_name: PathType = "map1.ps"
    labels: Sequence[Label] = ()
    x_guides: Sequence[float] = ()
    y_guides: Sequence[float] = ()
    lines: Sequence[Line] = ()
    boxed_lines: Sequence[BoxedLine] = ()
    scales: Sequence[PressureScale] = (OFF, OFF)
    shift: Sequence[float] = (0.0, 0.0)
    if TYPE_CHECKING:  # not a field: what _frozen, read_input and the reader's check keep
        _input: tuple[tuple[Any, ...], bytes | None, np.ndarray | None]

    def __setattr__(self, name: str, value: Any) -> None:
        object.__setattr__(self, name, NORMALIZE[name](value) if name in NORMALIZE else value)

    def __post_init__(self) -> None:
        if not getattr(_trusted, "on", False):
            diagram = self._frozen()
            self._keep_planes(diagram, call(_core.check, diagram._input[1]))

    def to_input(self) -> str:
        """The input.txt text of this diagram, which the program reads back to it.

        Returns
        -------
        str
            The records, one a line, each real the shortest text of its single-precision
            value; entries at their defaults are left out.

        Examples
        --------
        >>> diagram = phasemap.Diagram(window=(-2.0, 0.0, -1.5, 0.0))
        >>> print(diagram.to_input().splitlines()[:2])
        ['bound', '-2.0 0.0 -1.5 0.0']
        """
        b = self.bulk
        out = (
            []
            if b is None
            else ["bulk", f"{b.counts[0]} {b.counts[1]}", f"{_real(b.energy)} {b.divisor}"]
        )
        out += ["bound", " ".join(_real(v) for v in self.window)]
        if self.surfaces:
            out.append(f"surf {len(self.surfaces)}")
            out += [
                f"{_quoted(s.name)} {s.counts[0]} {s.counts[1]} {s.counts[2]} "
                f"{_real(s.area)} {_real(s.energy)}"
                for s in self.surfaces
            ]
        out += ["xaxi", _quoted(self.x_title), "yaxi", _quoted(self.y_title)]
        out += ["output", _quoted(os.fsdecode(self.map_name))]
        for word, scale in zip(("temp1", "temp2"), self.scales):
            if scale != OFF:
                out += [word, " ".join(_real(v) for v in scale)]
        for word, value in zip(("shiftx", "shifty"), self.shift):
            if value != 0.0:
                out += [word, _real(value)]
        for word, values in (("xbound", self.x_guides), ("ybound", self.y_guides)):
            if values:
                out += [f"{word} {len(values)}"] + [_real(v) for v in values]
        if self.lines:
            out.append(f"equi {len(self.lines)}")
            out += [f"{e.coef_x} {e.coef_y} {_real(e.constant)}" for e in self.lines]
        if self.boxed_lines:
            out.append(f"equ2 {len(self.boxed_lines)}")
            out += [
                f"{e.coef_x} {e.coef_y} " + " ".join(_real(v) for v in e[2:])
                for e in self.boxed_lines
            ]
        if self.labels:
            out.append(f"text {len(self.labels)}")
            out += [
                f"{_real(t.x)} {_real(t.y)} {_real(t.size)} {_quoted(t.text)}" for t in self.labels
            ]
        out.append("stop")
        return "\n".join(out) + "\n"

    def _values(self) -> tuple[Any, ...]:
        return tuple(self.__dict__[name] for name in _FIELD_NAMES)

    def _frozen(self, text: bool = True) -> Diagram:
        """A copy of the diagram as it is now, which no other thread changes, with what is
        kept for it in `_input`: (field values, input bytes, planes). The bytes (its own input
        text, or the very bytes it was read from, which may hold what no field does, such as
        the echo of a negative table count) and the planes the reader derived from them hold
        while every field is the very value they were made for; either is None until it is
        made. `text` makes the bytes now when they are missing."""
        copy = object.__new__(Diagram)
        copy.__dict__.update(self.__dict__)  # one step, which no other thread interrupts
        values = copy._values()
        kept = copy.__dict__.get("_input")
        if kept is None or any(a is not b for a, b in zip(kept[0], values)):
            kept = (values, None, None)
        if text and kept[1] is None:
            kept = (values, copy.to_input().encode("utf-8", "surrogateescape"), kept[2])
        if kept is not copy.__dict__.get("_input"):
            object.__setattr__(copy, "_input", kept)
            object.__setattr__(self, "_input", kept)
        return copy

    def _keep_planes(self, diagram: Diagram, planes: np.ndarray) -> None:
        """Keeps the planes the reader derived for `diagram`, a `_frozen` copy of this one,
        with its input, unless this diagram has changed meanwhile."""
        planes.flags.writeable = False
        kept = diagram._input
        object.__setattr__(diagram, "_input", (kept[0], kept[1], planes))
        if self.__dict__.get("_input") is kept:
            object.__setattr__(self, "_input", diagram._input)

    def _refuse_beyond_program(self, caller: str) -> None:
        """The program's solve and write hold at most 16 surfaces: refused with InputError."""
        if len(self.surfaces) > _core.max_surfaces:
            raise InputError(
                f"phasemap: {caller}: the diagram holds {len(self.surfaces)} surfaces and the "
                f"program at most {_core.max_surfaces}: solve it with solve_exact(), which takes "
                "any number"
            )

    def solve(self) -> Result:
        """The stable regions, computed in memory: no file is read or written.

        Returns
        -------
        Result
            The regions of the diagram as it was when the call began; its ``diagram`` is a
            copy of it then, which later changes of this diagram leave alone.

        Raises
        ------
        InputError
            When the program refuses the input once the regions are sought (too many
            corners, for example), or the diagram holds more than 16 surfaces.
        ComputationError
            For a floating-point fault in the computation.

        Examples
        --------
        >>> result = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt").solve()
        >>> [region.name for region in result.regions][:2]
        ['stoichiometric', 'double O vacancies']
        """
        diagram = self._frozen(text=False)
        diagram._refuse_beyond_program("Diagram.solve()")
        diagram = self._frozen()
        return Result(diagram, *call(_core.solve, diagram._input[1]))

    def solve_exact(self) -> Envelope:
        """The stable regions of this diagram's planes by the exact engine.

        Returns
        -------
        Envelope
            The regions of the planes the reader derives for the surfaces (those of
            `solve().planes` for a diagram the program takes), as `phasemap.envelope` gives
            them (any number of surfaces and corners, no tolerance), with the surfaces' names,
            counts, areas and energies and the axis titles.

        Raises
        ------
        ImportError
            When the package was built without the exact engine (no CGAL).

        Examples
        --------
        >>> diagram = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
        >>> exact = diagram.solve_exact()
        >>> [r.surface for r in exact.regions], exact.never_stable
        ([1, 2, 3, 4, 5, 7], [6])
        """
        diagram = self._frozen(text=False)
        if diagram._input[2] is None:
            diagram = self._frozen()
            self._keep_planes(diagram, call(_core.read, diagram._input[1], True)["planes"])
        planes = diagram._input[2]
        assert planes is not None
        raw_names = [s.name.encode("utf-8", "surrogateescape") for s in diagram.surfaces]
        titles = _core.texts_in_phase_json(
            [t.encode("utf-8", "surrogateescape") for t in (diagram.x_title, diagram.y_title)]
        )
        return _envelope_of(
            planes,
            diagram.window,
            _core.texts_in_phase_json(raw_names),
            (titles[0], titles[1]),
            diagram,
        )

    def _page_input(self) -> bytes:
        """The input text of this diagram's map page alone, for a colour map of regions found
        apart: every entry but the surfaces after the first, which the page does not show
        (so it reads as well for a diagram of more surfaces than the program's table)."""
        page = object.__new__(Diagram)
        page.__dict__.update((k, v) for k, v in self.__dict__.items() if k != "_input")
        object.__setattr__(page, "surfaces", tuple(self.surfaces)[:1])
        return page.to_input().encode("utf-8", "surrogateescape")

    def write(self, folder: PathType = ".", json: bool = False, svg: bool = False) -> None:
        """Writes the program's outputs into a folder, as one set.

        log.out, phase.out and the map (and phase.json with ``json=True``, the map as SVG with
        ``svg=True``, as the program's ``--json`` and ``--svg`` write them) are written into
        `folder` exactly as the program run there would write them, input.txt being this
        diagram (input.txt itself is not written); the folder is made when it is missing.

        Parameters
        ----------
        folder : str, bytes or os.PathLike, optional
            The folder, relative to the current folder when the call begins; a str may
            hold surrogate-escaped bytes (``os.fsdecode``), bytes are taken as they are.
        json : bool, optional
            Whether phase.json is written too.
        svg : bool, optional
            Whether the map is written as SVG too, named after it (``map1.svg``).

        Raises
        ------
        InputError
            The program refused the input or could not write; log.out then ends with its
            message, as the program leaves it, and the earlier outputs are unchanged. A
            diagram of more than 16 surfaces is refused before anything is written.
        OSError
            The folder cannot be made.

        Examples
        --------
        >>> diagram = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
        >>> diagram.write("run1", json=True)
        """
        diagram = self._frozen(text=False)
        diagram._refuse_beyond_program("Diagram.write()")
        diagram = self._frozen()
        path = os.fsencode(folder)
        os.makedirs(path, exist_ok=True)
        # The folder is taken once, now, and the run works relative to it: what the current
        # folder is while the call waits for its turn, or becomes meanwhile, plays no part.
        descriptor = os.open(path, os.O_PATH | os.O_DIRECTORY | os.O_CLOEXEC)
        try:
            # The optional outputs asked for, by the names of their choices (_core.output_choices).
            choices = [name for name, asked in (("json", json), ("svg", svg)) if asked]
            call(_core.run_in, descriptor, diagram._input[1], choices)
        finally:
            os.close(descriptor)


_FIELD_NAMES = tuple(field.name for field in dataclasses.fields(Diagram))


def _diagram_from_state(state: dict[str, Any]) -> Diagram:
    """The Diagram of what the reader stored (`_core.read`), without reading it again; its
    planes are kept with it."""
    names, counts, areas, energies = state["surfaces"]
    surfaces = tuple(
        read_surface(text(n), tuple(c), a, e)
        for n, c, a, e in zip(names, counts.tolist(), areas.tolist(), energies.tolist())
    )
    _trusted.on = True
    try:
        diagram = Diagram(
            bulk=(
                Bulk(state["bulk"][:2], state["bulk"][2], state["bulk"][3])
                if state["bulk"][3] != 0
                else None
            ),
            surfaces=surfaces,
            window=state["window"],
            x_title=text(state["x_title"]),
            y_title=text(state["y_title"]),
            map_name=text(state["map_name"]),
            labels=[Label(x, y, s, text(t)) for x, y, s, t in state["labels"]],
            x_guides=state["x_guides"],
            y_guides=state["y_guides"],
            lines=state["equi"],
            boxed_lines=state["equ2"],
            scales=state["scales"],
            shift=state["shift"],
        )
    finally:
        _trusted.on = False
    planes = state["planes"]
    planes.flags.writeable = False
    object.__setattr__(diagram, "_input", (diagram._values(), None, planes))
    return diagram


def read_input(path_or_text: PathType, limits: bool = True) -> Diagram:
    """A Diagram from an input.txt file or its text.

    Parameters
    ----------
    path_or_text : str, bytes or os.PathLike
        The text of input.txt (a str holding a line end), or the path of a file.
    limits : bool, optional
        True (the default) reads the input as the program does, which holds at most 16
        surfaces and refuses a ``surf`` entry of more. False reads any number of surfaces,
        for `Diagram.solve_exact`; everything else is read, checked and warned about as
        always (the other entries keep the program's sizes), and the program's `solve` and
        `write` of a Diagram of more than 16 surfaces refuse it.

    Returns
    -------
    Diagram
        What the program's reader stores for the input, every surface with the plane it
        derives; it keeps the bytes it was read from.

    Raises
    ------
    InputError
        When the program's reader refuses the input.
    OSError
        When the file cannot be read.

    Examples
    --------
    >>> diagram = phasemap.read_input("examples/oxide-in-oxygen-and-water/input.txt")
    >>> len(diagram.surfaces)
    7
    >>> many = "bulk\\n1 2\\n-16.5 2\\nbound\\n-2 0 -1.5 0\\nsurf 20\\n" + "".join(
    ...     f"s{i} 8 16 {i % 3} 20.5 {-140.2 - i / 10}\\n" for i in range(20)) + "stop\\n"
    >>> exact = phasemap.read_input(many, limits=False).solve_exact()
    >>> len(exact.names), [r.name for r in exact.regions]
    (20, ['s18', 's19'])
    """
    if isinstance(path_or_text, str) and "\n" in path_or_text:
        data = path_or_text.encode("utf-8", "surrogateescape")
    else:
        with open(path_or_text, "rb") as file:
            data = file.read()
    diagram = _diagram_from_state(call(_core.read, data, not limits))
    object.__setattr__(diagram, "_input", (diagram._values(), data, diagram._input[2]))
    return diagram
