// Random surfaces over random windows: every corner found lies on its own surface and on
// the lower envelope, and the ordered regions tile the window (clockwise polygons whose
// areas add up to the window's area).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "modules.hpp"
#include "records/fatal.hpp"
#include "regions/regions.hpp"
#include "regions/system.hpp"

namespace {

// Uniform in [low, high), from raw generator bits so the cases are the same everywhere.
double uniform(std::mt19937& bits, double low, double high) {
    return low + (high - low) * (static_cast<double>(bits()) / 4294967296.0);
}

void add_surface(double a, double b, double d) {
    const int32_t row = run.surface_count++;
    run.plane_a[row] = static_cast<float>(a);
    run.plane_b[row] = static_cast<float>(b);
    run.plane_c[row] = -1.0f;
    run.plane_d[row] = static_cast<float>(d);
}

void close_window(double x_min, double x_max, double y_min, double y_max) {
    run.x_min = static_cast<float>(x_min);
    run.x_max = static_cast<float>(x_max);
    run.y_min = static_cast<float>(y_min);
    run.y_max = static_cast<float>(y_max);
    const float bounds[4] = {run.x_min, run.x_max, run.y_min, run.y_max};
    for (int32_t w = 0; w < 4; ++w) {
        const int32_t row = run.surface_count + w;
        run.plane_a[row] = w < 2 ? 1.0f : 0.0f;
        run.plane_b[row] = w < 2 ? 0.0f : 1.0f;
        run.plane_c[row] = 0.0f;
        run.plane_d[row] = -bounds[w];
    }
}

// Most surfaces touch a concave bowl at a point of the window, so each owns a cell of it;
// the rest are free planes that may win anywhere or nowhere.
void make_random_case(std::mt19937& bits) {
    reset_run_state();
    const double x_min = uniform(bits, -3.0, 0.0);
    const double x_max = x_min + uniform(bits, 0.2, 3.0);
    const double y_min = uniform(bits, -3.0, 0.0);
    const double y_max = y_min + uniform(bits, 0.2, 3.0);
    const int32_t count = 1 + static_cast<int32_t>(bits() % max_plane_surfaces);
    const double bowl = uniform(bits, 0.5, 20.0);
    for (int32_t s = 0; s < count; ++s) {
        if (bits() % 4 == 0) {
            add_surface(uniform(bits, -5.0, 5.0), uniform(bits, -5.0, 5.0), uniform(bits, -5.0, 5.0));
            continue;
        }
        const double px = uniform(bits, x_min, x_max);
        const double py = uniform(bits, y_min, y_max);
        const double level = -bowl * (px * px + py * py);
        // Tangent plane of g = -bowl * (x^2 + y^2) at (px, py).
        add_surface(-2.0 * bowl * px, -2.0 * bowl * py, level + 2.0 * bowl * (px * px + py * py));
    }
    close_window(x_min, x_max, y_min, y_max);
}

double lowest_energy(float x, float y) {
    double lowest = surface_energy(x, y, 0);
    for (int32_t m = 1; m < run.surface_count; ++m) lowest = std::min(lowest, surface_energy(x, y, m));
    return lowest;
}

// Signed area of the region's polygon in list order: negative when clockwise.
double shoelace_area(const region_record& region) {
    double twice_area = 0.0;
    for (int32_t p = 0; p < region.n_vertices; ++p) {
        const vertex_row& from = run.vertices[region.vertex_list[p] - 1];
        const vertex_row& to = run.vertices[region.vertex_list[(p + 1) % region.n_vertices] - 1];
        twice_area += static_cast<double>(from.x) * static_cast<double>(to.y) -
                      static_cast<double>(to.x) * static_cast<double>(from.y);
    }
    return twice_area / 2.0;
}

TEST(RegionsProperty, CornersOnEnvelopeAndRegionsTileTheWindow) {
    std::mt19937 bits(20240611u);
    begin_fp_traps();
    for (int32_t trial = 0; trial < 400; ++trial) {
        make_random_case(bits);
        search_vertices();
        report_regions();
        SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(run.surface_count) + " surfaces");

        for (int32_t s = 0; s < run.surface_count; ++s) {
            const region_record& region = run.regions[s];
            for (int32_t p = 0; p < region.n_vertices; ++p) {
                const vertex_row& corner = run.vertices[region.vertex_list[p] - 1];
                const double scale = 1.0 + std::fabs(static_cast<double>(corner.energy));
                EXPECT_NEAR(surface_energy(corner.x, corner.y, s), static_cast<double>(corner.energy), 1e-5 * scale);
                EXPECT_GE(lowest_energy(corner.x, corner.y) + 0.0001, static_cast<double>(corner.energy) - 1e-5 * scale);
            }
        }

        const double window_area = (static_cast<double>(run.x_max) - static_cast<double>(run.x_min)) *
                                   (static_cast<double>(run.y_max) - static_cast<double>(run.y_min));
        double covered = 0.0;
        for (int32_t s = 0; s < run.surface_count; ++s) {
            if (run.regions[s].n_vertices < 3) continue;
            const double area = shoelace_area(run.regions[s]);
            EXPECT_LE(area, 1e-6 * window_area) << "surface " << s + 1 << " is not clockwise";
            covered -= area;
        }
        EXPECT_NEAR(covered, window_area, 1e-4 * window_area);
        if (testing::Test::HasFailure()) break;
    }
    end_fp_traps();
}

}  // namespace
