// Stability regions: finds every corner of the lower envelope of the surface planes inside
// the window (every plane triple, traced in log.out), attaches each corner to its planes,
// then orders each surface's corners by angle and writes the phase report.
// Reads the plane table and the window; writes vertices, regions, log.out and phase.out.
#pragma once

#include <cstdint>

void search_vertices();
void report_regions();
