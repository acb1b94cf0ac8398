// The section drawn over the region fills: the window frame, major and minor ticks on all
// four sides, tick numbers and the axis titles.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "numbers.hpp"
#include "printps/internals.hpp"
#include "printps/printps.hpp"
#include "records/records.hpp"
#include "ticks.hpp"

namespace {

// One axis of the frame: its window bounds and tick shift, and the two frame edges its ticks
// stand on (bottom and top for x, left and right for y).
struct frame_axis {
    direction along;
    float low;
    float high;
    float shift;
    float near_edge;  // page coordinate of the bottom or left edge
    float far_edge;   // page coordinate of the top or right edge
    float number_dx;  // start of a tick number from the tick's foot on the near edge
    float number_dy;
};

float plus(float value, double offset) {
    return to_float_known_to_fit(static_cast<double>(value) + offset);
}

void start_black_path(const char* line_width) {
    write_text_record("newpath");
    write_text_record("CoBla");
    write_text_record(line_width);
}

// Characters of `value` written with two decimals and no padding.
int32_t fixed_text_length(float value) {
    constexpr int32_t wide = 46;  // room for the largest single value: 39 digits, sign, ".dd"
    char text[wide];
    format_real_fixed(value, wide, 2, text);
    int32_t first = 0;
    while (first < wide && text[first] == ' ') ++first;
    return wide - first;
}

int32_t integer_text_length(int32_t value) {
    char text[16];
    return static_cast<int32_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
}

// The number k shown at page point (x, y), in the current font, with the format
// "(1x,2f7.2,a4,i4,a4)". A field that would overflow gets the width of its text instead; the
// second coordinate also keeps one blank before it, so the two never run together.
void write_tick_number(float x, float y, int32_t k) {
    const int32_t x_width = std::max(7, fixed_text_length(x));
    const int32_t y_width = std::max(7, fixed_text_length(y) + 1);
    const int32_t k_width = std::max(4, integer_text_length(k));
    write_formatted(
        unit_map,
        {edit_blanks(1), edit_real(x_width, 2), edit_real(y_width, 2), edit_text(4),
         edit_int(k_width), edit_text(4)},
        {item_real(x), item_real(y), item_text(" M ("), item_int(k), item_text(") SN")});
}

// Five minor ticks per unit plus one, over the span of the major ticks as single-precision
// values.
int32_t minor_tick_count(const tick_range& range) {
    const double a = static_cast<double>(to_float_known_to_fit(range.first));
    const double b = static_cast<double>(to_float_known_to_fit(range.last));
    const double per_unit = static_cast<double>(minor_ticks_per_unit);
    return to_int32_known_to_fit(std::trunc(per_unit * b - per_unit * a + 1.0));
}

// The running minor-tick value steps in single precision, so it drifts as stored values do.
float next_minor_tick(float u) {
    return to_float_known_to_fit(static_cast<double>(u) + static_cast<double>(minor_tick_step));
}

void draw_window_frame() {
    start_black_path("3 setlinewidth");
    put_point(run.x_min, run.y_min, "M");
    put_point(run.x_max, run.y_min, "L");
    put_point(run.x_max, run.y_max, "L");
    put_point(run.x_min, run.y_max, "L");
    write_text_record("C");
    write_text_record("S");
}

// A tick `length` points into the window from each frame edge, at page coordinate `at`.
void write_tick_pair(const frame_axis& axis, float at, float length) {
    write_stroke(point_on_axis(axis.along, at, axis.near_edge),
                 point_on_axis(axis.along, at, plus(axis.near_edge, length)));
    write_stroke(point_on_axis(axis.along, at, axis.far_edge),
                 point_on_axis(axis.along, at, plus(axis.far_edge, -length)));
}

// Major ticks with their numbers k, then at line width 1 the minor ticks, of one frame axis.
void draw_axis_ticks(const frame_axis& axis) {
    const tick_range range = main_axis_ticks(axis.low, axis.high, axis.shift);
    for (tick_walk walk = start_tick_walk(range, tick_index_kind::whole); walk.left > 0;
         step_tick_walk(walk)) {
        const int32_t k = to_int32_known_to_fit(walk.index);
        const float t = to_float_known_to_fit(walk.index + static_cast<double>(axis.shift));
        const float at = page_along(axis.along, t);
        write_tick_pair(axis, at, major_tick_length);
        const page_point foot = point_on_axis(axis.along, at, axis.near_edge);
        write_tick_number(plus(foot.x, axis.number_dx), plus(foot.y, axis.number_dy), k);
    }
    write_text_record("1 setlinewidth");
    float u = to_float_known_to_fit(range.first);
    for (int32_t n = minor_tick_count(range); n > 0; --n) {
        const float t =
            to_float_known_to_fit(static_cast<double>(axis.shift) + static_cast<double>(u));
        write_tick_pair(axis, page_along(axis.along, t), minor_tick_length);
        u = next_minor_tick(u);
    }
}

// "mu" in the Symbol font, then each title through write_label: the x title below the
// tick numbers from the window's middle, the y title at the left margin.
void draw_axis_titles() {
    const float middle_x = to_float_known_to_fit(
        (static_cast<double>(run.x_max) + static_cast<double>(run.x_min)) * 0.5);
    const float middle_y = to_float_known_to_fit(
        (static_cast<double>(run.y_max) + static_cast<double>(run.y_min)) * 0.5);
    const int32_t xc = to_int32_known_to_fit(static_cast<double>(page_x(middle_x)));
    const int32_t yc = to_int32_known_to_fit(static_cast<double>(page_y(middle_y)));
    write_text_record("/Symbol findfont 30 scalefont setfont");
    write_list(unit_map,
               {item_int(xc), item_real(plus(plot_bottom, x_mu_dy)), item_text(" M  (m)  SN")});
    write_list(unit_map,
               {item_real(plus(plot_left, y_mu_dx)), item_int(yc), item_text(" M  (m)  SN")});
    const float x_title_x =
        to_float_known_to_fit(static_cast<double>(xc) + static_cast<double>(x_title_dx));
    const float y_title_y =
        to_float_known_to_fit(static_cast<double>(yc) + static_cast<double>(y_title_dy));
    write_label(x_title_x, plus(plot_bottom, x_title_dy), title_size, run.x_axis_title);
    write_label(plus(plot_left, y_title_dx), y_title_y, title_size, run.y_axis_title);
    write_text_record("/Times-Roman findfont 30 scalefont setfont");
}

}  // namespace

void draw_frame_and_axes() {
    draw_window_frame();
    start_black_path("3 setlinewidth");
    draw_axis_ticks({direction::x, run.x_min, run.x_max, run.shift_x, page_y(run.y_min),
                     page_y(run.y_max), x_number_dx, x_number_dy});
    write_text_record("3 setlinewidth");
    draw_axis_ticks({direction::y, run.y_min, run.y_max, run.shift_y, page_x(run.x_min),
                     page_x(run.x_max), y_number_dx, y_number_dy});
    draw_axis_titles();
}
