"""The module under signals and forks: Ctrl-C ends a wait for another run's lock on a folder,
or for another thread's call, at once and with nothing written; Ctrl-C among writes leaves a
whole set; a child forked while another thread is inside a call can call at once and holds
nothing of that call; a SIGFPE of another thread's code goes to that code's handler, and a
floating-point fault of a call raises ComputationError and keeps the earlier outputs. The
tests synchronise on the calls' own waits (the `waits` fixture), never on time."""

from __future__ import annotations

import fcntl
import os
import pathlib
import signal
import socket
import subprocess
import sys
import threading

import pytest

import phasemap

from helpers import GOLDEN, OUTPUTS
from helpers import WORKED as FIRST

SECOND = GOLDEN / "map-sixteen-greys"
# The package with an extension built for the tests alone, which divides by zero at the run
# point PHASEMAP_FAULT_AT names.
FAULTS = os.environ.get("PHASEMAP_FAULTS_PYTHONPATH")


def outputs(folder: pathlib.Path) -> dict[str, bytes]:
    """Every entry of the folder (temporaries too) with its content."""
    return {p.name: p.read_bytes() for p in sorted(folder.iterdir())}


def expected_outputs(case: pathlib.Path) -> dict[str, bytes]:
    return {name: (case / name).read_bytes() for name in OUTPUTS}


def writer(case: pathlib.Path, folder: pathlib.Path):
    diagram = phasemap.read_input(case / "input.txt")
    return lambda: diagram.write(folder)


def test_ctrl_c_while_write_waits_for_the_folders_lock_writes_nothing(tmp_path, waits):
    writer(FIRST, tmp_path)()
    with waits.folder_locked(tmp_path):
        waits.interrupt_main_thread()
        with pytest.raises(KeyboardInterrupt):
            writer(SECOND, tmp_path)()
    assert outputs(tmp_path) == expected_outputs(FIRST)
    writer(SECOND, tmp_path)()  # the folder is not left locked
    assert outputs(tmp_path) == expected_outputs(SECOND)


def test_ctrl_c_while_a_call_waits_for_another_threads_call(tmp_path, waits):
    diagram = phasemap.read_input(FIRST / "input.txt")
    with waits.folder_locked(tmp_path):
        thread, waiting = waits.start(writer(SECOND, tmp_path))
        waiting.wait()  # the writer holds the module's lock while it waits for the folder's
        waits.interrupt_main_thread()
        with pytest.raises(KeyboardInterrupt):
            diagram.solve()
    thread.join()
    assert outputs(tmp_path) == expected_outputs(SECOND)


def test_ctrl_c_among_writes_leaves_a_whole_set(tmp_path):
    """Wherever the signal lands (in a run, between runs), the run under way ends first."""
    diagrams = [phasemap.read_input(case / "input.txt") for case in (FIRST, SECOND)]
    written = threading.Event()
    interrupter = threading.Thread(
        target=lambda: written.wait() and os.kill(os.getpid(), signal.SIGINT)
    )
    with pytest.raises(KeyboardInterrupt):
        interrupter.start()
        for turn in range(10**9):
            diagrams[turn % 2].write(tmp_path)
            written.set()
    interrupter.join()
    assert outputs(tmp_path) in (expected_outputs(FIRST), expected_outputs(SECOND))
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler


def test_a_child_forked_while_another_thread_is_inside_a_call_calls_at_once(tmp_path, waits):
    busy, childs = tmp_path / "busy", tmp_path / "child"
    busy.mkdir()
    with waits.folder_locked(busy):
        thread, waiting = waits.start(writer(SECOND, busy))
        waiting.wait()  # inside its call, holding the module's lock
        child = os.fork()
        if child == 0:
            signal.alarm(60)  # a guard against a hang, which is the fault itself
            try:
                phasemap.read_input(FIRST / "input.txt").write(childs)
                solved = phasemap.read_input(SECOND / "input.txt").solve()
                os._exit(0 if len(solved.regions) == 16 else 2)
            except BaseException:
                os._exit(1)
        _, status = os.waitpid(child, 0)
        assert os.waitstatus_to_exitcode(status) == 0
        assert outputs(busy) == {}  # the child left the parent's run alone
    thread.join()
    assert outputs(busy) == expected_outputs(SECOND)
    assert outputs(childs) == expected_outputs(FIRST)


def test_a_child_forked_while_a_write_waits_for_the_lock_holds_no_part_of_it(tmp_path, waits):
    """In a drop box the waiting run has bound the folder's name and opened the folder to lock
    it: a child that lives on after the parent's write has ended holds neither."""
    folder = tmp_path / "drop-box"
    folder.mkdir()
    folder.chmod(0o733)
    lives_on, let_go = os.pipe()
    holder = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)  # as another run would hold it
    fcntl.flock(holder, fcntl.LOCK_EX)
    thread, waiting = waits.start(writer(SECOND, folder))
    waiting.wait()
    child = os.fork()
    if child == 0:
        os.close(holder)  # the test's own copy; the call's are the module's to close
        os.close(let_go)
        os.read(lives_on, 1)  # until the parent has looked
        os._exit(0)
    os.close(lives_on)
    os.close(holder)
    thread.join()
    try:
        assert outputs(folder) == expected_outputs(SECOND)
        descriptor = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
        try:
            fcntl.flock(descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
        finally:
            os.close(descriptor)
        info = os.stat(folder)
        with socket.socket(socket.AF_UNIX) as name:
            name.bind(f"\0phasemap-folder-{info.st_dev:x}-{info.st_ino:x}")
    finally:
        os.close(let_go)
        os.waitpid(child, 0)


def test_a_sigfpe_of_another_thread_during_a_call_reaches_that_threads_handler(tmp_path, waits):
    """The module installs no handler of its own: while a call is under way, SIGFPE raised in
    another thread's own code goes to the handler that code set, and the call goes on."""
    caught = []
    previous = signal.signal(signal.SIGFPE, lambda number, frame: caught.append(number))
    try:
        with waits.folder_locked(tmp_path):
            thread, waiting = waits.start(writer(SECOND, tmp_path))
            waiting.wait()  # inside its call
            signal.pthread_kill(threading.get_ident(), signal.SIGFPE)
        thread.join()
    finally:
        # None: a handler set outside Python (a sanitizer's), which Python cannot put back
        signal.signal(signal.SIGFPE, signal.SIG_DFL if previous is None else previous)
    assert caught == [signal.SIGFPE]
    assert outputs(tmp_path) == expected_outputs(SECOND)


FAULT_CALLS = """
import sys, phasemap
diagram = phasemap.read_input(sys.argv[1])
for call in (diagram.solve, lambda: diagram.write(sys.argv[2])):
    try:
        call()
    except phasemap.ComputationError as fault:
        print(fault)
"""


@pytest.mark.skipif(FAULTS is None, reason="the extension that faults is built by CMake's tests")
def test_a_floating_point_fault_raises_computation_error_and_keeps_earlier_outputs(tmp_path):
    writer(FIRST, tmp_path)()
    environment = dict(os.environ, PYTHONPATH=FAULTS, PHASEMAP_FAULT_AT="vertices_found")
    calls = [sys.executable, "-c", FAULT_CALLS, SECOND / "input.txt", tmp_path]
    done = subprocess.run(
        calls, env=environment, cwd=tmp_path, capture_output=True, text=True, check=True
    )
    report = (
        "phasemap: input.txt (unit 1): floating-point division by zero in the computation of "
        "this input"
    )
    assert (done.stdout, done.stderr) == (f"{report}\n" * 2, "")
    after, earlier = outputs(tmp_path), expected_outputs(FIRST)
    assert after.pop("log.out").endswith(f"{report}\r\n".encode())
    assert after == {name: earlier[name] for name in after} and sorted(after) == OUTPUTS[1:]
