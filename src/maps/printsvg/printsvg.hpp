// The map in colour: the page of the map as a standalone SVG 1.1 document written to unit_svg
// under run.svg_file_name, with the same page coordinates, frame, ticks, titles, lines and
// labels as the map, and each region one polygon filled by its surface number.
#pragma once

// Writes the SVG map from the page model, which must be laid out (lay_out_page).
void write_svg_map();
