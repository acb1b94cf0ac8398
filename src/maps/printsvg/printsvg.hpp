// The map in colour: the page of the map as a standalone SVG 1.1 document written to unit_svg
// (the SVG map's row of the run's table of outputs), with the same page coordinates, frame,
// ticks, titles, lines and labels as the map, and each region one polygon filled by its
// colour; its view is the part of the page the drawing covers (drawing_box). The regions come
// from the run's page model, or from a caller that has regions of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "maps/page/page.hpp"

// The regions an SVG map fills, wherever they are kept: `count` regions, region i being
// regions[i] (its surface, its colour and where its corners stand in `corners`) with the name
// names[i] (UTF-8, as the run stores it: data-name shows it).
struct svg_regions {
    int32_t count;
    const page_region* regions;
    const page_point* corners;
    const std::string_view* names;
};

// The SVG document of the laid-out page model (lay_out_page) filled with `regions`, its lines
// ended by "\n".
std::string svg_map_text(const svg_regions& regions);

// The SVG document of the run's laid-out page model with its own regions, lines ended by "\n".
std::string run_svg_map();

// Writes the SVG map of the run (run_svg_map) to its unit, which must be open.
void write_svg_map();
