"""What the tests of threads, signals and forks share: a folder locked as another phasemap run
would lock it, and calls that wait. A waiting call (for another run's lock on its folder, or
for another thread's call) calls the tests' hook each time it looks again; the `waits`
fixture uses it to tell the test when a thread's call waits, and to send Ctrl-C from inside
the main thread's wait, so that the tests synchronise on the calls' own waits, never on
time. It also lets the tests import the golden cases' helper, tests/support/golden_cases.py,
which the module's checks against the program's golden cases walk, and gives the plot tests a
figure and the documentation's examples a folder that sees the repository's examples."""

from __future__ import annotations

import contextlib
import fcntl
import os
import pathlib
import signal
import sys
import threading
from typing import Iterator

import pytest

import phasemap

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tests" / "support"))


@contextlib.contextmanager
def folder_locked(folder: pathlib.Path) -> Iterator[None]:
    """Holds the lock a run takes on its folder, as another phasemap run would."""
    descriptor = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    try:
        fcntl.flock(descriptor, fcntl.LOCK_EX)
        yield
    finally:
        os.close(descriptor)


class Waits:
    """The tests' hook while a test runs: what a waiting call of each thread does."""

    def __init__(self) -> None:
        self.waiting: dict[threading.Thread, threading.Event] = {}
        self.interrupt = False  # send Ctrl-C from the main thread's next wait
        self.interrupted = False
        self.folder_locked = folder_locked

    def hook(self) -> None:
        current = threading.current_thread()
        if current in self.waiting:
            self.waiting[current].set()
        if current is not threading.main_thread() or not self.interrupt:
            return
        # Once Ctrl-C is sent the wait must give way before it looks again.
        assert not self.interrupted, "the call still waits after Ctrl-C"
        self.interrupted = True
        os.kill(os.getpid(), signal.SIGINT)

    def start(self, call, *args) -> tuple[threading.Thread, threading.Event]:
        """A thread that makes the call, and the event set once its call waits."""
        thread = threading.Thread(target=call, args=args)
        self.waiting[thread] = threading.Event()
        thread.start()
        return thread, self.waiting[thread]

    def interrupt_main_thread(self) -> None:
        """Sends Ctrl-C (SIGINT) the next time a call of the main thread waits."""
        self.interrupt, self.interrupted = True, False


@pytest.fixture
def waits() -> Iterator[Waits]:
    state = Waits()
    phasemap._core._set_wait_hook(state.hook)
    yield state
    phasemap._core._set_wait_hook(None)


@pytest.fixture
def figure():
    """A figure of matplotlib's default size, closed after the test."""
    plt = pytest.importorskip("matplotlib.pyplot")
    drawn = plt.figure(figsize=(6.4, 4.8))
    yield drawn
    plt.close(drawn)


@pytest.fixture
def in_a_folder_with_the_examples(tmp_path, monkeypatch):
    """The test works in a fresh folder where examples/ is the repository's."""
    plt = pytest.importorskip("matplotlib.pyplot")
    (tmp_path / "examples").symlink_to(pathlib.Path(__file__).resolve().parents[2] / "examples")
    monkeypatch.chdir(tmp_path)
    yield tmp_path
    plt.close("all")
