// The stable regions as data, for scripts: phase.json, written from the run state once the
// regions are reported and ordered. It holds the window and axis titles as the input gave
// them, every surface with its counts, area, energy and energy plane, and every region that
// phase.out reports with its corners in the order the map draws them, its centroid and its
// area. Numbers are the shortest decimals that read back to the values the run holds; texts
// are JSON strings, with bytes that are no UTF-8 character, control characters but the tab,
// U+FFFE and U+FFFF shown as U+FFFD, as in the SVG map.
#pragma once

#include <string>

#include "core/modules.hpp"

// The area and centroid of a region of `state`, its corners taken in order; a region of no
// area has the mean of its corners as centroid. Worked out in double precision.
struct region_measures {
    double area;
    double centroid_x;
    double centroid_y;
};
region_measures measure_region(const run_state& state, const region_record& region);

// The whole document, lines ended by "\n".
std::string phase_json_text();

// Writes phase_json_text() to phase.json (unit 5), one record a line. (The reader warns about
// names that phase.json cannot show as they are.)
void write_phase_json();
