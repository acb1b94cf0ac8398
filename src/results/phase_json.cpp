// phase.json: the run's surfaces and stable regions as a JSON document. The numbers come
// from the values the run holds: stored reals as the shortest decimal that reads back to the
// same single-precision value, the area and centroid of a region (worked out here in double
// precision) as the shortest decimal of that double. None can be NaN or infinite: the reader
// refuses values beyond single precision and the checks after "stop" keep the window, the
// planes and every corner finite, and the area and centroid of finite corners stay far
// inside the range of a double.
#include <cmath>
#include <string>
#include <string_view>

#include "core/label_glyphs.hpp"
#include "core/modules.hpp"
#include "phasemap.hpp"
#include "records/records.hpp"
#include "results/results.hpp"

namespace {

std::string number(float value) { return shortest_real_text(value); }
std::string number(double value) { return shortest_real_text(value); }
std::string number(int32_t value) { return std::to_string(value); }

// A text as a JSON string: quotes, backslashes and the tab escaped, and as UTF-8 the way the
// SVG map shows it too (text_for_utf8_output; the reader has warned about what it replaces).
std::string json_string(std::string_view text) {
    std::string quoted = "\"";
    quoted += text_for_utf8_output(text, [](char c) -> const char* {
        switch (c) {
            case '"': return "\\\"";
            case '\\': return "\\\\";
            case '\t': return "\\t";
            default: return nullptr;
        }
    });
    quoted += '"';
    return quoted;
}

std::string pair(const std::string& a, const std::string& b) { return "[" + a + ", " + b + "]"; }

}  // namespace

// Coordinates are taken relative to the first corner, which keeps the cross products small.
region_measures measure_region(const run_state& state, const region_record& region) {
    const int32_t count = region.n_vertices;
    const vertex_row& origin = state.vertices[region.vertex_list[0] - 1];
    const double x0 = static_cast<double>(origin.x);
    const double y0 = static_cast<double>(origin.y);
    double twice_area = 0.0;
    double sum_x = 0.0;
    double sum_y = 0.0;
    double mean_x = 0.0;
    double mean_y = 0.0;
    for (int32_t p = 0; p < count; ++p) {
        const vertex_row& a = state.vertices[region.vertex_list[p] - 1];
        const vertex_row& b = state.vertices[region.vertex_list[(p + 1) % count] - 1];
        const double ax = static_cast<double>(a.x) - x0;
        const double ay = static_cast<double>(a.y) - y0;
        const double bx = static_cast<double>(b.x) - x0;
        const double by = static_cast<double>(b.y) - y0;
        const double cross = ax * by - bx * ay;
        twice_area += cross;
        sum_x += (ax + bx) * cross;
        sum_y += (ay + by) * cross;
        mean_x += ax;
        mean_y += ay;
    }
    if (twice_area == 0.0)
        return {0.0, x0 + mean_x / static_cast<double>(count),
                y0 + mean_y / static_cast<double>(count)};
    return {std::fabs(twice_area) * 0.5, x0 + sum_x / (3.0 * twice_area),
            y0 + sum_y / (3.0 * twice_area)};
}

namespace {

std::string surface_entry(int32_t s) {
    const surface_record& surface = run.surfaces[s];
    const std::string name = json_string(trimmed_view(surface.name));
    return "    {\"index\": " + number(s + 1) + ", \"name\": " + name + ", \"counts\": [" +
           number(surface.counts[0]) + ", " + number(surface.counts[1]) + ", " +
           number(surface.counts[2]) + "], \"area\": " + number(surface.area) +
           ", \"energy\": " + number(surface.energy) +
           ",\n     \"plane\": {\"a\": " + number(run.plane_a[s]) +
           ", \"b\": " + number(run.plane_b[s]) + ", \"d\": " + number(run.plane_d[s]) +
           "}, \"has_region\": " + (has_region(run.regions[s]) ? "true" : "false") + "}";
}

std::string region_entry(int32_t s) {
    const region_record& region = run.regions[s];
    std::string corners;
    std::string vertices;
    for (int32_t p = 0; p < region.n_vertices; ++p) {
        const vertex_row& corner = run.vertices[region.vertex_list[p] - 1];
        if (p > 0) {
            corners += ", ";
            vertices += ", ";
        }
        corners += pair(number(corner.x), number(corner.y));
        vertices += number(region.vertex_list[p]);
    }
    const region_measures measures = measure_region(run, region);
    return "    {\"surface\": " + number(s + 1) +
           ", \"name\": " + json_string(trimmed_view(run.surfaces[s].name)) +
           ",\n     \"vertices\": [" + vertices + "],\n     \"corners\": [" + corners +
           "],\n     \"centroid\": " +
           pair(number(measures.centroid_x), number(measures.centroid_y)) +
           ", \"area\": " + number(measures.area) + "}";
}

// Entries of a JSON array, one a line, separated by commas.
std::string array_lines(const std::string& entries) {
    return entries.empty() ? "[]" : "[\n" + entries + "\n  ]";
}

std::string document() {
    std::string surfaces;
    std::string regions;
    for (int32_t s = 0; s < run.surface_count; ++s) {
        surfaces += (s == 0 ? "" : ",\n") + surface_entry(s);
        if (has_region(run.regions[s])) regions += (regions.empty() ? "" : ",\n") + region_entry(s);
    }
    const std::string x_title = json_string(trimmed_view(run.x_axis_title));
    const std::string y_title = json_string(trimmed_view(run.y_axis_title));
    return "{\n"
           "  \"format\": \"phasemap-regions\",\n"
           "  \"version\": 1,\n"
           "  \"program\": {\"name\": \"phasemap\", \"version\": \"" +
           std::string(phasemap_version) +
           "\"},\n"
           "  \"window\": {\"x\": " +
           pair(number(run.x_min), number(run.x_max)) +
           ", \"y\": " + pair(number(run.y_min), number(run.y_max)) +
           "},\n"
           "  \"axis_titles\": {\"x\": " +
           x_title + ", \"y\": " + y_title +
           "},\n"
           "  \"surfaces\": " +
           array_lines(surfaces) +
           ",\n"
           "  \"regions\": " +
           array_lines(regions) + "\n}\n";
}

}  // namespace

std::string text_in_phase_json(std::string_view text) {
    return text_for_utf8_output(text, [](char) -> const char* { return nullptr; });
}

std::string phase_json_of(const run_state& solved) {
    run = solved;
    return document();
}

void write_phase_json() { write_text_records(unit_json, document()); }
