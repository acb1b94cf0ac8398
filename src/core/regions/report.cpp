// Region report: every surface with at least three corners gets its count line in log.out
// and phase.out, one line per corner, and its corner list sorted into drawing order.
#include <cmath>
#include <numbers>
#include <utility>

#include "core/modules.hpp"
#include "core/regions/regions.hpp"
#include "core/regions/system.hpp"
#include "records/records.hpp"

namespace {

constexpr float pi_single = static_cast<float>(std::numbers::pi);

void write_count_line(int32_t unit, int32_t surface) {
    write_list(unit, {item_text(run.surfaces[surface].name), item_text("has    "),
                      item_int(run.regions[surface].n_vertices), item_text(" vertices")});
}

// All 100 entries of a list in one list-directed statement, zeros after the corners.
template <std::size_t... position>
void write_whole_list(const int32_t (&list)[max_vertices], std::index_sequence<position...>) {
    write_list(unit_log, {item_int(list[position])...});
}

void write_whole_list(const int32_t (&list)[max_vertices]) {
    write_whole_list(list, std::make_index_sequence<max_vertices>());
}

// Polar angle of (dx, dy) in (-pi, pi]: arccos(dx / r) carrying the sign of dy.
float polar_angle(float dx, float dy) {
    if (dy == 0.0f) return dx >= 0.0f ? 0.0f : pi_single;
    const double dx_wide = static_cast<double>(dx);
    const double dy_wide = static_cast<double>(dy);
    // r >= |dx| and r >= |dy| > 0 after every rounding, so the quotient lies in [-1, 1].
    const float r = to_single(std::sqrt(dx_wide * dx_wide + dy_wide * dy_wide));
    return to_single(std::acos(dx_wide / static_cast<double>(r)) / std::fabs(dy_wide) * dy_wide);
}

// Selection sort by descending angle; among equal largest angles the earliest position wins.
void sort_by_descending_angle(region_record& work, float angles[max_vertices]) {
    const int32_t count = work.n_vertices;
    for (int32_t p = 0; p < count - 1; ++p) {
        int32_t best = p;
        float best_angle = angles[p];
        for (int32_t q = p + 1; q < count; ++q) {
            if (angles[q] > best_angle) {
                best = q;
                best_angle = angles[q];
            }
        }
        std::swap(work.vertex_list[p], work.vertex_list[best]);
        std::swap(angles[p], angles[best]);
    }
}

}  // namespace

void report_regions() {
    for (int32_t surface = 0; surface < run.surface_count; ++surface) {
        if (!has_region(run.regions[surface])) continue;
        write_count_line(unit_log, surface);
        write_count_line(unit_phase, surface);
        order_region(surface);
    }
}

void order_region(int32_t surface) {
    region_record& region = run.regions[surface];
    const int32_t count = region.n_vertices;

    // Step 1: centroid of the listed corners; a corner listed twice counts twice.
    double sum_x = 0.0;
    double sum_y = 0.0;
    for (int32_t p = 0; p < count; ++p) {
        const vertex_row& vertex = run.vertices[region.vertex_list[p] - 1];
        sum_x += static_cast<double>(vertex.x);
        sum_y += static_cast<double>(vertex.y);
    }
    const float centroid_x =
        to_single(static_cast<double>(to_single(sum_x)) / static_cast<double>(count));
    const float centroid_y =
        to_single(static_cast<double>(to_single(sum_y)) / static_cast<double>(count));
    write_list(unit_log, {});
    write_list(unit_log, {item_real(centroid_x), item_real(centroid_y)});

    // Step 2: the angle of every corner about the centroid, reported in both files.
    float angles[max_vertices];
    for (int32_t p = 0; p < count; ++p) {
        const int32_t vertex_number = region.vertex_list[p];
        const vertex_row& vertex = run.vertices[vertex_number - 1];
        const float dx = to_single(static_cast<double>(vertex.x) - static_cast<double>(centroid_x));
        const float dy = to_single(static_cast<double>(vertex.y) - static_cast<double>(centroid_y));
        angles[p] = polar_angle(dx, dy);
        const float x = to_single(static_cast<double>(centroid_x) + static_cast<double>(dx));
        const float y = to_single(static_cast<double>(centroid_y) + static_cast<double>(dy));
        for (int32_t unit : {unit_log, unit_phase})
            write_list(unit,
                       {item_int(vertex_number), item_real(x), item_real(y), item_real(angles[p])});
    }

    // Step 3: sort a copy of the list, showing it before and after (unless the log is only
    // computed, not kept), and put it back.
    const bool traced = is_unit_kept(unit_log);
    region_record work = region;
    if (traced) write_whole_list(work.vertex_list);
    sort_by_descending_angle(work, angles);
    if (traced) write_whole_list(work.vertex_list);
    region = work;
}
