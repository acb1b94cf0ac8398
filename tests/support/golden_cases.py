"""The golden cases: the one place that knows what a case is and how it runs.

A case is a folder tests/golden/<name>/ that holds

- input.txt, the input of the run;
- options, when the run takes command-line options: one line, such as ``--json --svg``;
- every file the run must leave beside input.txt, compared byte for byte: log.out, phase.out,
  the map, and as the options ask phase.json and the SVG map; a map that the input names
  in a subfolder (``'maps/m.ps'``) stands in that subfolder of the case, and the run's
  folder gets the case's subfolders, empty, before the run;
- status, when the run must fail: its exit status;
- stderr.txt, when the run writes on standard error (an error, warnings): all it writes;
- notes.md: what the case shows and what was checked by hand.

The program's check (tests/golden_test.py), the checks of phase.json and the SVG map
(tests/extra_outputs_test.py) and the Python module's (python/tests) all take the cases from
`cases()`, which fails on a missing or empty folder rather than giving nothing to check.
"""

from __future__ import annotations

import dataclasses
import os
import pathlib
import subprocess
from typing import Sequence

SOURCE = pathlib.Path(__file__).resolve().parents[2]
GOLDEN = SOURCE / "tests" / "golden"
EXAMPLES = SOURCE / "examples"
BINARY = os.path.abspath(os.environ.get("PHASEMAP_BINARY", SOURCE / "build" / "phasemap"))
# The files of a case that are not outputs of its run.
CASE_FILES = frozenset({"input.txt", "options", "status", "stderr.txt", "notes.md"})


def files_in(folder: pathlib.Path, leave_out: frozenset[str] = frozenset()) -> dict[str, bytes]:
    """Every file under `folder` by its path relative to it ("maps/m.ps"), with its bytes;
    those named in `leave_out` (at the top of the folder) left out."""
    return {
        path.relative_to(folder).as_posix(): path.read_bytes()
        for path in sorted(folder.rglob("*"))
        if path.is_file() and path.relative_to(folder).as_posix() not in leave_out
    }


@dataclasses.dataclass(frozen=True)
class Outcome:
    """What a run of the program did: its exit status (128 + N after signal N), what it
    wrote on standard output and standard error, and every file it left but input.txt."""

    status: int
    stdout: bytes
    stderr: bytes
    files: dict[str, bytes]


def run_program(folder: pathlib.Path, options: Sequence[str] = ()) -> Outcome:
    """Runs the program (PHASEMAP_BINARY, else build/phasemap) in `folder`, which holds its
    input.txt; a run that hangs fails after a minute."""
    done = subprocess.run(
        [BINARY, *options], cwd=folder, stdin=subprocess.DEVNULL, capture_output=True, timeout=60
    )
    status = done.returncode if done.returncode >= 0 else 128 - done.returncode
    return Outcome(status, done.stdout, done.stderr, files_in(folder, frozenset({"input.txt"})))


@dataclasses.dataclass(frozen=True)
class Case:
    """One golden case. Its files are read when asked for, so that they are the current
    ones after `update`."""

    name: str
    folder: pathlib.Path

    def __str__(self) -> str:
        return self.name

    @property
    def input(self) -> pathlib.Path:
        return self.folder / "input.txt"

    @property
    def options(self) -> list[str]:
        path = self.folder / "options"
        return path.read_text(encoding="utf-8").split() if path.exists() else []

    @property
    def status(self) -> int:
        path = self.folder / "status"
        return int(path.read_text(encoding="utf-8")) if path.exists() else 0

    @property
    def stderr(self) -> bytes:
        path = self.folder / "stderr.txt"
        return path.read_bytes() if path.exists() else b""

    @property
    def messages(self) -> list[str]:
        """The lines the run writes on standard error."""
        return self.stderr.decode("utf-8").splitlines()

    @property
    def outputs(self) -> dict[str, bytes]:
        """Every file the run must leave beside input.txt, by its path in the folder."""
        return files_in(self.folder, CASE_FILES)

    def make_subfolders(self, folder: pathlib.Path) -> None:
        """Makes `folder` and in it, empty, every subfolder of the case."""
        folder.mkdir(parents=True, exist_ok=True)
        for path in sorted(self.folder.rglob("*")):
            if path.is_dir():
                (folder / path.relative_to(self.folder)).mkdir(parents=True, exist_ok=True)

    def run(self, folder: pathlib.Path, options: Sequence[str] | None = None) -> Outcome:
        """Runs the program on the case in `folder`, made for it, with the case's options
        unless others are given."""
        self.make_subfolders(folder)
        (folder / "input.txt").write_bytes(self.input.read_bytes())
        return run_program(folder, self.options if options is None else options)

    def update(self, outcome: Outcome) -> None:
        """Makes the outcome of a run with the case's options its expected files
        (PHASEMAP_UPDATE_GOLDEN=1); read the diff line by line before committing it."""
        for name in self.outputs:
            (self.folder / name).unlink()
        for name, content in outcome.files.items():
            (self.folder / name).parent.mkdir(parents=True, exist_ok=True)
            (self.folder / name).write_bytes(content)
        for name, content in (("status", b"%d\n" % outcome.status), ("stderr.txt", outcome.stderr)):
            path = self.folder / name
            path.unlink(missing_ok=True)
            if content not in (b"0\n", b""):
                path.write_bytes(content)


def cases(root: pathlib.Path = GOLDEN) -> list[Case]:
    """Every case, by name; a missing or empty folder, or a case without input.txt, is an
    error, so that no check passes with nothing to check."""
    if not root.is_dir():
        raise FileNotFoundError(f"the golden cases' folder {root} is missing")
    found = [Case(path.name, path) for path in sorted(root.iterdir()) if path.is_dir()]
    if not found:
        raise FileNotFoundError(f"{root} holds no golden case")
    lacking = [case.name for case in found if not case.input.is_file()]
    if lacking:
        raise FileNotFoundError(f"golden cases without input.txt: {', '.join(lacking)}")
    return found


def examples() -> list[str]:
    """The names of the examples written as input.txt for the program
    (examples/<name>/input.txt); the studies (a folder with study.py) are the module's, and
    so is the input.txt beside one, which is the study's diagram and may hold more surfaces
    than the program does (for python3 -m phasemap)."""
    names = sorted(
        path.parent.name
        for path in EXAMPLES.glob("*/input.txt")
        if not (path.parent / "study.py").exists()
    )
    if not names:
        raise FileNotFoundError(f"{EXAMPLES} holds no example input")
    return names


def assert_same_files(expected: dict[str, bytes], produced: dict[str, bytes]) -> None:
    """Fails naming every file missing, not expected or different (with the first line that
    differs) unless both hold the same files with the same bytes."""
    found = [f"{name}: missing" for name in expected if name not in produced]
    found += [f"{name}: not expected" for name in produced if name not in expected]
    for name in sorted(expected.keys() & produced.keys()):
        want, got = expected[name].split(b"\n"), produced[name].split(b"\n")
        if want != got:
            at = next(
                i for i, pair in enumerate(zip(want + [None], got + [None])) if pair[0] != pair[1]
            )
            shown = [lines[at] if at < len(lines) else "end of file" for lines in (want, got)]
            found.append(f"{name}: line {at + 1} is {shown[1]!r}, expected {shown[0]!r}")
    if found:
        raise AssertionError("\n".join(found))
