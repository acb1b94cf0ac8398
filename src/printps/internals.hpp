// What the map writer's sections share: the fixed page geometry and start-up constants, the
// page geometry worked out from the window, drawing along either axis, the sections in the
// order write_map calls them, the ends of equilibrium lines and the pressure-scale ticks in
// single precision. The label scan has a header of its own, label_scan.hpp. Page coordinates
// are PostScript points, before the translation that centres the drawing. Only the writer,
// its tests and the SVG map (printsvg), which draws the same page, include this header;
// everything else uses printps.hpp.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "modules.hpp"
#include "page/internals.hpp"
#include "page/page.hpp"
#include "ticks.hpp"

// ---------------------------------------------------------------------------------------
// Fixed page geometry, in points (the plot area and its place: page/internals.hpp)

// Dash arrays of the guide lines by their place in their own table, blank-padded to six
// characters: the first four differ, every later line gets "[2 2]".
using dash_table = std::array<std::string_view, max_table_entries>;
constexpr dash_table make_dash_patterns() {
    dash_table patterns{};
    patterns.fill("[2 2] ");
    patterns[0] = "[]    ";
    patterns[1] = "[8 4] ";
    patterns[2] = "[4 4] ";
    patterns[3] = "[2 4] ";
    return patterns;
}
constexpr dash_table dash_patterns = make_dash_patterns();

// Prolog lines that define Times-Roman-Latin1, a copy of Times-Roman in the ISO Latin-1
// encoding, for the accented letters and Latin-1 signs of labels and titles; only a map that
// shows one of its glyphs has them.
inline constexpr std::string_view latin1_font_definition[] = {
    "/Times-Roman findfont dup length dict begin",
    "{1 index /FID ne {def} {pop pop} ifelse} forall",
    "/Encoding ISOLatin1Encoding def currentdict end",
    "/Times-Roman-Latin1 exch definefont pop",
};

// One point record: p.x, p.y, "  " and the first character of `op` ("M" to start a path
// piece, "L" to draw to it).
void write_point(page_point p, const char* op);

// One stroked segment: from.x, from.y, "  M", to.x, to.y, "  L  S".
void write_stroke(page_point from, page_point to);

// One record holding a single PostScript word or line, such as "newpath" or "1 setlinewidth".
void write_text_record(std::string_view text);

// A text of the page through write_label.
void write_page_text(const page_text& text);

// ---------------------------------------------------------------------------------------
// Sections, in the order write_map calls them

void fill_regions();           // grey region polygons (fills.cpp)
void draw_frame_and_axes();    // frame, ticks, tick numbers, axis titles (axes.cpp)
void draw_secondary_scales();  // pressure scales at one or two temperatures (scales.cpp)
void draw_guide_lines();  // xbound, ybound, equi and equ2 lines, then the free labels (guides.cpp)

// ---------------------------------------------------------------------------------------
// Line ends of the equilibrium lines

// The box an equilibrium line is drawn in: the window, or an equ2 line's own limits.
struct line_limits {
    float x_low;
    float x_high;
    float y_low;
    float y_high;
};

struct line_ends {
    float start_x;
    float start_y;
    float end_x;
    float end_y;
};

// Ends of the line a*x + b*y = c from x_low to x_high; an end that lies below y_low or above
// y_high moves along the line to that edge; with b = 0 the line is vertical from y_low to
// y_high. False when the line passes beside the limits (its start right of x_high, its end
// left of x_low, or its start right of its end) or its ends cannot be computed (a = b = 0, a
// horizontal line outside the limits, or an end beyond single precision).
bool find_line_ends(int32_t coef_x, int32_t coef_y, float line_constant, const line_limits& limits,
                    line_ends& ends);

// Whether an xbound or ybound value is drawn: when it lies inside the window from low to high,
// its edges included.
bool is_guide_value_drawn(float value, float low, float high);
