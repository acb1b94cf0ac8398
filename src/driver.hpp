// The driver: one whole run in the current working directory, phases in their fixed order,
// and the outputs committed as one set.
#pragma once

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
