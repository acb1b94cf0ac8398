// The records of the page model: what both maps show, in page points (1/72 inch) with y up,
// before the translation that centres the drawing. lay_out_page (maps/page/page.hpp) fills them
// once per run; the run state holds them (core/modules.hpp includes this header after its
// capacities), so they are plain fixed-size records, and tick sequences are walked instead.
#pragma once

#include <cstdint>

#include "core/fixed_text.hpp"
#include "maps/page/styles.hpp"  // the label markup: segments and their levels

// A position on the page.
struct page_point {
    float x;
    float y;
};

// The direction of an axis: its ticks stand at successive page x (x) or page y (y).
enum class direction : int32_t { x, y };

// A segment's part in a stacked pair: the first member is set, then the second starts where
// the first began.
enum class pair_role : int32_t { none, first, second };

// One segment of a text as it is set: characters from..to of the text (0-based, its markup
// left out), its level (0 baseline, +n superscript and -n subscript of depth n, +9/-9 a
// member of a stacked pair), its font size, its rise above the text's baseline (negative:
// below) and its part in a stacked pair.
struct label_segment {
    int32_t from;
    int32_t to;
    int32_t level;
    float size;
    float rise;
    pair_role role;
};

// A text on the page: where its baseline starts, its font size, its 40 characters with their
// ^{...}, _{...} markup, and the segments that markup sets it in (the first on the baseline
// at the full size).
struct page_text {
    page_point start;
    float size;
    text40 text;
    int32_t segment_count;
    label_segment segments[max_segments];
};

// One axis of the frame: its window bounds and tick shift (data), the two frame edges its
// ticks stand on (bottom and top for x, left and right for y) and where a tick number starts
// from the tick's foot on the near edge.
struct frame_axis {
    direction along;
    float low;
    float high;
    float shift;
    float near_edge;  // page coordinate of the bottom or left edge
    float far_edge;   // page coordinate of the top or right edge
    float number_dx;
    float number_dy;
};

// What stands before each axis title: the map's mu (the Symbol font's m); for the colour maps
// of the Python module, also a Delta mu (a study's chemical potentials relative to their
// references) or nothing (the titles of planes over any two variables).
enum class title_symbol : int32_t { mu, delta_mu, none };

// The axis titles, each after its symbol, a mu that stands at a whole page coordinate along
// its axis, the window's middle (a Delta ends where the mu starts).
struct axis_titles {
    title_symbol symbol;
    page_point x_mu;
    page_point y_mu;
    page_text x_title;
    page_text y_title;
};

// One axis of a drawn pressure-scale set: the top axis, whose ticks run along x, or the right
// axis, whose ticks run along y; a zero step leaves it without ticks.
struct scale_axis_place {
    int32_t set;  // 0 for temp1, 1 for temp2
    direction along;
    bool has_ticks;
    float step;         // decades of pressure from one tick to the next
    float axis_at;      // page coordinate of the axis line, across the ticks
    float label_at;     // page coordinate where the tick labels start, across the ticks
    float label_shift;  // start of a tick label from its tick, along the axis
};

// A drawn pressure-scale set: a right and a top axis line outside the frame, the caption
// "T K" where the two meet, and the ticks of each axis.
struct scale_set_layout {
    bool in_grey;  // drawn in 50 % grey (the second set) rather than black
    page_point right_from;
    page_point right_to;
    page_point top_from;
    page_point top_to;
    page_text caption;
    scale_axis_place top;
    scale_axis_place right;
};

// A guide or equilibrium line, cut to its window or box: its two ends and its dash pattern
// (an index into dash_patterns, maps/page/page.hpp).
struct page_line {
    page_point from;
    page_point to;
    int32_t dash;
};
constexpr int32_t max_page_lines = 4 * max_table_entries;  // xbound, ybound, equi, equ2 lines

// A filled region: its surface (1-based), its fill index (grey `fill` on the EPS map, from
// white down by 0.05 a step), its colour (an index into region_palette, maps/page/page.hpp)
// and its corners, those of the surface's region list in order: corner_count page points
// from first_corner on in a list of corners (the page model's region_corners, or a caller's).
struct page_region {
    int32_t surface;
    int32_t fill;
    int32_t colour;
    int32_t first_corner;
    int32_t corner_count;
};
// Corners of all the filled regions, one list after the other: a region's list of corners
// holds at most max_vertices entries.
constexpr int32_t max_region_corners = max_plane_surfaces * max_vertices;

struct page_layout {
    float plot_right;        // right limit of the plot area
    float plot_top;          // upper limit of the plot area
    float page_scale;        // page points per data unit, both axes
    page_point translation;  // moves the origin so that the drawing is centred

    int32_t region_count;
    page_region regions[max_surfaces];
    page_point region_corners[max_region_corners];  // each region's corners, region by region

    page_point frame[4];  // the window's corners: lower left, lower right, upper right, upper left
    frame_axis x_axis;
    frame_axis y_axis;
    axis_titles titles;

    int32_t scale_set_count;  // 0, 1 (temp1) or 2 (temp1 and temp2)
    scale_set_layout scale_sets[max_scale_sets];

    int32_t line_count;
    page_line lines[max_page_lines];  // in drawing order: xbound, ybound, equi, equ2

    int32_t label_count;
    page_text labels[max_table_entries];  // the free labels, drawn over every line
};
