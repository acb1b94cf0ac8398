// The driver: one whole run in a folder, phases in their fixed order, and the outputs
// committed as one set.
#pragma once

#include <string>

#include "records/fatal.hpp"

// The outputs a run writes besides log.out, phase.out and the map, all committed with them.
struct extra_outputs {
    bool json;  // phase.json: the regions as data
    bool svg;   // the map as SVG, named after the map
};

// One run in `folder`, an open descriptor of the run's folder (O_PATH will do; the caller
// keeps and closes it): waits for any other run in the folder to finish, reads input.txt,
// writes "Start", searches the vertices, reports the regions, writes the map and moves the
// outputs into place. Every file is opened, created, renamed and locked relative to `folder`
// (a map name such as 'maps/oxide.ps' is resolved beneath it); the process's working folder
// is neither used nor changed. Returns 0 after a complete run, 1 after a fatal error (its
// one-line message has then been printed on standard error and is the last record of
// log.out), or run_given_up. The run state is reset at the start, so a process may run it
// more than once.
int run_phasemap_in(int folder, const extra_outputs& extras = {});

// run_phasemap_in's result when the host's give-up hook ended the wait for the folder's lock:
// nothing was read or written, not even log.out.
constexpr int run_given_up = -1;

// A host that runs phasemap in its own process (the Python module) may let a run that waits
// for another run's lock on its folder give up: while the run waits, `give_up` is asked
// every few milliseconds (with nothing else of the run going on), and when it returns true
// the run ends at once with run_given_up. nullptr, the default, waits as long as it takes. The
// hook stays set for every later run until it is set again.
void set_lock_wait_hook(bool (*give_up)());

// run_phasemap_in the process's working folder, opened once when the run starts.
int run_phasemap(const extra_outputs& extras = {});

// Opens /dev/null on any of the standard streams that is closed, so that a file opened later
// never takes its number and catches messages meant for it. Every run does this first; a
// caller that opens descriptors before the run (the folders of the command line) does it
// before them.
void keep_standard_streams_open();

// What stopped the last run that failed (an empty message after a complete one), for a
// caller that runs phasemap in its own process.
const run_stopped& last_run_stop();

// For a caller in its own process (the Python module): the run state computed from the input
// text `text` as unit 1, with every output unit discarded, so no file is read or written and
// no folder is looked at: the map's name gets only the checks that need none (the process's
// working folder plays no part). `stop_after_reading` ends it once the input is read;
// otherwise the vertices are searched and the regions reported and ordered. Throws
// run_stopped as a run would fail.
void compute_from_text(const std::string& text, bool stop_after_reading);

// For a host that may fork while one of its threads is inside a run or a computation: in the
// child, forgets that run without touching its files (which are the parent's) and puts the
// signal handlers back, so that the child can run afresh at once.
void forget_run_after_fork();
