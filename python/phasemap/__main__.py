"""``python3 -m phasemap``: the exact stable regions of an input.txt of any number of surfaces,
written as phase.json and as the colour map.

The program, ``phasemap``, holds at most 16 surfaces. This command reads input.txt with the
program's own reader all the same (every check and warning of the program, every surface
handed to the package), solves it with the package's exact engine (`Diagram.solve_exact`)
and writes, as the program writes its outputs, phase.json (the exact result's document,
``Envelope.to_json``'s, one surface or region a line) and the map in colour
(``Envelope.to_svg``, named after the map as the program's ``--svg`` names it). The core
owns every rule of the files: the input's reading, the names, the temporaries beside them
and the commit as one set. Messages are the program's lines on standard error.
"""

from __future__ import annotations

import json
import os
import signal
import sys
from types import FrameType
from typing import Any, Sequence

from . import _core
from ._diagram import _diagram_from_state
from ._envelope import Envelope

USAGE = """\
usage: python3 -m phasemap [--json] [--svg] [FOLDER...]

Reads input.txt with the program's reader, any number of surfaces (phasemap itself holds
at most 16), finds the stable regions exactly and writes phase.json (the surfaces and
stable regions as data) and the map in colour as SVG (map1.svg, or named after the map
that input.txt names), which replace the earlier ones all together, and only when both are
complete; nothing else is written. Without a FOLDER it runs in the current folder; with
folders it runs in each of them in turn. Likely slips in input.txt are told as warnings on
standard error.

      --json     write phase.json (without --svg: phase.json alone)
      --svg      write the SVG map (without --json: the SVG map alone)
  -h, --help     show this help and exit
      --version  show the version and exit
      --         end of options: every argument after it is a folder

Without --json or --svg both are written. Exit status: 0 when every folder is done; 1 when
one failed (its one-line message is on standard error, its earlier files are unchanged); 2
for a usage error; 128 + N when interrupted by signal N.
"""

# The outputs this command writes, by the names of the program's choices, in its order.
CHOICES = ("json", "svg")
# The signals that end the command, which then says so; SIGINT comes as KeyboardInterrupt.
_ENDING = {signal.SIGTERM: "SIGTERM", signal.SIGHUP: "SIGHUP"}


class _Ended(BaseException):
    """A signal that ends the command (SIGTERM, SIGHUP) arrived."""

    def __init__(self, number: int) -> None:
        super().__init__(number)
        self.number = number


def _say(line: bytes, prefix: bytes = b"") -> None:
    """One line on standard error; a closed standard error loses it and stops nothing."""
    try:
        os.write(2, prefix + line + b"\n")
    except OSError:
        pass


def _text(line: str) -> bytes:
    return line.encode("utf-8", "surrogateescape")


def _phase_json(exact: Envelope) -> str:
    """The exact result's document as phase.json holds it: a key a line, and each surface
    and region on one line of its own."""
    document = exact.as_dict()
    encode = json.JSONEncoder(ensure_ascii=False).encode
    lines = ["{"]
    for key in list(document):
        value = document.pop(key)  # each part goes once it is text: a document's size at most
        comma = "," if document else ""
        if isinstance(value, list) and value:
            lines.append(f"  {encode(key)}: [")
            last = len(value) - 1
            lines += [
                f"    {encode(item)}{',' if i < last else ''}" for i, item in enumerate(value)
            ]
            lines.append(f"  ]{comma}")
        else:
            lines.append(f"  {encode(key)}: {encode(value)}{comma}")
    lines.append("}")
    return "\n".join(lines) + "\n"


def _outputs(exact: Envelope, choices: Sequence[str]) -> list[tuple[str, str]]:
    """The text of every output asked for, by its choice."""
    made = {
        "json": lambda: _phase_json(exact),
        "svg": lambda: exact.to_svg().replace("\r\n", "\n"),  # type: ignore[attr-defined]
    }
    return [(choice, made[choice]()) for choice in choices]


def _messages(lines: Sequence[tuple[bool, str]], prefix: bytes) -> None:
    for _, line in lines:
        _say(_text(line), prefix)


def run_in(folder: bytes, choices: Sequence[str], prefix: bytes = b"") -> bool:
    """Reads input.txt of `folder`, solves it exactly and writes the outputs `choices` asks
    for as one set; False, after its message, when that failed."""
    try:
        descriptor = os.open(folder, os.O_PATH | os.O_DIRECTORY | os.O_CLOEXEC)
    except OSError as error:
        _say(_text(f"phasemap: cannot open the folder: {error.strerror}"), prefix)
        return False
    try:
        state, messages = _core.read_in(descriptor, choices)
        _messages(messages, prefix)
        exact = _diagram_from_state(state).solve_exact()
        _, messages = _core.write_in(descriptor, state["map_name"], _outputs(exact, choices))
        _messages(messages, prefix)
        return True
    except (_core.Stopped, _core.Fault) as stop:
        _messages(stop.args[-1], prefix)
        _say(_text(stop.args[0]), prefix)
    except MemoryError:
        _say(b"phasemap: out of memory", prefix)
    except (ValueError, ImportError) as error:  # the exact engine's refusals; no engine
        _say(_text(f"phasemap: {error}"), prefix)
    finally:
        os.close(descriptor)
    return False


def _refuse_usage(problem: str) -> int:
    _say(b"phasemap: " + _core.escape_control_bytes(_text(problem)))
    _say(b"see python3 -m phasemap --help")
    return 2


def _print(text: str) -> int:
    try:
        sys.stdout.write(text)
        sys.stdout.flush()
        return 0
    except OSError as error:
        _say(_text(f"phasemap: cannot write to standard output: {error.strerror}"))
        return 1


def _end_on(number: int, frame: FrameType | None) -> Any:
    raise _Ended(number)


def main(argv: Sequence[str] | None = None) -> int:
    """The command: ``python3 -m phasemap [--json] [--svg] [FOLDER...]`` (see USAGE).

    Parameters
    ----------
    argv : sequence of str, optional
        The arguments after the command's name; by default ``sys.argv[1:]``.

    Returns
    -------
    int
        The exit status: 0 when every folder is done, 1 when one failed, 2 for a usage error,
        128 + N after signal N.

    Examples
    --------
    >>> from phasemap.__main__ import main
    >>> main(["--version"])  # doctest: +SKIP
    phasemap 1.0.0
    0
    """
    arguments = sys.argv[1:] if argv is None else list(argv)
    asked: set[str] = set()
    folders: list[bytes] = []
    options_ended = False
    for argument in arguments:
        if not options_ended and argument.startswith("-"):
            if argument == "--":
                options_ended = True
            elif argument in ("-h", "--help"):
                return _print(USAGE)
            elif argument == "--version":
                return _print(f"phasemap {_core.version}\n")
            elif argument[2:] in CHOICES and argument.startswith("--"):
                asked.add(argument[2:])
            else:
                return _refuse_usage(f"unknown option '{argument}'")
            continue
        if not os.path.isdir(argument):
            return _refuse_usage(
                f"'{argument}' is not a folder; give the folders to run in, each holding an "
                "input.txt"
            )
        folders.append(os.fsencode(argument))
    choices = [choice for choice in CHOICES if choice in asked or not asked]
    if "svg" in choices and not hasattr(Envelope, "to_svg"):
        _say(b"phasemap: this version of the package cannot write the SVG map; give --json")
        return 1
    previous = {number: signal.signal(number, _end_on) for number in _ENDING}
    try:
        return _run_in_folders(folders or [b"."], choices, names_folders=len(folders) > 1)
    except KeyboardInterrupt:
        _say(b"phasemap: interrupted by SIGINT; earlier outputs are unchanged")
        return 128 + signal.SIGINT
    except _Ended as ended:
        name = _ENDING[signal.Signals(ended.number)]
        _say(_text(f"phasemap: interrupted by {name}; earlier outputs are unchanged"))
        return 128 + ended.number
    finally:
        for number, handler in previous.items():
            signal.signal(number, handler)


def _run_in_folders(folders: Sequence[bytes], choices: Sequence[str], names_folders: bool) -> int:
    """Runs in each folder; several get their names before every message and a summary."""
    failed: list[bytes] = []
    for folder in folders:
        shown = _core.escape_control_bytes(folder)
        if not run_in(folder, choices, shown + b": " if names_folders else b""):
            failed.append(shown)
    if names_folders:
        outcome = b"none failed" if not failed else b"%d failed: " % len(failed) + b" ".join(failed)
        _say(b"phasemap: ran %d folders; " % len(folders) + outcome)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
