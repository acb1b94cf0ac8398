// What the files of the page model share and the writers do not need: the fixed page
// geometry, the steps of lay_out_page in the order it takes them, and the arithmetic behind
// them. Only maps/page/ and its tests include this header.
#pragma once

#include <cstdint>

#include "maps/page/page.hpp"

// ---------------------------------------------------------------------------------------
// Fixed page geometry, in points; a name ending in _dx or _dy is an offset (negative: left
// or down)

// The plot area and its place on the page
constexpr float plot_left = 110.0f;        // page x of the window's left edge
constexpr float plot_bottom = 110.0f;      // page y of the window's bottom edge
constexpr float full_plot_right = 484.0f;  // right limit of the plot area without pressure scales
constexpr float full_plot_top = 732.0f;    // upper limit of the plot area without pressure scales
constexpr float scale_gap_x = 50.0f;       // frame to a first right scale axis, and on to a second
constexpr float scale_gap_y = 50.0f;       // the same for the top scale axes
// taken off the translation that centres a narrow drawing
constexpr float centring_margin_x = 18.0f;
constexpr float centring_margin_y = 30.0f;  // taken off the translation that centres a low drawing

// Frame ticks, tick numbers and axis titles
constexpr float major_tick_length = 20.0f;   // major tick, from a frame edge into the window
constexpr float minor_tick_length = 10.0f;   // minor tick, the same
constexpr int32_t minor_ticks_per_unit = 5;  // minor ticks per data unit, one more closing the span
constexpr float minor_tick_step = 0.2f;      // data units from one minor tick to the next
constexpr float x_number_dx = -25.0f;  // an x tick's number, from the tick's foot on the bottom
constexpr float x_number_dy = -30.0f;
constexpr float y_number_dx = -60.0f;  // a y tick's number, from the tick's foot on the left
constexpr float y_number_dy = -5.0f;
constexpr float x_mu_dy = -50.0f;     // the x title's mu, from plot_bottom
constexpr float y_mu_dx = -80.0f;     // the y title's mu, from plot_left
constexpr float x_title_dx = 15.0f;   // the x title, from the page x of the window's middle
constexpr float x_title_dy = -58.0f;  // and from plot_bottom
constexpr float y_title_dx = -65.0f;  // the y title, from plot_left
constexpr float y_title_dy = -8.0f;   // and from the page y of the window's middle
constexpr float title_size = 20.0f;   // font size of the titles after the mu

// Pressure scales
constexpr float scale_tick_length = 10.0f;  // tick, from a scale axis toward the window
constexpr float top_label_dx = -10.0f;      // a top-axis tick label, from its tick
constexpr float top_label_rise = 8.0f;      // and above the top axis
constexpr float right_label_gap = 5.0f;     // a right-axis tick label, right of the right axis
constexpr float right_label_dy = -5.0f;     // and from its tick
// caption start left of the right axis: per character, plus one
constexpr float caption_char_width = 8.0f;
constexpr float caption_dy = -8.0f;       // caption baseline, from the top axis
constexpr float caption_size = 30.0f;     // font size of the temperature caption
constexpr float tick_label_size = 20.0f;  // font size of a scale's 10^{e} labels

// Labels
constexpr float superscript_rise = 0.45f;  // raise per superscript level, times the label size
constexpr float subscript_drop = 0.2f;     // drop per subscript level, times the label size
constexpr float level_size_step = 0.5f;    // font size factor per level away from the baseline

// ---------------------------------------------------------------------------------------
// Drawing along either axis

// The page point `at` along an axis and `across` it.
page_point point_on_axis(direction along, float at, float across);

// page_x or page_y of a data value, whichever runs along the axis.
float page_along(direction along, float value);

// `value` moved by `offset` points, stored in single precision.
float plus(float value, double offset);

// ---------------------------------------------------------------------------------------
// Pressure-scale ticks in single precision, from the arithmetic of core/ticks.hpp; the reader's
// checks keep every value in range

// Distance between two ticks in data units, for a step other than 0.
float tick_spacing(const scale_axis& axis);

// Data coordinate of the tick with index r.
float tick_position(const scale_axis& axis, double tick_index);

// Exponent shown at a tick: the step truncated toward zero, times r.
int32_t tick_exponent(const scale_axis& axis, double tick_index);

// Characters of the temperature's whole part: at least 1, also for T below 1.
int32_t caption_width(float temperature);

// Characters of an exponent, its minus sign included.
int32_t exponent_width(int32_t exponent);

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

// ---------------------------------------------------------------------------------------
// Steps of lay_out_page

// The plot area, the page scale and the translation that centres the drawing in the
// direction that has room to spare, from the window and the temperatures.
void lay_out_geometry();

// The filled regions with their corners, grey and colour.
void lay_out_regions();

// The colours of the filled regions by the one rule (page/colours.cpp), neighbours being
// regions that share two distinct corners.
void colour_page_regions();

// The frame's corners, its two axes and the axis titles.
void lay_out_axes();

// The pressure-scale sets that are drawn.
void lay_out_scales();

// The guide and equilibrium lines that are drawn, in drawing order.
void lay_out_lines();
