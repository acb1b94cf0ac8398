// The driver: one whole run in the current working directory, phases in their fixed order,
// and the outputs committed as one set.
#pragma once

#include <string>

#include "records/fatal.hpp"

// Waits for any other run in the folder to finish, reads input.txt, writes "Start", searches
// the vertices, reports the regions, writes the map and moves the outputs into place.
// Returns the exit status: 0 after a complete run, 1 after a fatal error (its one-line
// message has then been printed on standard error and is the last record of log.out).
// The run state is reset at the start, so a process may run it more than once.
// The outputs a run writes besides log.out, phase.out and the map, all committed with them.
struct extra_outputs {
    bool json;  // phase.json: the regions as data
    bool svg;   // the map as SVG, named after the map
};
int run_phasemap(const extra_outputs& extras = {});

// What stopped the last run that failed (an empty message after a complete one), for a
// caller that runs phasemap in its own process.
const run_stopped& last_run_stop();

// For a caller in its own process (the Python module): the run state computed from the input
// text `text` as unit 1, with every output unit discarded, so no file is read or written.
// `stop_after_reading` ends it once the input is read; otherwise the vertices are searched
// and the regions reported and ordered. Throws run_stopped as a run would fail.
void compute_from_text(const std::string& text, bool stop_after_reading);

// For a host that may fork while one of its threads is inside a run or a computation: in the
// child, forgets that run without touching its files (which are the parent's) and puts the
// signal handlers back, so that the child can run afresh at once.
void forget_run_after_fork();

// Puts back what a run or a computation had set up when a floating-point fault left it
// through the caller's own SIGFPE handler: the traps and signal handlers, the units, the
// input text and the folder lock.
void abandon_run();
