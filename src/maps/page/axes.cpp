// The frame: its corners, its two axes with their major and minor ticks and tick numbers, and
// the axis titles.
#include <cmath>
#include <string>

#include "core/numbers.hpp"
#include "core/ticks.hpp"
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

namespace {

// A tick `length` points into the window from each frame edge, at page coordinate `at`.
tick_pair tick_pair_at(const frame_axis& axis, float at, float length) {
    return {point_on_axis(axis.along, at, axis.near_edge),
            point_on_axis(axis.along, at, plus(axis.near_edge, length)),
            point_on_axis(axis.along, at, axis.far_edge),
            point_on_axis(axis.along, at, plus(axis.far_edge, -length))};
}

tick_range major_tick_range(const frame_axis& axis) {
    return main_axis_ticks(axis.low, axis.high, axis.shift);
}

// The page coordinate along the axis of the window's middle, truncated to whole points.
float whole_middle(direction along, float low, float high) {
    const float middle =
        to_float_known_to_fit((static_cast<double>(high) + static_cast<double>(low)) * 0.5);
    return static_cast<float>(
        to_int32_known_to_fit(static_cast<double>(page_along(along, middle))));
}

}  // namespace

tick_walk start_major_ticks(const frame_axis& axis) {
    return start_tick_walk(major_tick_range(axis), tick_index_kind::whole);
}

major_tick major_tick_of(const frame_axis& axis, const tick_walk& walk) {
    const float t = to_float_known_to_fit(walk.index + static_cast<double>(axis.shift));
    const float at = page_along(axis.along, t);
    const page_point foot = point_on_axis(axis.along, at, axis.near_edge);
    return {tick_pair_at(axis, at, major_tick_length),
            to_int32_known_to_fit(walk.index),
            {plus(foot.x, axis.number_dx), plus(foot.y, axis.number_dy)}};
}

std::string tick_number_text(int32_t k) {
    const std::string text = std::to_string(k);
    return std::string(text.size() < 4 ? 4 - text.size() : 0, ' ') + text;
}

minor_tick_walk start_minor_ticks(const frame_axis& axis) {
    const tick_range range = major_tick_range(axis);
    const double a = static_cast<double>(to_float_known_to_fit(range.first));
    const double b = static_cast<double>(to_float_known_to_fit(range.last));
    const double per_unit = static_cast<double>(minor_ticks_per_unit);
    return {to_float_known_to_fit(range.first),
            to_int32_known_to_fit(std::trunc(per_unit * b - per_unit * a + 1.0))};
}

void step_minor_ticks(minor_tick_walk& walk) {
    walk.u =
        to_float_known_to_fit(static_cast<double>(walk.u) + static_cast<double>(minor_tick_step));
    --walk.left;
}

tick_pair minor_tick_of(const frame_axis& axis, const minor_tick_walk& walk) {
    const float at = page_along(axis.along, to_float_known_to_fit(static_cast<double>(axis.shift) +
                                                                  static_cast<double>(walk.u)));
    return tick_pair_at(axis, at, minor_tick_length);
}

void lay_out_axes() {
    page_layout& page = run.page;
    page.frame[0] = {page_x(run.x_min), page_y(run.y_min)};
    page.frame[1] = {page_x(run.x_max), page_y(run.y_min)};
    page.frame[2] = {page_x(run.x_max), page_y(run.y_max)};
    page.frame[3] = {page_x(run.x_min), page_y(run.y_max)};

    page.x_axis = {direction::x,      run.x_min,         run.x_max,   run.shift_x,
                   page_y(run.y_min), page_y(run.y_max), x_number_dx, x_number_dy};
    page.y_axis = {direction::y,      run.y_min,         run.y_max,   run.shift_y,
                   page_x(run.x_min), page_x(run.x_max), y_number_dx, y_number_dy};

    // Each mu stands at the window's middle along its axis, each title after it.
    const float middle_x = whole_middle(direction::x, run.x_min, run.x_max);
    const float middle_y = whole_middle(direction::y, run.y_min, run.y_max);
    axis_titles& titles = page.titles;
    titles.x_mu = {middle_x, plus(plot_bottom, x_mu_dy)};
    titles.y_mu = {plus(plot_left, y_mu_dx), middle_y};
    titles.x_title = place_text({plus(middle_x, x_title_dx), plus(plot_bottom, x_title_dy)},
                                title_size, run.x_axis_title);
    titles.y_title = place_text({plus(plot_left, y_title_dx), plus(middle_y, y_title_dy)},
                                title_size, run.y_axis_title);
}
