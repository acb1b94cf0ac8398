// Secondary pressure scales. For a temperature T the map gets a right and a top axis outside
// the frame whose ticks mark where k_B*T*ln(P) equals the diagram variable minus its
// reference value, for P = 10^e, labelled 10^{e}, with a caption "T K" where the two axes
// meet. The first set stands one scale gap outside the frame in the current colour, the
// second two gaps out in 50 % grey.
//
// PostScript used here: "x y M" moveto, "x y L" lineto, "S" stroke, "n setlinewidth",
// "gr10" the 0.50 grey and "CoBla" black from the prolog.
#include <cassert>
#include <cmath>
#include <cstdint>

#include "numbers.hpp"
#include "printps/internals.hpp"
#include "printps/printps.hpp"
#include "records/records.hpp"
#include "ticks.hpp"

namespace {

// Tags of the range records of each set in log.out, top axis and right axis.
constexpr const char* range_tags[max_scale_sets][2] = {{"Temp1x", "Temp1y"}, {"Temp2x", "Temp2y"}};

// Data coordinate `points` page points beyond a window bound, away from the window.
float beyond_window(float bound, double points) {
    return to_float_known_to_fit(static_cast<double>(bound) +
                                 points / static_cast<double>(run.page.page_scale));
}

// "300 K": the whole part of T right-justified in its own width, a blank and K.
void write_caption(float temperature, const scale_set_place& place) {
    const int32_t width = caption_width(temperature);
    const int32_t whole = to_int32_known_to_fit(std::trunc(static_cast<double>(temperature)));
    text40 caption;
    write_internal(caption, "(I^,1X,A1)", {item_int(whole, width), item_text("K")});
    const page_point start = caption_start(temperature, place);
    write_label(start.x, start.y, caption_size, caption);
}

// "10^{-5}": built into a buffer and traced in log.out with its width.
text40 make_tick_label(const scale_axis& axis, double tick_index) {
    const int32_t exponent = tick_exponent(axis, tick_index);
    const int32_t width = exponent_width(exponent);
    text40 label;
    write_internal(label, "(A4,I^,A1)",
                   {item_text("10^{"), item_int(exponent, width), item_text("}")});
    write_list(unit_log, {item_text(label), item_int(width)});
    return label;
}

// Ticks from the axis line toward the window, each with its 10^{e} label, after the range
// record in log.out.
void draw_scale_ticks(const scale_axis& axis, const char* tag, const scale_axis_layout& layout) {
    const tick_range range = scale_axis_ticks(axis, tick_spacing(axis));
    write_list(unit_log, {item_text(tag), item_int(to_int32_known_to_fit(range.first)),
                          item_int(to_int32_known_to_fit(range.last)), item_real(axis.step)});
    for (tick_walk walk = start_tick_walk(range, tick_index_kind::single); walk.left > 0;
         step_tick_walk(walk)) {
        const float at = page_along(layout.along, tick_position(axis, walk.index));
        write_stroke(point_on_axis(layout.along, at, layout.axis_at - scale_tick_length),
                     point_on_axis(layout.along, at, layout.axis_at));
        const text40 label = make_tick_label(axis, walk.index);
        const page_point label_start =
            point_on_axis(layout.along, at + layout.label_shift, layout.label_at);
        write_label(label_start.x, label_start.y, tick_label_size, label);
    }
}

// Draws scale set `index` (0 or 1): right and top axes, caption, ticks and their 10^{e}
// labels, index + 1 scale gaps outside the frame.
void draw_scale_set(int32_t index) {
    const pressure_scale& set = run.scales[index];
    // Step 1: the right and the top axis.
    const scale_set_place place = place_scale_set(index);
    write_stroke({place.axis_x, page_y(run.y_min)}, {place.axis_x, page_y(run.y_max)});
    write_stroke({page_x(run.x_min), place.axis_y}, {page_x(run.x_max), place.axis_y});

    // Step 2: the temperature caption at the corner where the two axes meet.
    write_caption(set.temperature, place);

    // Step 3: the ticks, top axis first. A zero step gives no spacing to count ticks with:
    // the axis stays bare.
    if (set.x_step != 0.0f)
        draw_scale_ticks(horizontal_scale_axis(set), range_tags[index][0], top_axis_layout(place));
    if (set.y_step != 0.0f)
        draw_scale_ticks(vertical_scale_axis(set), range_tags[index][1], right_axis_layout(place));
}

}  // namespace

scale_set_place place_scale_set(int32_t index) {
    const double gaps = static_cast<double>(index + 1);
    const double gap_x = gaps * static_cast<double>(scale_gap_x);
    const double gap_y = gaps * static_cast<double>(scale_gap_y);
    return {gap_x, gap_y, page_x(beyond_window(run.x_max, gap_x)),
            page_y(beyond_window(run.y_max, gap_y))};
}

page_point caption_start(float temperature, const scale_set_place& place) {
    const double left =
        static_cast<double>(place.axis_x) - static_cast<double>(caption_char_width) *
                                                static_cast<double>(caption_width(temperature) + 1);
    return {to_float_known_to_fit(left), place.axis_y + caption_dy};
}

scale_axis_layout top_axis_layout(const scale_set_place& place) {
    const float label_y =
        page_y(beyond_window(run.y_max, place.gap_y + static_cast<double>(top_label_rise)));
    return {direction::x, place.axis_y, label_y, top_label_dx};
}

scale_axis_layout right_axis_layout(const scale_set_place& place) {
    const float label_x =
        page_x(beyond_window(run.x_max, place.gap_x + static_cast<double>(right_label_gap)));
    return {direction::y, place.axis_x, label_x, right_label_dy};
}

float tick_spacing(const scale_axis& axis) {
    const float spacing = to_float_known_to_fit(tick_spacing_wide(axis));
    assert(spacing != 0.0f);
    return spacing;
}

float tick_position(const scale_axis& axis, double tick_index) {
    return to_float_known_to_fit(tick_position_wide(axis, tick_index));
}

int32_t tick_exponent(const scale_axis& axis, double tick_index) {
    return to_int32_known_to_fit(tick_exponent_wide(axis, tick_index));
}

int32_t caption_width(float temperature) {
    const double magnitude = std::fabs(static_cast<double>(temperature));
    if (!(magnitude >= 1.0)) return 1;  // 0.5 K shows as "0 K"; also keeps log10 away from 0
    return to_int32_known_to_fit(std::trunc(std::log10(magnitude))) + 1;
}

int32_t exponent_width(int32_t exponent) {
    if (exponent == 0) return 1;
    const double magnitude = std::fabs(static_cast<double>(exponent));
    const int32_t digits = to_int32_known_to_fit(std::trunc(std::log10(magnitude))) + 1;
    return exponent < 0 ? digits + 1 : digits;
}

void draw_secondary_scales() {
    if (!is_scale_drawn(0)) return;
    write_text_record("3 setlinewidth");
    draw_scale_set(0);
    write_text_record("1 setlinewidth");
    if (!is_scale_drawn(1)) return;
    write_text_record("3 setlinewidth");
    write_text_record("gr10");
    draw_scale_set(1);
    write_text_record("1 setlinewidth");
    write_text_record("CoBla");
}
