// The section drawn over the region fills: the window frame, major and minor ticks on all
// four sides, tick numbers and the axis titles.
#include <algorithm>
#include <cmath>
#include <string>

#include "core/numbers.hpp"
#include "core/ticks.hpp"
#include "maps/page/page.hpp"
#include "maps/printps/internals.hpp"
#include "maps/printps/printps.hpp"
#include "records/records.hpp"

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

// The number k shown at page point (x, y), in the current font, with the format
// "(1x,2f7.2,a4,i4,a4)": the number as both maps show it (tick_number_text), and a coordinate
// whose field would overflow in the width of its text instead; the second coordinate also
// keeps one blank before it, so the two never run together.
void write_tick_number(float x, float y, int32_t k) {
    const int32_t x_width = std::max(7, fixed_text_length(x));
    const int32_t y_width = std::max(7, fixed_text_length(y) + 1);
    const std::string number = tick_number_text(k);
    write_formatted(
        unit_map,
        {edit_blanks(1), edit_real(x_width, 2), edit_real(y_width, 2), edit_text(4), edit_text(0),
         edit_text(4)},
        {item_real(x), item_real(y), item_text(" M ("), item_text(number), item_text(") SN")});
}

void draw_window_frame() {
    start_black_path("3 setlinewidth");
    for (int32_t corner = 0; corner < 4; ++corner)
        write_point(run.page.frame[corner], corner == 0 ? "M" : "L");
    write_text_record("C");
    write_text_record("S");
}

void write_tick_pair(const tick_pair& strokes) {
    write_stroke(strokes.near_from, strokes.near_to);
    write_stroke(strokes.far_from, strokes.far_to);
}

// Major ticks with their numbers k, then at line width 1 the minor ticks, of one frame axis.
void draw_axis_ticks(const frame_axis& axis) {
    for (tick_walk walk = start_major_ticks(axis); walk.left > 0; step_tick_walk(walk)) {
        const major_tick tick = major_tick_of(axis, walk);
        write_tick_pair(tick.strokes);
        write_tick_number(tick.number_start.x, tick.number_start.y, tick.number);
    }
    write_text_record("1 setlinewidth");
    for (minor_tick_walk walk = start_minor_ticks(axis); walk.left > 0; step_minor_ticks(walk))
        write_tick_pair(minor_tick_of(axis, walk));
}

// "mu" in the Symbol font, each at a whole page coordinate along its axis, then each title
// through write_label.
void draw_axis_titles() {
    const axis_titles& titles = run.page.titles;
    write_text_record("/Symbol findfont 30 scalefont setfont");
    write_list(unit_map, {item_int(to_int32_known_to_fit(static_cast<double>(titles.x_mu.x))),
                          item_real(titles.x_mu.y), item_text(" M  (m)  SN")});
    write_list(unit_map, {item_real(titles.y_mu.x),
                          item_int(to_int32_known_to_fit(static_cast<double>(titles.y_mu.y))),
                          item_text(" M  (m)  SN")});
    write_page_text(titles.x_title);
    write_page_text(titles.y_title);
    write_text_record("/Times-Roman findfont 30 scalefont setfont");
}

}  // namespace

void draw_frame_and_axes() {
    draw_window_frame();
    start_black_path("3 setlinewidth");
    draw_axis_ticks(run.page.x_axis);
    write_text_record("3 setlinewidth");
    draw_axis_ticks(run.page.y_axis);
    draw_axis_titles();
}
