// The map in colour: the page of the map as a standalone SVG 1.1 document written to unit_svg
// (the SVG map's row of the run's table of outputs), with the same page coordinates, frame,
// ticks, titles, lines and labels as the map, and each region one polygon filled by its
// surface number.
#pragma once

// Writes the SVG map from the page model, which must be laid out (lay_out_page), to its unit,
// which must be open.
void write_svg_map();
