// Points a run passes, for tests: the phases in their order (a host's computation without
// files passes those of its phases too), each temporary output file as soon as it exists,
// each output moved into place while a complete set is committed, and the moment a run finds
// its folder locked by another run.
// The program's own pass_run_point does nothing; a test executable may define its own, to
// interrupt a run or make it fault at a chosen point.
#pragma once

#include <cstdint>

enum class run_point : int32_t {
    input_read,
    vertices_found,
    regions_reported,
    map_written,
    file_created,  // a temporary output file has just been created
    file_moved,    // one file of the committed set has just been moved onto its name
    lock_busy,     // another run holds the folder's lock: this one starts to wait (once)
};

void pass_run_point(run_point point);
