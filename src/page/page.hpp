// The page model of the maps. Page coordinates are PostScript points on a 612 x 792 page,
// y up, before the translation that centres the drawing; data coordinates are the window's.
// lay_out_page works out once per run what the maps show, into run.page; the EPS writer
// (printps/) and the SVG writer (printsvg/) only turn those records into their own syntax.
#pragma once

#include "modules.hpp"

// Works out the page model (run.page) from the run state: after the regions are reported,
// before either map is written.
void lay_out_page();

// Data x (or y) to page x (or y): the left (bottom) edge of the plot area plus the product
// (x - x_min) * page_scale formed in double and truncated toward zero. Valid once the page is
// laid out.
float page_x(float x);
float page_y(float y);
