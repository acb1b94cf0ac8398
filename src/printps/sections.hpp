// Shared by the map writer's sections: the page geometry and start-up values fixed by
// write_map before the first record, and the section procedures it calls in order.
#pragma once

#include <cstdint>

#include "../modules.hpp"

struct map_geometry {
    char dash_patterns[20][6]; // dash arrays, blank-padded: "[]", "[8 4]", "[4 4]", "[2 4]", "[2 2]"...
    float scale_gap_x;         // 50 points between the frame and each secondary axis
    float scale_gap_y;
    float plot_left;           // 110: page x of the window's left edge
    float plot_bottom;         // 110: page y of the window's bottom edge
    float plot_right;
    float plot_top;
    float page_scale;          // page points per data unit, both axes
};

extern map_geometry map;

void fill_regions();            // grey region polygons
void draw_frame_and_axes();     // frame, ticks, tick numbers, axis titles
void draw_secondary_scales();   // pressure scales at one or two temperatures
void draw_guide_lines();        // xbound, ybound, equi and equ2 lines, then the free labels
