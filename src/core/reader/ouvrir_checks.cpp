#include "core/reader/ouvrir_checks.hpp"

#include <cmath>
#include <string>
#include <string_view>

#include "core/modules.hpp"
#include "core/numbers.hpp"
#include "core/ticks.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

// Window widths outside this range have no usable page scale.
constexpr double min_window_extent = 1e-30;

void check_window_axis(float low, float high, const char* low_name, const char* high_name,
                       const entry_lines& lines) {
    const int32_t bound_line = line_of(lines, keyword::bound);
    const int32_t line = bound_line > 0 ? bound_line : line_of(lines, keyword::stop);
    if (bound_line == 0 && !(high > low))
        stop_run(unit_input, line, "the input has no bound entry, so the window is empty");
    if (!(high > low))
        stop_run(unit_input, line,
                 std::string("the window is empty: ") + high_name + " (" + real_list_text(high) +
                     ") is not greater than " + low_name + " (" + real_list_text(low) + ")");
    const double extent = static_cast<double>(high) - static_cast<double>(low);
    if (!fits_single(extent) || static_cast<double>(static_cast<float>(extent)) < min_window_extent)
        stop_run(unit_input, line,
                 std::string("the window from ") + low_name + " to " + high_name +
                     " must be between 1e-30 and the largest single-precision value wide");
}

// Major ticks of a main axis: their numbers fit a 32-bit integer and there are few enough.
void check_main_axis(float low, float high, float shift, const char* axis, int32_t shift_line,
                     int32_t bound_line) {
    const tick_range range = main_axis_ticks(low, high, shift);
    const int32_t line = shift_line > 0 ? shift_line : bound_line;
    if (!fits_int32(range.first) || !fits_int32(range.last))
        stop_run(unit_input, line,
                 std::string("the tick numbers of the ") + axis +
                     " axis do not fit a 32-bit integer (window or shift too large)");
    const double count = tick_count(range);
    if (count > static_cast<double>(max_ticks_per_axis))
        stop_run(unit_input, line,
                 std::string("the ") + axis + " axis would carry " +
                     std::to_string(static_cast<int64_t>(count)) + " major ticks; at most " +
                     std::to_string(max_ticks_per_axis) + " can be drawn");
}

// Where a pressure-scale axis was given, for its messages.
struct scale_axis_source {
    const char* name;        // "horizontal" or "vertical"
    std::string_view entry;  // its keyword: "temp1" or "temp2"
    int32_t line;
};

[[noreturn]] void refuse_scale(const scale_axis_source& source, const std::string& what) {
    stop_run(unit_input, source.line,
             std::string("the ") + source.name + " pressure scale of " + std::string(source.entry) +
                 " " + what);
}

// Ticks of one pressure-scale axis, walked as the map draws them: the tick spacing in single
// precision, the first and last tick index, every exponent and every tick position.
void check_scale_axis(const scale_axis& axis, const scale_axis_source& source) {
    if (axis.step == 0.0f) return;
    float spacing = 0.0f;
    if (!to_float_if_fits(tick_spacing_wide(axis), spacing) || spacing == 0.0f)
        refuse_scale(source, "has a tick spacing that is 0 or too large in single precision");
    const tick_range range = scale_axis_ticks(axis, spacing);
    if (!fits_int32(range.first) || !fits_int32(range.last))
        refuse_scale(source, "has tick indices beyond a 32-bit integer");
    const double count = tick_count(range);
    if (count > static_cast<double>(max_ticks_per_axis))
        refuse_scale(source, "would carry " + std::to_string(static_cast<int64_t>(count)) +
                                 " ticks; at most " + std::to_string(max_ticks_per_axis) +
                                 " can be drawn");
    for (tick_walk walk = start_tick_walk(range, tick_index_kind::single); walk.left > 0;
         step_tick_walk(walk)) {
        if (!fits_int32(tick_exponent_wide(axis, walk.index)))
            refuse_scale(source, "has tick exponents beyond a 32-bit integer");
        if (!fits_single(tick_position_wide(axis, walk.index)))
            refuse_scale(source, "has tick positions beyond single precision");
    }
}

// Pressure-scale set `index` (0 or 1), given by the entry of keyword `entry` (temp1, temp2).
void check_scale_set(int32_t index, keyword entry, const entry_lines& lines) {
    const pressure_scale& set = run.scales[index];
    const std::string_view word = info_of(entry).word;
    const int32_t line = line_of(lines, entry);
    if (!fits_int32(std::trunc(static_cast<double>(set.temperature))))
        stop_run(unit_input, line,
                 "the temperature of " + std::string(word) + " is too large to be written");
    check_scale_axis(horizontal_scale_axis(set), {"horizontal", word, line});
    check_scale_axis(vertical_scale_axis(set), {"vertical", word, line});
}

}  // namespace

void check_input_before_drawing(const entry_lines& lines) {
    check_window_axis(run.x_min, run.x_max, "x_min", "x_max", lines);
    check_window_axis(run.y_min, run.y_max, "y_min", "y_max", lines);
    const int32_t bound_line = line_of(lines, keyword::bound);
    check_main_axis(run.x_min, run.x_max, run.shift_x, "x", line_of(lines, keyword::shiftx),
                    bound_line);
    check_main_axis(run.y_min, run.y_max, run.shift_y, "y", line_of(lines, keyword::shifty),
                    bound_line);
    if (is_scale_drawn(0)) check_scale_set(0, keyword::temp1, lines);
    if (is_scale_drawn(1)) check_scale_set(1, keyword::temp2, lines);
}
