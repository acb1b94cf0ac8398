// The driver: one whole run in the current working directory, phases in their fixed order.
#pragma once

#include <cstdint>

// Reads input.txt, writes "Start", searches the vertices, reports the regions and writes the
// map. Returns the exit status: 0 after a complete run, 1 after a fatal error (its one-line
// message has then been printed on standard error and is the last record of log.out).
// The run state is reset at the start, so a process may run it more than once.
int run_phasemap();

// Points a run passes, in this order (outputs_moving: while a complete run moves its outputs
// into place, after the first). The program's own pass_run_point does nothing; a test
// executable may define its own, to interrupt a run or make it fault at a chosen point.
enum class run_point : int32_t {
    input_read,
    vertices_found,
    regions_reported,
    map_written,
    outputs_moving
};
void pass_run_point(run_point point);
