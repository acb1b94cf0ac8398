// The records of the page model: what both maps show, in page points (1/72 inch) with y up,
// before the translation that centres the drawing. lay_out_page (page/page.hpp) fills them
// once per run; the run state holds them, so they are plain fixed-size records.
#pragma once

#include <cstdint>

// A position on the page.
struct page_point {
    float x;
    float y;
};

struct page_layout {
    float plot_right;        // right limit of the plot area
    float plot_top;          // upper limit of the plot area
    float page_scale;        // page points per data unit, both axes
    page_point translation;  // moves the origin so that the drawing is centred
};
