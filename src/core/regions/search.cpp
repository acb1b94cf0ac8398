// Vertex search: every triple of planes (the surfaces and the four window walls) is solved;
// an intersection inside the window and under no surface by more than the tolerance is a
// corner of the stability regions.
#include "core/modules.hpp"
#include "core/regions/regions.hpp"
#include "core/regions/system.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

// A surface counts as lower than a point only when it is lower by more than this.
constexpr float energy_tolerance = 0.0001f;

// The walls x = x_min and x = x_max are the first two rows after the surfaces.
bool is_x_wall(int32_t row) { return row == run.surface_count || row == run.surface_count + 1; }

bool is_y_wall(int32_t row) { return row == run.surface_count + 2 || row == run.surface_count + 3; }

// Window test without tolerance. A coordinate that a wall of the triple fixes is inside on
// that axis by construction: rounding in the solver may move it a step past the wall, and
// the corner must not be lost for that.
bool is_inside_window(const float point[3], bool x_fixed, bool y_fixed) {
    if (!x_fixed && (point[0] > run.x_max || point[0] < run.x_min)) return false;
    if (!y_fixed && (point[1] > run.y_max || point[1] < run.y_min)) return false;
    return true;
}

// Cramer's rule on plane rows i, j, k; a singular triple leaves the point as it was.
void solve_triple(int32_t i, int32_t j, int32_t k, float point[3], float& determinant) {
    const float col_x[3] = {run.plane_a[i], run.plane_a[j], run.plane_a[k]};
    const float col_y[3] = {run.plane_b[i], run.plane_b[j], run.plane_b[k]};
    const float col_g[3] = {run.plane_c[i], run.plane_c[j], run.plane_c[k]};
    const float rhs[3] = {-run.plane_d[i], -run.plane_d[j], -run.plane_d[k]};
    solve_three_planes(col_x, col_y, col_g, rhs, point, determinant);
}

// An empty record, the triple with its point (1-based rows), then the determinant.
void write_triple_trace(int32_t i, int32_t j, int32_t k, const float point[3], float determinant) {
    write_list(unit_log, {});
    write_list(unit_log, {item_int(i + 1), item_int(j + 1), item_int(k + 1), item_real(point[0]),
                          item_real(point[1]), item_real(point[2])});
    write_list(unit_log, {item_real(determinant)});
}

// Why a point fails the window: x_min, x, x_max and y_min, y, y_max.
void write_window_trace(const float point[3]) {
    write_list(unit_log, {item_real(run.x_min), item_real(point[0]), item_real(run.x_max)});
    write_list(unit_log, {item_real(run.y_min), item_real(point[1]), item_real(run.y_max)});
}

// Compares the point with every surface, tracing each when `traced` ("+++" when the surface
// lies lower by more than the tolerance); true when none does. Untraced, each energy is still
// narrowed as the trace narrows it, so a run stops on the same inputs either way.
bool is_on_lower_envelope(const float point[3], bool traced) {
    bool on_envelope = true;
    for (int32_t m = 0; m < run.surface_count; ++m) {
        const double energy = surface_energy(point[0], point[1], m);
        const bool is_lower =
            energy + static_cast<double>(energy_tolerance) < static_cast<double>(point[2]);
        if (is_lower) on_envelope = false;
        const float stored_energy = to_single(energy);
        if (traced)
            write_list(unit_log, {item_text(is_lower ? "+++" : "---"), item_int(m + 1),
                                  item_real(stored_energy), item_real(point[2])});
    }
    return on_envelope;
}

void append_to_region(int32_t row, int32_t vertex_number) {
    region_record& region = run.regions[row];
    region.vertex_list[region.n_vertices] = vertex_number;
    ++region.n_vertices;
}

// Stores the point as the next vertex and attaches it to the three planes, in triple order.
// Every vertex joins each region list at most once, so the lists cannot outgrow the table.
void accept_vertex(int32_t i, int32_t j, int32_t k, const float point[3], bool traced) {
    if (traced)
        write_list(unit_log, {item_text("****"), item_int(i + 1), item_int(j + 1), item_int(k + 1),
                              item_real(point[0]), item_real(point[1]), item_real(point[2])});
    if (run.vertex_count >= max_vertices)
        stop_run(
            unit_input, 0,
            "the surfaces give more than 100 region corners, more than the vertex table holds");
    run.vertices[run.vertex_count] = {point[0], point[1], point[2]};
    ++run.vertex_count;
    append_to_region(i, run.vertex_count);
    append_to_region(j, run.vertex_count);
    append_to_region(k, run.vertex_count);
}

}  // namespace

void search_vertices() {
    // Step 1: clear the vertex table and the surfaces' lists. The point of the last solved
    // triple is kept across singular triples, whose trace shows it.
    run.vertex_count = 0;
    for (int32_t s = 0; s < run.surface_count; ++s) run.regions[s].n_vertices = 0;
    float point[3] = {0.0f, 0.0f, 0.0f};
    float determinant = 0.0f;
    const int32_t plane_count = run.surface_count + 4;
    // The trace is most of the work; a run computed for its state alone skips building it.
    const bool traced = is_unit_kept(unit_log);

    // Step 2: every triple i < j < k in lexicographic order, solved by Cramer's rule.
    for (int32_t i = 0; i < plane_count - 2; ++i) {
        for (int32_t j = i + 1; j < plane_count - 1; ++j) {
            for (int32_t k = j + 1; k < plane_count; ++k) {
                solve_triple(i, j, k, point, determinant);
                if (traced) write_triple_trace(i, j, k, point, determinant);
                if (determinant == 0.0f) continue;

                // Step 3: keep the point when it lies in the window and on the envelope; the
                // envelope is traced for every solved point, inside the window or not.
                const bool x_fixed = is_x_wall(i) || is_x_wall(j) || is_x_wall(k);
                const bool y_fixed = is_y_wall(i) || is_y_wall(j) || is_y_wall(k);
                bool accepted = is_inside_window(point, x_fixed, y_fixed);
                if (!accepted && traced) write_window_trace(point);
                if (!is_on_lower_envelope(point, traced)) accepted = false;

                // Step 4: number the vertex and attach it to its three planes.
                if (accepted) accept_vertex(i, j, k, point, traced);
            }
        }
    }
}
