#include "core/outputs.hpp"

#include "core/run_guards.hpp"
#include "maps/printsvg/printsvg.hpp"
#include "records/records.hpp"
#include "results/results.hpp"

constexpr output_kind output_kinds[max_outputs] = {
    {unit_map, nullptr, nullptr, nullptr, "the map", false, false, nullptr},
    {unit_json, "phase.json", nullptr, "json", "phase.json", true, false, write_phase_json},
    {unit_svg, nullptr, ".svg", "svg", "the SVG map", true, false, write_svg_map},
    {unit_phase, "phase.out", nullptr, nullptr, "phase.out", false, false, nullptr},
    {unit_log, "log.out", nullptr, nullptr, "log.out", false, true, nullptr},
};

namespace {

constexpr const output_kind& kind_of(output_id id) {
    return output_kinds[static_cast<int32_t>(id)];
}

// output_id names the rows in their order; the log is the last row.
static_assert(kind_of(output_id::map).unit == unit_map &&
              kind_of(output_id::json).unit == unit_json &&
              kind_of(output_id::svg_map).unit == unit_svg &&
              kind_of(output_id::phase).unit == unit_phase && kind_of(output_id::log).is_log &&
              static_cast<int32_t>(output_id::log) == max_outputs - 1);

output_record& row_of(output_id id) { return run.outputs[static_cast<int32_t>(id)]; }

// "map1.ps" -> "map1.svg", "maps/oxide.eps" -> "maps/oxide.svg", "plot" -> "plot.svg": the
// ending of the last part of the name replaced (a leading dot starts no ending).
std::string name_with_ending(std::string_view map_name, const char* ending) {
    const std::size_t slash = map_name.rfind('/');
    const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = map_name.rfind('.');
    const bool has_ending = dot != std::string_view::npos && dot > base;
    return std::string(has_ending ? map_name.substr(0, dot) : map_name) + ending;
}

}  // namespace

bool ask_for_output(output_choices& choices, std::string_view choice) {
    for (int32_t row = 0; row < max_outputs; ++row) {
        if (output_kinds[row].choice == nullptr || choice != output_kinds[row].choice) continue;
        choices.asked[row] = true;
        return true;
    }
    return false;
}

std::string_view output_choice(int32_t row) {
    const char* choice = output_kinds[row].choice;
    return choice != nullptr ? choice : "";
}

void set_up_outputs(const output_choices& choices) {
    for (int32_t row = 0; row < max_outputs; ++row) {
        const output_kind& kind = output_kinds[row];
        output_record& output = run.outputs[row];
        set_text(output.name, kind.file_name != nullptr ? kind.file_name : "");
        output.unit = kind.unit;
        output.is_asked = kind.choice == nullptr || choices.asked[row];
        output.is_log = kind.is_log;
    }
}

void set_up_host_outputs(const output_choices& choices) {
    set_up_outputs(choices);
    for (int32_t row = 0; row < max_outputs; ++row) run.outputs[row].is_asked = choices.asked[row];
}

void name_outputs_after_map(std::string_view map_name) {
    set_text(row_of(output_id::map).name, map_name);
    for (int32_t row = 0; row < max_outputs; ++row)
        if (output_kinds[row].ending != nullptr)
            set_text(run.outputs[row].name, name_with_ending(map_name, output_kinds[row].ending));
}

bool is_output_asked(output_id id) { return row_of(id).is_asked; }

std::string output_name(int32_t row) { return trimmed_text(run.outputs[row].name); }

void open_output(output_id id) {
    const output_record& output = row_of(id);
    open_output_unit(output.unit, trimmed_text(output.name).c_str());
}

void write_asked_outputs() {
    for (int32_t row = 0; row < max_outputs; ++row) {
        if (!run.outputs[row].is_asked || output_kinds[row].write == nullptr) continue;
        open_output(static_cast<output_id>(row));
        output_kinds[row].write();
        stop_on_floating_point_fault();
    }
}

void write_host_outputs(std::span<const host_output> outputs) {
    for (const host_output& output : outputs) {
        for (int32_t row = 0; row < max_outputs; ++row) {
            if (output_choice(row) != output.choice || !run.outputs[row].is_asked) continue;
            open_output(static_cast<output_id>(row));
            write_text_records(run.outputs[row].unit, output.text);
        }
    }
}

void commit_asked_outputs() {
    int32_t units[max_outputs];
    int32_t count = 0;
    for (const output_record& output : run.outputs)
        if (output.is_asked) units[count++] = output.unit;
    commit_output_units(std::span<const int32_t>(units, static_cast<std::size_t>(count)));
}

void keep_log_alone(const std::string& message) {
    for (const output_record& output : run.outputs)
        if (!output.is_log) discard_output_unit(output.unit);
    for (const output_record& output : run.outputs) {
        if (!output.is_log || !is_unit_open(output.unit)) continue;
        try {
            write_raw_record(output.unit, message);
            commit_output_units({output.unit});
        } catch (const run_stopped& log_failure) {
            if (log_failure.message != message) print_message(log_failure.message);
        }
    }
}

std::string utf8_output_titles() {
    const char* titles[max_outputs];
    int32_t count = 0;
    for (int32_t row = 0; row < max_outputs; ++row)
        if (run.outputs[row].is_asked && output_kinds[row].holds_utf8_text)
            titles[count++] = output_kinds[row].title;
    std::string listed;
    for (int32_t i = 0; i < count; ++i) {
        if (i > 0) listed += i + 1 == count ? " and " : ", ";
        listed += titles[i];
    }
    return listed;
}
