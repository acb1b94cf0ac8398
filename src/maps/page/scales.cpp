// Pressure-scale sets. For a temperature T the map gets a right and a top axis outside the
// frame whose ticks mark where k_B*T*ln(P) equals the diagram variable minus its reference
// value, for P = 10^e, labelled 10^{e}, with a caption "T K" where the two axes meet. The
// first set stands one scale gap outside the frame, the second two gaps out, in grey.
#include <cassert>
#include <cmath>
#include <cstdint>

#include "core/numbers.hpp"
#include "core/ticks.hpp"
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"
#include "records/records.hpp"

namespace {

// Data coordinate `points` page points beyond a window bound, away from the window.
float beyond_window(float bound, double points) {
    return to_float_known_to_fit(static_cast<double>(bound) +
                                 points / static_cast<double>(run.page.page_scale));
}

// Where scale set `index` (0 or 1) stands: its right and top axis lines, index + 1 scale
// gaps outside the frame.
struct scale_set_place {
    double gap_x;  // points from the frame to the right axis
    double gap_y;  // points from the frame to the top axis
    float axis_x;  // page x of the right axis
    float axis_y;  // page y of the top axis
};

scale_set_place place_scale_set(int32_t index) {
    const double gaps = static_cast<double>(index + 1);
    const double gap_x = gaps * static_cast<double>(scale_gap_x);
    const double gap_y = gaps * static_cast<double>(scale_gap_y);
    return {gap_x, gap_y, page_x(beyond_window(run.x_max, gap_x)),
            page_y(beyond_window(run.y_max, gap_y))};
}

// The caption "300 K": the whole part of T right-justified in its own width, a blank and K,
// starting left of the right axis by one character more than that width, below the top axis.
page_text caption_of(float temperature, const scale_set_place& place) {
    const int32_t width = caption_width(temperature);
    const int32_t whole = to_int32_known_to_fit(std::trunc(static_cast<double>(temperature)));
    text40 caption;
    write_internal(caption, "(I^,1X,A1)", {item_int(whole, width), item_text("K")});
    const double left = static_cast<double>(place.axis_x) -
                        static_cast<double>(caption_char_width) * static_cast<double>(width + 1);
    return place_text({to_float_known_to_fit(left), place.axis_y + caption_dy}, caption_size,
                      caption);
}

// The ticks of the top axis (x) or the right axis (y) of set `index`.
scale_axis_place top_axis(int32_t index, const scale_set_place& place) {
    const float step = run.scales[index].x_step;
    const float label_y =
        page_y(beyond_window(run.y_max, place.gap_y + static_cast<double>(top_label_rise)));
    return {index, direction::x, step != 0.0f, step, place.axis_y, label_y, top_label_dx};
}

scale_axis_place right_axis(int32_t index, const scale_set_place& place) {
    const float step = run.scales[index].y_step;
    const float label_x =
        page_x(beyond_window(run.x_max, place.gap_x + static_cast<double>(right_label_gap)));
    return {index, direction::y, step != 0.0f, step, place.axis_x, label_x, right_label_dy};
}

scale_set_layout lay_out_scale_set(int32_t index) {
    const scale_set_place place = place_scale_set(index);
    scale_set_layout set{};
    set.in_grey = index > 0;
    set.right_from = {place.axis_x, page_y(run.y_min)};
    set.right_to = {place.axis_x, page_y(run.y_max)};
    set.top_from = {page_x(run.x_min), place.axis_y};
    set.top_to = {page_x(run.x_max), place.axis_y};
    set.caption = caption_of(run.scales[index].temperature, place);
    set.top = top_axis(index, place);
    set.right = right_axis(index, place);
    return set;
}

scale_axis axis_of(const scale_axis_place& place) {
    const pressure_scale& set = run.scales[place.set];
    return place.along == direction::x ? horizontal_scale_axis(set) : vertical_scale_axis(set);
}

}  // namespace

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

tick_range scale_tick_range(const scale_axis_place& place) {
    const scale_axis axis = axis_of(place);
    return scale_axis_ticks(axis, tick_spacing(axis));
}

tick_walk start_scale_ticks(const scale_axis_place& place) {
    return start_tick_walk(scale_tick_range(place), tick_index_kind::single);
}

scale_tick scale_tick_of(const scale_axis_place& place, const tick_walk& walk) {
    const scale_axis axis = axis_of(place);
    const float at = page_along(place.along, tick_position(axis, walk.index));
    scale_tick tick{};
    tick.from = point_on_axis(place.along, at, place.axis_at - scale_tick_length);
    tick.to = point_on_axis(place.along, at, place.axis_at);
    const int32_t exponent = tick_exponent(axis, walk.index);
    tick.exponent_width = exponent_width(exponent);
    text40 label;
    write_internal(label, "(A4,I^,A1)",
                   {item_text("10^{"), item_int(exponent, tick.exponent_width), item_text("}")});
    tick.label = place_text(point_on_axis(place.along, at + place.label_shift, place.label_at),
                            tick_label_size, label);
    return tick;
}

void lay_out_scales() {
    page_layout& page = run.page;
    page.scale_set_count = 0;
    for (int32_t index = 0; index < max_scale_sets; ++index)
        if (is_scale_drawn(index))
            page.scale_sets[page.scale_set_count++] = lay_out_scale_set(index);
}
