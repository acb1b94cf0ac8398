// What the files of the page model share and the writers do not need: the fixed page
// geometry, the steps of lay_out_page in the order it takes them, and the arithmetic behind
// them. Only page/ and its tests include this header.
#pragma once

#include <cstdint>

#include "page/page.hpp"

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

// Labels
constexpr float superscript_rise = 0.45f;  // raise per superscript level, times the label size
constexpr float subscript_drop = 0.2f;     // drop per subscript level, times the label size
constexpr float level_size_step = 0.5f;    // font size factor per level away from the baseline

// ---------------------------------------------------------------------------------------
// Steps of lay_out_page

// The plot area, the page scale and the translation that centres the drawing in the
// direction that has room to spare, from the window and the temperatures.
void lay_out_geometry();
