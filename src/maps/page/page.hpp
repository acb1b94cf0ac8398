// The page model of the maps. Page coordinates are PostScript points on the page (US Letter,
// page_width x page_height), y up, before the translation that centres the drawing; data
// coordinates are the window's. lay_out_page works out once per run what the maps show, into
// run.page; the EPS writer (maps/printps/) and the SVG writer (maps/printsvg/) only turn those
// records into their own syntax.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/fixed_text.hpp"
#include "core/modules.hpp"
#include "core/ticks.hpp"

// Works out the page model (run.page) from the run state: after the regions are reported,
// before either map is written. The program's maps say mu before each axis title; the
// Python module's colour maps may say another symbol.
void lay_out_page(title_symbol symbol = title_symbol::mu);

// Data x (or y) to page x (or y): the left (bottom) edge of the plot area plus the product
// (x - x_min) * page_scale formed in double and truncated toward zero. Valid once the page is
// laid out.
float page_x(float x);
float page_y(float y);

constexpr float page_width = 612.0f;
constexpr float page_height = 792.0f;

// Font size of the tick numbers and of each title's mu.
constexpr float text_size = 30.0f;

// ---------------------------------------------------------------------------------------
// Regions

// Their colours on the SVG map: region_palette and choose_region_colours
// (maps/page/styles.hpp).

// Regions a caller keeps (region_list, maps/page/styles.hpp) as filled regions of the laid-out
// page: into `corners` the page points of their corners, region by region, and into `regions`
// each with its surface, its corners and its colour by the one rule, neighbours being regions
// that share two corners (find_neighbour_pairs).
void lay_out_given_regions(const region_list& given, std::vector<page_region>& regions,
                           std::vector<page_point>& corners);

// The corners of a filled region of the page model, in the order of its region list.
inline int32_t corner_count(const page_region& region) { return region.corner_count; }
inline page_point region_corner(const page_region& region, int32_t p) {
    return run.page.region_corners[region.first_corner + p];
}

// ---------------------------------------------------------------------------------------
// Lines: their dash patterns, dash_patterns (maps/page/styles.hpp)

// ---------------------------------------------------------------------------------------
// Ticks of the frame, walked where they are drawn (an axis may have a thousand)

// A tick of the frame: a stroke into the window from each of the axis's two edges.
struct tick_pair {
    page_point near_from, near_to, far_from, far_to;
};

// A major tick: its strokes, its number k and the page point where the number starts.
struct major_tick {
    tick_pair strokes;
    int32_t number;
    page_point number_start;
};

// The number k of a major tick as both maps show it: right-justified in four characters, or
// as long as it is ("  12", "-123", "12345").
std::string tick_number_text(int32_t k);

// The walk over the major ticks of a frame axis, stepped with step_tick_walk (core/ticks.hpp),
// and the major tick it stands at.
tick_walk start_major_ticks(const frame_axis& axis);
major_tick major_tick_of(const frame_axis& axis, const tick_walk& walk);

// Minor ticks: five per unit plus one over the span of the major ticks (as single-precision
// values), from the first major tick on; the running value u steps in single precision, so
// it drifts as stored values do.
struct minor_tick_walk {
    float u;
    int32_t left;  // ticks left, the current one included
};
minor_tick_walk start_minor_ticks(const frame_axis& axis);
void step_minor_ticks(minor_tick_walk& walk);
tick_pair minor_tick_of(const frame_axis& axis, const minor_tick_walk& walk);

// ---------------------------------------------------------------------------------------
// Ticks of a pressure-scale axis, walked where they are drawn

// The tick indices of the axis (which has ticks), and the walk over them, stepped with
// step_tick_walk (core/ticks.hpp).
tick_range scale_tick_range(const scale_axis_place& place);
tick_walk start_scale_ticks(const scale_axis_place& place);

// A tick of a scale axis: its stroke from inside the axis line to the line, and its label
// 10^{e}, whose exponent e has `exponent_width` characters.
struct scale_tick {
    page_point from;
    page_point to;
    page_text label;
    int32_t exponent_width;
};
scale_tick scale_tick_of(const scale_axis_place& place, const tick_walk& walk);

// ---------------------------------------------------------------------------------------
// Labels: a text with ^{superscript}, _{subscript} and stacked ^{..}_{..} markup, set in
// segments raised or lowered from its baseline (the markup's scan, scan_label, and its levels
// are in maps/page/styles.hpp)

// `text` at `start` in a font of `size` points, set in its segments. The first is on the
// baseline in the full size; every later one is set at the size one size step smaller a
// level away from the baseline (truncated to whole points) and raised or dropped in
// proportion to its level and the text's size; the members of a stacked pair are set as a
// first superscript and a first subscript, and stacked members alternate first and second.
page_text place_text(page_point start, float size, const text40& text);

// The characters of segment j of `text`, blank-padded.
text40 segment_text(const page_text& text, int32_t j);

// ---------------------------------------------------------------------------------------
// What the drawing covers (maps/page/extents.cpp), for the SVG map, which sets its texts in
// Times-Roman (a metric twin of it) with any serif font's characters beyond ASCII

// The width of a UTF-8 text in 1/1000 em by the Times-Roman advance widths of ASCII, each
// other character counted 500: the SVG map moves the second member of a stacked pair back
// by the first's.
double text_width(std::string_view text);

// A rectangle of the page, y up: left <= right, bottom <= top.
struct page_box {
    float left;
    float bottom;
    float right;
    float top;
};

// Room left around the drawing when a map is cut to it, in points.
constexpr float drawing_margin = 8.0f;

// The part of the page the drawing covers: every stroke, region and text of the laid-out
// page model (the frame, its ticks and numbers, the titles and their symbols, the pressure
// scales with their numbers and captions, the lines and the labels; the regions lie inside
// the frame), after the translation, widened by drawing_margin on every side, cut to the
// page and rounded out to whole points. A text's extent is bounded from its font sizes: at
// most 0.95 of its size above each baseline and 0.3 below (accented capitals, descenders),
// as wide as its Times-Roman advance widths or an em for any other character.
page_box drawing_box();
