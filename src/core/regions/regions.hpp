// Stability regions: finds every corner of the lower envelope of the surface planes inside
// the window (every plane triple, traced in log.out), attaches each corner to its planes,
// then orders each surface's corners by angle and writes the phase report.
// Reads the plane table and the window; writes vertices, regions, log.out and phase.out.
// Surface and plane rows are 0-based here; every number written to a file is 1-based.
#pragma once

#include <cstdint>

// Visits every plane triple, keeps each intersection inside the window and on the lower
// envelope as a vertex and appends it to the lists of its three planes. Stops the run when
// a 101st vertex is found.
void search_vertices();

// Writes the count line of every surface with at least 3 corners to log.out and phase.out
// and orders its corners with order_region.
void report_regions();

// Writes the centroid and per-corner lines of surface row `surface` and sorts its corner
// list by descending angle about the centroid (clockwise from the negative x direction).
void order_region(int32_t surface);
