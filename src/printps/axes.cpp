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

void draw_window_frame() {
    start_black_path("3 setlinewidth");
    put_point(run.x_min, run.y_min, "M");
    put_point(run.x_max, run.y_min, "L");
    put_point(run.x_max, run.y_max, "L");
    put_point(run.x_min, run.y_max, "L");
    write_text_record("C");
    write_text_record("S");
}

void write_tick_pair(const frame_axis& axis, float at, float length) {
    const tick_pair ends = tick_pair_at(axis, at, length);
    write_stroke(ends.near_from, ends.near_to);
    write_stroke(ends.far_from, ends.far_to);
}

// Major ticks with their numbers k, then at line width 1 the minor ticks, of one frame axis.
void draw_axis_ticks(const frame_axis& axis) {
    const tick_range range = main_axis_ticks(axis.low, axis.high, axis.shift);
    for (tick_walk walk = start_tick_walk(range, tick_index_kind::whole); walk.left > 0;
         step_tick_walk(walk)) {
        const major_tick tick = major_tick_of(axis, walk);
        write_tick_pair(axis, tick.at, major_tick_length);
        write_tick_number(tick.number_start.x, tick.number_start.y, tick.number);
    }
    write_text_record("1 setlinewidth");
    float u = first_minor_tick(range);
    for (int32_t n = minor_tick_count(range); n > 0; --n, u = next_minor_tick(u))
        write_tick_pair(axis, minor_tick_at(axis, u), minor_tick_length);
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
    draw_axis_ticks(frame_x_axis());
    write_text_record("3 setlinewidth");
    draw_axis_ticks(frame_y_axis());
    draw_axis_titles();
}
