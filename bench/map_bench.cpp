// Time to lay out and write one map for a full run state: 16 surfaces, each region a 12-corner
// polygon, a window of 10 by 10 units (11 major and 51 minor ticks per axis) and marked-up axis
// titles. Output goes onto /dev/null (or the file named by the first argument).
// Build Release and run: build/bench/map_bench
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/modules.hpp"
#include "maps/page/page.hpp"
#include "maps/printps/printps.hpp"
#include "records/records.hpp"

namespace {

constexpr int32_t maps_per_pass = 2000;
constexpr int32_t passes = 5;
constexpr int32_t corners = 12;

void fill_run_state() {
    reset_run_state();
    run.x_min = -10.0f;
    run.x_max = 0.0f;
    run.y_min = -10.0f;
    run.y_max = 0.0f;
    for (pressure_scale& set : run.scales) set.temperature = -1.0f;
    set_text(run.x_axis_title, "H_{2}O^{+}_{ads}");
    set_text(run.y_axis_title, "O_{2}^{gas}");
    run.surface_count = 16;
    for (int32_t s = 0; s < 16; ++s) {
        region_record& region = run.regions[s];
        for (int32_t c = 0; c < corners; ++c) {
            const int32_t v = (s * corners + c) % max_vertices;
            const double angle = 6.283185307179586 * c / corners;
            run.vertices[v] = {static_cast<float>(-5.0 + 4.0 * std::cos(angle)),
                               static_cast<float>(-5.0 + 4.0 * std::sin(angle)), 0.0f};
            region.vertex_list[c] = v + 1;
        }
        region.n_vertices = corners;
    }
    run.vertex_count = max_vertices;
}

}  // namespace

int main(int argc, char** argv) {
    // The units write temporaries beside this name, removed again at the end.
    const std::string target =
        argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "map-bench.ps").string();
    fill_run_state();
    open_output_unit(unit_log, target.c_str());
    open_output_unit(unit_map, target.c_str());
    double best = 1.0e30;
    for (int32_t pass = 0; pass < passes; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (int32_t i = 0; i < maps_per_pass; ++i) {
            lay_out_page();
            write_map();
        }
        flush_output_units();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    close_all_units();
    std::printf("lay_out_page and write_map: %.1f us per map (best of %d passes of %d maps)\n",
                best / maps_per_pass * 1.0e6, passes, maps_per_pass);
    return 0;
}
