// The drawing primitives every section of the map writes through: the point record, a
// stroked segment and a record of one PostScript word.
#include <cassert>
#include <cmath>
#include <string_view>

#include "numbers.hpp"
#include "printps/internals.hpp"
#include "printps/printps.hpp"
#include "records/records.hpp"

void write_text_record(std::string_view text) { write_list(unit_map, {item_text(text)}); }

page_point point_on_axis(direction along, float at, float across) {
    return along == direction::x ? page_point{at, across} : page_point{across, at};
}

float page_along(direction along, float value) {
    return along == direction::x ? page_x(value) : page_y(value);
}

float plus(float value, double offset) {
    return to_float_known_to_fit(static_cast<double>(value) + offset);
}

frame_axis frame_x_axis() {
    return {direction::x,      run.x_min,         run.x_max,   run.shift_x,
            page_y(run.y_min), page_y(run.y_max), x_number_dx, x_number_dy};
}

frame_axis frame_y_axis() {
    return {direction::y,      run.y_min,         run.y_max,   run.shift_y,
            page_x(run.x_min), page_x(run.x_max), y_number_dx, y_number_dy};
}

tick_pair tick_pair_at(const frame_axis& axis, float at, float length) {
    return {point_on_axis(axis.along, at, axis.near_edge),
            point_on_axis(axis.along, at, plus(axis.near_edge, length)),
            point_on_axis(axis.along, at, axis.far_edge),
            point_on_axis(axis.along, at, plus(axis.far_edge, -length))};
}

major_tick major_tick_of(const frame_axis& axis, const tick_walk& walk) {
    const float t = to_float_known_to_fit(walk.index + static_cast<double>(axis.shift));
    const float at = page_along(axis.along, t);
    const page_point foot = point_on_axis(axis.along, at, axis.near_edge);
    return {to_int32_known_to_fit(walk.index),
            at,
            {plus(foot.x, axis.number_dx), plus(foot.y, axis.number_dy)}};
}

int32_t minor_tick_count(const tick_range& range) {
    const double a = static_cast<double>(to_float_known_to_fit(range.first));
    const double b = static_cast<double>(to_float_known_to_fit(range.last));
    const double per_unit = static_cast<double>(minor_ticks_per_unit);
    return to_int32_known_to_fit(std::trunc(per_unit * b - per_unit * a + 1.0));
}

float first_minor_tick(const tick_range& range) { return to_float_known_to_fit(range.first); }

float next_minor_tick(float u) {
    return to_float_known_to_fit(static_cast<double>(u) + static_cast<double>(minor_tick_step));
}

float minor_tick_at(const frame_axis& axis, float u) {
    return page_along(axis.along, to_float_known_to_fit(static_cast<double>(axis.shift) +
                                                        static_cast<double>(u)));
}

void write_stroke(page_point from, page_point to) {
    write_list(unit_map, {item_real(from.x), item_real(from.y), item_text("  M"), item_real(to.x),
                          item_real(to.y), item_text("  L  S")});
}

void put_point(float x, float y, const char* op) {
    write_list(unit_map,
               {item_real(page_x(x)), item_real(page_y(y)), item_text("  "), item_text(op, 1)});
}
