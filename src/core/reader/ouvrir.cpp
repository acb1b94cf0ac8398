#include "core/reader/ouvrir.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "core/modules.hpp"
#include "core/numbers.hpp"
#include "core/outputs.hpp"
#include "core/reader/keywords.hpp"
#include "core/reader/ouvrir_checks.hpp"
#include "core/reader/ouvrir_warnings.hpp"
#include "core/reader/surface_table.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

// From an energy in eV per Å² of the slab to a surface energy in J/m²: 1 eV/Å² is 16.0218
// J/m², halved because the slab's energy is shared by its two faces, and rounded to 8.01.
constexpr float energy_scale = 8.01f;

// One read statement of an entry's data, with a warning when it leaves values of its record
// unread.
void read_values(std::string_view entry, std::initializer_list<input_item> items) {
    const read_report report = read_list(entry, items);
    warn_about_unread_values(report);
    warn_about_cut_text(report, entry);
}

// What the reader keeps while it reads one input.
struct reader_state {
    text20 keyword;  // the keyword record as read with "(a8)": 8 characters and 12 blanks
    entry_lines lines;
    // The counted entry read last, while the next keyword record has not been read.
    const keyword_info* just_read;
    int32_t just_read_count;
};

std::string surface_label(int32_t index, const surface_record& surface) {
    return "surface " + std::to_string(index + 1) + " " +
           quoted_for_message(trimmed_text(surface.name));
}

// Stores a plane coefficient in single precision; one that overflows stops the run.
float store_coefficient(double value, const char* coefficient, int32_t index,
                        const surface_record& surface) {
    float stored = 0.0f;
    if (!to_float_if_fits(value, stored))
        stop_run_on_input("the plane coefficient " + std::string(coefficient) + " of " +
                          surface_label(index, surface) + " overflows single precision");
    return stored;
}

// The energy plane of surface `index`, from its record and the bulk values in force now.
surface_plane derive_surface_plane(int32_t index, const surface_record& surface) {
    if (run.bulk_count_1 == 0)
        stop_run_on_input(
            surface_label(index, surface) +
            " is read while bulk_count_1 is 0; a bulk entry with a non-zero first count must come "
            "before the surfaces");
    if (surface.area == 0.0f) stop_run_on_input(surface_label(index, surface) + " has area 0");

    const double bulk_ratio =
        static_cast<double>(surface.counts[0]) / static_cast<double>(run.bulk_count_1);
    const double area = static_cast<double>(surface.area);
    const double scale = static_cast<double>(energy_scale);
    const double d =
        ((static_cast<double>(surface.energy) - static_cast<double>(run.bulk_energy) * bulk_ratio) /
         area) *
        scale;
    const double a = ((static_cast<double>(surface.counts[1]) -
                       bulk_ratio * static_cast<double>(run.bulk_count_2)) /
                      area) *
                     -scale;
    const double b = (static_cast<double>(surface.counts[2]) / area) * -scale;
    surface_plane plane{};
    plane.d = store_coefficient(d, "plane_d", index, surface);
    plane.a = store_coefficient(a, "plane_a", index, surface);
    plane.b = store_coefficient(b, "plane_b", index, surface);
    return plane;
}

void read_bulk_entry(const std::string& entry) {
    read_values(entry, {in_int(run.bulk_count_1, "bulk_count_1"),
                        in_int(run.bulk_count_2, "bulk_count_2")});
    read_values(entry, {in_real(run.bulk_energy, "the total bulk energy"),
                        in_int(run.bulk_divisor, "bulk_divisor")});
    if (run.bulk_divisor == 0)
        stop_run_on_input("bulk_divisor is 0, so the bulk energy per unit cell is undefined");
    run.bulk_energy_total = run.bulk_energy;
    run.bulk_energy = static_cast<float>(static_cast<double>(run.bulk_energy) /
                                         static_cast<double>(run.bulk_divisor));
    write_list(unit_log, {item_text("Bulk energy, per unit cell"), item_real(run.bulk_energy)});
}

// Reads the count of entries where the keyword's table row says it stands: after the word in
// free format (on its record or the next one), or in columns 7-26 of the keyword record.
void read_count(reader_state& r, const keyword_info& info, int32_t& count, std::string_view entry,
                const char* count_name) {
    backspace_input();
    if (info.count == count_place::columns)
        read_keyword_a6_i20(r.keyword, count, entry);
    else
        warn_about_unread_values(
            read_list(entry, {in_text(r.keyword, "the keyword"), in_int(count, count_name)}));
}

void note_counted_entry(reader_state& r, const keyword_info& info, int32_t count) {
    r.just_read = &info;
    r.just_read_count = count;
}

// `entry`: "the text entry"; `hint`, where to go instead, is added to the message.
void refuse_count_above(int32_t count, int32_t capacity, const std::string& entry,
                        const char* things, const char* hint = "") {
    if (count > capacity)
        stop_run_on_input(entry + " declares " + std::to_string(count) + " " + things +
                          "; at most " + std::to_string(capacity) + " can be held" + hint);
}

// Where an input of more surfaces than the program holds is solved.
constexpr char more_surfaces_hint[] =
    " (for any number, run python3 -m phasemap, or use phasemap.read_input(path, "
    "limits=False) in Python)";

// The surfaces of a surf entry. A host's sink (surface_table.hpp) lifts the limit of the
// program's table and gets every surface; the program's table holds the first 16 either way.
void read_surfaces_entry(reader_state& r, const keyword_info& info) {
    const std::string entry = entry_name(info);
    int32_t count = surfaces_read();  // a count left out keeps the one read before
    read_count(r, info, count, entry, "the number of surfaces");
    if (!has_surface_sink())
        refuse_count_above(count, max_plane_surfaces, entry, "surfaces", more_surfaces_hint);
    if (count < 0)
        stop_run_on_input(entry + " declares " + std::to_string(count) +
                          " surfaces; the number cannot be negative");
    begin_surface_entry(count);
    for (int32_t i = 0; i < count; ++i) {
        surface_record& surface = surface_to_read(i);
        read_values("surface " + std::to_string(i + 1),
                    {in_text(surface.name, "name"), in_int(surface.counts[0], "count_1"),
                     in_int(surface.counts[1], "count_2"), in_int(surface.counts[2], "count_3"),
                     in_real(surface.area, "area"), in_real(surface.energy, "energy")});
        const int32_t line = input_line_number();
        const bool is_area_negative = surface.area < 0.0f;
        keep_surface(i, line, derive_surface_plane(i, surface));
        if (is_area_negative) warn_if_negative_area(i, line);
    }
    end_surface_entry(count);
    note_counted_entry(r, info, count);
}

void read_guide_values(reader_state& r, const keyword_info& info, float* values, int32_t& count,
                       const char* value_name) {
    // Its count is read from columns, whose messages name it "xbound entry".
    const std::string entry = std::string(info.word) + " entry";
    read_count(r, info, count, entry, nullptr);
    refuse_count_above(count, max_table_entries, entry_name(info), "values");
    for (int32_t i = 0; i < count; ++i)
        read_values(entry + ", value " + std::to_string(i + 1), {in_real(values[i], value_name)});
    note_counted_entry(r, info, count);
}

void read_labels_entry(reader_state& r, const keyword_info& info) {
    read_count(r, info, run.label_count, entry_name(info), "the number of labels");
    refuse_count_above(run.label_count, max_table_entries, entry_name(info), "labels");
    for (int32_t i = 0; i < run.label_count; ++i) {
        label_record& label = run.labels[i];
        read_values("label " + std::to_string(i + 1),
                    {in_real(label.x, "x"), in_real(label.y, "y"),
                     in_real(label.label_size, "label_size"), in_text(label.text, "text")});
        r.lines.labels[i] = input_line_number();
    }
    note_counted_entry(r, info, run.label_count);
}

void read_equi_entry(reader_state& r, const keyword_info& info) {
    read_count(r, info, run.equi_count, entry_name(info), "the number of equilibrium lines");
    refuse_count_above(run.equi_count, max_table_entries, entry_name(info), "lines");
    for (int32_t i = 0; i < run.equi_count; ++i) {
        equi_record& line = run.equi_lines[i];
        read_values("equi line " + std::to_string(i + 1),
                    {in_int(line.coef_x, "coef_x"), in_int(line.coef_y, "coef_y"),
                     in_real(line.line_constant, "line_constant")});
    }
    note_counted_entry(r, info, run.equi_count);
}

void read_equ2_entry(reader_state& r, const keyword_info& info) {
    read_count(r, info, run.equ2_count, entry_name(info),
               "the number of bounded equilibrium lines");
    refuse_count_above(run.equ2_count, max_table_entries, entry_name(info), "lines");
    for (int32_t i = 0; i < run.equ2_count; ++i) {
        equ2_record& line = run.equ2_lines[i];
        read_values("equ2 line " + std::to_string(i + 1),
                    {in_int(line.coef_x, "coef_x"), in_int(line.coef_y, "coef_y"),
                     in_real(line.line_constant, "line_constant"), in_real(line.x_from, "x_from"),
                     in_real(line.x_to, "x_to"), in_real(line.y_low, "y_low"),
                     in_real(line.y_high, "y_high")});
    }
    note_counted_entry(r, info, run.equ2_count);
}

void read_temperature_set(pressure_scale& set, const std::string& entry) {
    read_values(entry, {in_real(set.temperature, "the temperature"), in_real(set.x_origin, "x0"),
                        in_real(set.y_origin, "y0"), in_real(set.x_step, "the x step"),
                        in_real(set.y_step, "the y step")});
}

// The map file name holds 20 characters. A longer name is refused rather than cut, since
// the cut name could overwrite an unrelated file; it is read into a wider text to see it.
void read_map_file_name(const std::string& entry) {
    char name[256];
    set_text(name, static_cast<int32_t>(sizeof name), "");
    std::memcpy(name, run.map_file_name.data(), run.map_file_name.size());
    warn_about_unread_values(
        read_list(entry, {in_text(name, static_cast<int32_t>(sizeof name), "the map file name")}));
    const int32_t length = trimmed_length(name, static_cast<int32_t>(sizeof name));
    if (length > static_cast<int32_t>(run.map_file_name.size()))
        stop_run_on_input(
            "the map file name " +
            quoted_for_message(std::string_view(name, static_cast<std::size_t>(length))) +
            " is longer than 20 characters");
    std::memcpy(run.map_file_name.data(), name, run.map_file_name.size());
}

// Carries out the entry of keyword `info`; the line of an entry of one record is noted for
// the messages of the checks after "stop".
void read_entry(reader_state& r, const keyword_info& info) {
    const std::string entry = entry_name(info);
    switch (info.id) {
        case keyword::stop: return;
        case keyword::bulk: read_bulk_entry(entry); return;
        case keyword::bound:
            read_values(entry, {in_real(run.x_min, "x_min"), in_real(run.x_max, "x_max"),
                                in_real(run.y_min, "y_min"), in_real(run.y_max, "y_max")});
            break;
        case keyword::surf: read_surfaces_entry(r, info); return;
        case keyword::xbound:
            read_guide_values(r, info, run.xbound_values, run.xbound_count, "the x value");
            return;
        case keyword::ybound:
            read_guide_values(r, info, run.ybound_values, run.ybound_count, "the y value");
            return;
        case keyword::text: read_labels_entry(r, info); return;
        case keyword::xaxi:
            read_values(entry, {in_text(run.x_axis_title, "the x axis title")});
            break;
        case keyword::yaxi:
            read_values(entry, {in_text(run.y_axis_title, "the y axis title")});
            break;
        case keyword::equi: read_equi_entry(r, info); return;
        case keyword::equ2: read_equ2_entry(r, info); return;
        case keyword::temp1: read_temperature_set(run.scales[0], entry); break;
        case keyword::temp2: read_temperature_set(run.scales[1], entry); break;
        case keyword::shiftx: read_values(entry, {in_real(run.shift_x, "shift_x")}); break;
        case keyword::shifty: read_values(entry, {in_real(run.shift_y, "shift_y")}); break;
        case keyword::output: read_map_file_name(entry); break;
    }
    line_of(r.lines, info.id) = input_line_number();
}

void set_defaults() {
    set_text(run.map_file_name, "map1.ps");
    set_text(run.x_axis_title, "H");
    set_text(run.y_axis_title, "O");
    run.shift_x = 0.0f;
    run.shift_y = 0.0f;
    for (pressure_scale& set : run.scales) set.temperature = -1.0f;
}

// The labels and axis titles the map will draw and the surface names, in the order of their
// lines, each checked for characters that the outputs do not show as typed. The surfaces,
// whose lines rise in the order they are read, are merged into the titles and labels sorted
// by line, a title or label first where lines are equal.
void warn_about_text_characters(const entry_lines& lines) {
    struct checked_text {
        int32_t line;
        const text40* text;
        std::string what;
    };
    checked_text texts[max_table_entries + 2];
    int32_t count = 0;
    texts[count++] = {line_of(lines, keyword::xaxi), &run.x_axis_title, "the x axis title"};
    texts[count++] = {line_of(lines, keyword::yaxi), &run.y_axis_title, "the y axis title"};
    for (int32_t i = 0; i < run.label_count; ++i)
        texts[count++] = {lines.labels[i], &run.labels[i].text, "label " + std::to_string(i + 1)};
    const std::string replacing_outputs = utf8_output_titles();
    std::stable_sort(texts, texts + count,
                     [](const checked_text& a, const checked_text& b) { return a.line < b.line; });
    const int32_t surfaces = surfaces_read();
    int32_t next = 0;
    for (int32_t s = 0; s <= surfaces; ++s) {
        const surface_read surface = s < surfaces ? surface_read_at(s) : surface_read{};
        for (; next < count && (s == surfaces || texts[next].line <= surface.line); ++next)
            warn_about_undrawn_characters(*texts[next].text, texts[next].line, texts[next].what);
        if (s < surfaces)
            warn_about_name_characters(surface.record.name, surface.line,
                                       "the name of surface " + std::to_string(s + 1),
                                       replacing_outputs);
    }
}

// Echo of what was read: counts, surfaces, labels, equilibrium lines, x guide values.
void write_echo() {
    write_list(unit_log, {item_text("n_surfaces"), item_int(run.surface_count)});
    for (int32_t i = 0; i < run.surface_count; ++i) {
        const surface_record& surface = run.surfaces[i];
        write_list(unit_log, {item_text(surface.name)});
        for (int32_t count : surface.counts) write_list(unit_log, {item_int(count)});
        write_list(unit_log, {item_real(surface.area)});
        write_list(unit_log, {item_real(surface.energy)});
    }
    write_list(unit_log, {item_text("n_text"), item_int(run.label_count)});
    for (int32_t i = 0; i < run.label_count; ++i) {
        const label_record& label = run.labels[i];
        write_list(unit_log, {item_real(label.x)});
        write_list(unit_log, {item_real(label.y)});
        write_list(unit_log, {item_real(label.label_size)});
        write_list(unit_log, {item_text(label.text)});
    }
    write_list(unit_log, {item_text("n_equi"), item_int(run.equi_count)});
    for (int32_t i = 0; i < run.equi_count; ++i) {
        const equi_record& line = run.equi_lines[i];
        write_list(unit_log, {item_int(line.coef_x)});
        write_list(unit_log, {item_int(line.coef_y)});
        write_list(unit_log, {item_real(line.line_constant)});
    }
    write_list(unit_log, {item_text("n_equi2"), item_int(run.equ2_count)});
    for (int32_t i = 0; i < run.equ2_count; ++i) {
        const equ2_record& line = run.equ2_lines[i];
        const float reals[5] = {line.line_constant, line.x_from, line.x_to, line.y_low,
                                line.y_high};
        write_list(unit_log, {item_int(line.coef_x)});
        write_list(unit_log, {item_int(line.coef_y)});
        for (int32_t r = 0; r < 5; ++r) write_list(unit_log, {item_real(reals[r])});
    }
    for (int32_t i = 0; i < run.xbound_count; ++i)
        write_list(unit_log, {item_real(run.xbound_values[i]), item_text("*********************")});
}

}  // namespace

// The four window edges as planes after the n surfaces.
void append_window_edges() {
    const int32_t n = run.surface_count;
    const float edge_value[4] = {run.x_min, run.x_max, run.y_min, run.y_max};
    for (int32_t e = 0; e < 4; ++e) {
        const bool is_x_edge = e < 2;
        run.plane_a[n + e] = is_x_edge ? 1.0f : 0.0f;
        run.plane_b[n + e] = is_x_edge ? 0.0f : 1.0f;
        run.plane_c[n + e] = 0.0f;
        run.plane_d[n + e] = -edge_value[e];
    }
}

void read_input() {
    open_input_unit(input_file_name);
    open_output(output_id::log);
    open_output(output_id::phase);
    set_defaults();

    reader_state r{};
    for (;;) {
        read_keyword_a8(r.keyword, "a keyword record (the input must end with stop)");
        const keyword_info* info = keyword_of_record(std::string_view(r.keyword.data(), 20));
        const keyword_info* just_read = std::exchange(r.just_read, nullptr);
        if (info == nullptr) {
            warn_about_comment(input_record_text(), input_line_number(), just_read,
                               r.just_read_count);
            continue;
        }
        if (info->id == keyword::stop) {
            line_of(r.lines, keyword::stop) = input_line_number();
            break;
        }
        read_entry(r, *info);
    }
    warn_about_text_characters(r.lines);
    warn_if_no_surfaces(surfaces_read(), line_of(r.lines, keyword::stop));

    name_outputs_after_map(trimmed_view(run.map_file_name));
    check_output_names(r.lines);
    check_input_before_drawing(r.lines);
    warn_if_one_surface_everywhere(line_of(r.lines, keyword::bound));
    open_output(output_id::map);
    append_window_edges();
    write_echo();
}
