// whole runs inside the Python process. Every call is serialized by one lock (the core keeps
// one run state) and changes nothing that another thread could see:
// - the core runs as a hosted library (run_inside_host): it installs no signal handler and
//   changes no signal's handling, and it traps nothing: it computes with the floating-point
//   exceptions masked and stops with the program's report when it finds a fault's flag
//   raised at the end of a phase; the call then raises the report;
// - it computes in the floating-point environment the program starts with (round to
//   nearest, no flush to zero, exceptions masked) on the calling thread, and puts the
//   caller's environment, flags included, back after;
// - the lines the core would write on standard error (warnings, notes) are collected for
//   the call and returned to Python, which issues them through `warnings`;
// - a child forked while another thread is inside a call starts with the lock free and
//   that call forgotten (its files are the parent's), so it can call at once.
// Waiting for the lock (another thread's call), or for another run's lock on a folder,
// gives way to a Python signal handler that raises, such as Ctrl-C's KeyboardInterrupt.
// A whole run works relative to a folder descriptor, and a call that writes nothing looks
// at no folder: no call depends on or changes the process's folder.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <string>
#include <vector>

#include "phasemap.hpp"

// How a call ended, and the lines the core wrote meanwhile.
struct call_outcome {
    enum class ending { complete, stopped, fault };
    ending end = ending::complete;
    run_stopped stop;  // what stopped it; for a fault, its report
    std::vector<message_line> messages;
};

// Sets the calls up when the module is imported: the core as a hosted library whose waits for
// a folder's lock give way to Python's signal handlers, the lock reset in a forked child, and
// the module's exceptions Stopped (a ValueError) and Fault (an ArithmeticError) on `m`.
void prepare_calls(pybind11::module_& m);

// For the tests: `hook` (None: none) is called, with the interpreter's lock, each time a call
// that waits for its turn looks again, after the pending signal handlers have run; an
// exception it raises ends the wait.
void set_wait_hook(const pybind11::object& hook);

// Runs `work` under the module lock without the interpreter's lock, in the program's
// floating-point environment, with the core's messages collected; raises the Python error
// of a signal handler that raised while it waited for its turn.
call_outcome locked_call(const std::function<void()>& work);

// A text of the core as Python shows it: UTF-8, any other byte as \xNN.
pybind11::str shown(const std::string& text);

// The lines of a call as [(is_warning, text)], less the one that repeats what stopped it.
pybind11::list message_list(const call_outcome& outcome);

// (value, messages) for a complete call; otherwise raises Stopped with the arguments
// (message, unit, line, messages), or Fault with (report, messages).
pybind11::tuple finished(const call_outcome& outcome, pybind11::object value);
