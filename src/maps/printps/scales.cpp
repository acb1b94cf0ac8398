// Secondary pressure scales, as the page model lays them out (maps/page/page.hpp): per set its
// right and top axis lines, its caption, and the ticks of each axis with their 10^{e}
// labels, each axis's range and every label traced in log.out. The first set is drawn in the
// current colour, the second in 50 % grey.
//
// PostScript used here: "x y M" moveto, "x y L" lineto, "S" stroke, "n setlinewidth",
// "gr10" the 0.50 grey and "CoBla" black from the prolog.
#include <cstdint>

#include "core/numbers.hpp"
#include "core/ticks.hpp"
#include "maps/page/page.hpp"
#include "maps/printps/internals.hpp"
#include "maps/printps/printps.hpp"
#include "records/records.hpp"

namespace {

// Tags of the range records of each set in log.out, top axis and right axis.
constexpr const char* range_tags[max_scale_sets][2] = {{"Temp1x", "Temp1y"}, {"Temp2x", "Temp2y"}};

// Ticks from the axis line toward the window, each with its 10^{e} label (traced in log.out
// with its width), after the range record in log.out.
void draw_scale_ticks(const scale_axis_place& place) {
    const tick_range range = scale_tick_range(place);
    const char* tag = range_tags[place.set][place.along == direction::x ? 0 : 1];
    write_list(unit_log, {item_text(tag), item_int(to_int32_known_to_fit(range.first)),
                          item_int(to_int32_known_to_fit(range.last)), item_real(place.step)});
    for (tick_walk walk = start_scale_ticks(place); walk.left > 0; step_tick_walk(walk)) {
        const scale_tick tick = scale_tick_of(place, walk);
        write_stroke(tick.from, tick.to);
        write_list(unit_log, {item_text(tick.label.text), item_int(tick.exponent_width)});
        write_page_text(tick.label);
    }
}

// One set: right and top axes, caption, ticks and their labels, top axis first.
void draw_scale_set(const scale_set_layout& set) {
    write_stroke(set.right_from, set.right_to);
    write_stroke(set.top_from, set.top_to);
    write_page_text(set.caption);
    if (set.top.has_ticks) draw_scale_ticks(set.top);
    if (set.right.has_ticks) draw_scale_ticks(set.right);
}

}  // namespace

void draw_secondary_scales() {
    for (int32_t index = 0; index < run.page.scale_set_count; ++index) {
        const scale_set_layout& set = run.page.scale_sets[index];
        write_text_record("3 setlinewidth");
        if (set.in_grey) write_text_record("gr10");
        draw_scale_set(set);
        write_text_record("1 setlinewidth");
        if (set.in_grey) write_text_record("CoBla");
    }
}
