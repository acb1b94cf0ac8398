// The map: one Encapsulated PostScript page written to unit 3 from the run state, with the
// regions filled in grey, the framed and ticked window, optional pressure scales, guide and
// equilibrium lines and marked-up labels. Page coordinates are PostScript points; the
// window's lower left corner sits at (110, 110) before the translation that centres it.
#pragma once

#include "../modules.hpp"

// Writes the whole map document (and the map trace in log.out).
void write_map();

// Data x (or y) to page x (or y): plot_left + the product (x - x_min) * page_scale formed in
// double and truncated toward zero. Valid once write_map has computed the page geometry.
float page_x(float x);
float page_y(float y);

// Writes one point record: page_x(x), page_y(y), "  " and the first character of `op`
// ("M" to start a path piece, "L" to draw to it).
void put_point(float x, float y, const char* op);

// Writes a 40-character text at page position (x, y) with font size `size`, honouring the
// ^{...} superscript and _{...} subscript markup.
void write_label(float x, float y, float size, const text40& text);
