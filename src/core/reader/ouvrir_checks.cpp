#include "core/reader/ouvrir_checks.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "core/label_glyphs.hpp"
#include "core/modules.hpp"
#include "core/numbers.hpp"
#include "core/outputs.hpp"
#include "core/reader/ouvrir.hpp"
#include "core/ticks.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

// Window widths outside this range have no usable page scale.
constexpr double min_window_extent = 1e-30;

std::string real_text(float value) {
    char text[32];
    return std::string(text, static_cast<std::size_t>(format_real_list(value, text)));
}

// The run's own files, which no output the input names may be: input.txt and every output
// asked for that has a name of its own (phase.json only when the run writes it).
constexpr int32_t max_own_files = 1 + max_outputs;
struct own_file_list {
    const char* names[max_own_files];
    int32_t count;
};
own_file_list own_files() {
    own_file_list own{{input_file_name}, 1};
    for (int32_t row = 0; row < max_outputs; ++row)
        if (run.outputs[row].is_asked && output_kinds[row].file_name != nullptr)
            own.names[own.count++] = output_kinds[row].file_name;
    return own;
}

// "./maps//a.ps" -> "maps/a.ps", "maps/../input.txt" -> "input.txt"; a ".." that climbs out
// of the folder stays.
std::string normalised_path(std::string_view name) {
    std::string path;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(start, end - start);
        const std::size_t last = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
        if (part == ".." && !path.empty() && std::string_view(path).substr(last) != "..") {
            path.erase(last == 0 ? 0 : last - 1);
        } else if (!part.empty() && part != ".") {
            if (!path.empty()) path += '/';
            path += part;
        }
        start = end + 1;
    }
    return path;
}

bool has_control_byte(std::string_view name) {
    return std::any_of(name.begin(), name.end(), is_control_byte);
}

bool has_parent_step(std::string_view name) {
    return name == ".." || name.starts_with("../") || name.ends_with("/..") ||
           name.find("/../") != std::string_view::npos;
}

// The run's own file that `name` reaches through a link, or null; both are taken in the
// run's folder.
const char* own_file_linked_from(const std::string& name) {
    struct stat map_file {};
    if (::fstatat(run_folder(), name.c_str(), &map_file, 0) != 0) return nullptr;
    const own_file_list own_list = own_files();
    for (int32_t i = 0; i < own_list.count; ++i) {
        const char* own = own_list.names[i];
        struct stat own_file {};
        if (::fstatat(run_folder(), own, &own_file, 0) == 0 && own_file.st_dev == map_file.st_dev &&
            own_file.st_ino == map_file.st_ino)
            return own;
    }
    return nullptr;
}

// A map is written inside the run's folder, under a name that can be neither one of the
// run's own files, however spelt or linked, nor a name that holds a control character.
// `what` names it in the messages: "the map file name", "the SVG map's name". Where the name
// leads through links is looked at only in a folder that is written: a run computed for its
// state (outputs discarded) has none, and the process's working folder is no part of it.
void check_output_name(const std::string& name, const std::string& what, int32_t line) {
    const std::string quoted = quoted_for_message(name);
    auto refuse = [&](const std::string& why) { stop_run(unit_input, line, what + " " + why); };
    if (name.empty()) refuse("is blank");
    if (has_control_byte(name)) refuse(quoted + " holds a control character");
    const std::string path = normalised_path(name);
    const own_file_list own_list = own_files();
    for (int32_t i = 0; i < own_list.count; ++i)
        if (path == own_list.names[i])
            refuse(quoted + " is the name of one of the run's own files");
    if (name.starts_with("/"))
        refuse(quoted + " is absolute; the map is written inside the run's folder");
    if (has_parent_step(name)) refuse(quoted + " leaves the run's folder through '..'");
    const bool has_folder = !are_outputs_discarded();
    if (has_folder && is_folder_outside(name))
        refuse(quoted + " leads out of the run's folder through a symbolic link");
    if (is_hidden_run_file_name(name))
        refuse(quoted + " has the form of the hidden files phasemap keeps while it writes");
    if (!has_folder) return;
    if (const char* own = own_file_linked_from(name))
        refuse(quoted + " names the same file as " + own);
}

// The map's name, and the names of the outputs asked for that are named after it (the SVG
// map's), which must differ from it.
void check_map_file_names(const entry_lines& lines) {
    const std::string map = output_name(static_cast<int32_t>(output_id::map));
    const int32_t line = line_of(lines, keyword::output);
    check_output_name(map, "the map file name", line);
    for (int32_t row = 0; row < max_outputs; ++row) {
        const output_kind& kind = output_kinds[row];
        if (kind.ending == nullptr || !run.outputs[row].is_asked) continue;
        const std::string name = output_name(row);
        if (normalised_path(name) == normalised_path(map))
            stop_run(unit_input, line,
                     "the map file name " + quoted_for_message(map) + " ends in " + kind.ending +
                         ", the name " + kind.title + " would take; give the map another ending");
        check_output_name(name, std::string(kind.title) + "'s name", line);
    }
}

void check_window_axis(float low, float high, const char* low_name, const char* high_name,
                       const entry_lines& lines) {
    const int32_t bound_line = line_of(lines, keyword::bound);
    const int32_t line = bound_line > 0 ? bound_line : line_of(lines, keyword::stop);
    if (bound_line == 0 && !(high > low))
        stop_run(unit_input, line, "the input has no bound entry, so the window is empty");
    if (!(high > low))
        stop_run(unit_input, line,
                 std::string("the window is empty: ") + high_name + " (" + real_text(high) +
                     ") is not greater than " + low_name + " (" + real_text(low) + ")");
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
    check_map_file_names(lines);
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
