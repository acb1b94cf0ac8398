// The energy planes as the reader derives them, then region kernels, ordering and a tiling
// property over run states filled by hand as the reader fills them, under the floating-point
// traps of a run (whole runs, the vertex limit among them, are golden cases).
#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

#include "core/modules.hpp"
#include "core/outputs.hpp"
#include "core/reader/ouvrir.hpp"
#include "core/regions/regions.hpp"
#include "core/regions/system.hpp"
#include "core/run_guards.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

// Plane coefficients at the moment each surface is read. With the bulk energy -8.25 per unit and r
// = 8 / 1: d of "clean" is
// ((-140.2 + 66) / 20.5) * 8.01 = -28.99229, of "with H" ((-147.9 + 66) / 20.5) * 8.01 =
// -32.00093; a is (16 - 8 * 2) / 20.5 * -8.01 = -0; b of "with H" is 2 / 20.5 * -8.01 =
// -0.7814634. The last digits are those of single precision. After the surfaces, the four
// window edges x = -2, x = 0, y = -1.5, y = 0 as planes a x + b y + d = 0 with c = 0.
TEST(ReaderPlanes, CoefficientsAndWindowEdges) {
    const std::string dir = test_scratch_dir(), here = std::filesystem::current_path().string();
    write_file(dir + "/input.txt",
               "bulk\n1 2\n-16.5 2\nbound\n-2.0 0.0 -1.5 0.0\nsurf 2\nclean 8 16 0 20.5 -140.2\n"
               "'with H' 8 16 2 20.5 -147.9\nstop\n");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    reset_run_state();
    set_up_outputs({});
    EXPECT_EQ(stop_message(read_input), "");
    close_all_units();
    ASSERT_EQ(chdir(here.c_str()), 0);

    EXPECT_EQ(run.plane_d[0], -28.9922924f);
    EXPECT_EQ(run.plane_d[1], -32.000927f);
    EXPECT_EQ(run.plane_a[0], 0.0f);
    EXPECT_TRUE(std::signbit(run.plane_a[0]));
    EXPECT_EQ(run.plane_b[0], -0.0f);
    EXPECT_EQ(run.plane_b[1], -0.781463444f);
    EXPECT_EQ(run.plane_c[1], -1.0f);

    const float edges[4][4] = {{1, 0, 0, 2}, {1, 0, 0, 0}, {0, 1, 0, 1.5f}, {0, 1, 0, 0}};
    for (int32_t e = 0; e < 4; ++e) {
        const int32_t row = 2 + e;
        EXPECT_EQ(run.plane_a[row], edges[e][0]) << "edge " << e;
        EXPECT_EQ(run.plane_b[row], edges[e][1]) << "edge " << e;
        EXPECT_EQ(run.plane_c[row], edges[e][2]) << "edge " << e;
        EXPECT_EQ(run.plane_d[row], edges[e][3]) << "edge " << e;
    }
}

// Each test writes its log.out and phase.out into a scratch folder of its own.
class Regions : public testing::Test {
protected:
    void SetUp() override {
        reset_run_state();
        dir = test_scratch_dir();
        open_output_unit(unit_log, (dir + "/log.out").c_str());
        open_output_unit(unit_phase, (dir + "/phase.out").c_str());
        begin_fp_traps();
    }
    void TearDown() override { end_fp_traps(), close_all_units(); }
    std::string dir;
};

void add_surface(double a, double b, double d) {
    const int32_t row = run.surface_count++;
    std::tie(run.plane_a[row], run.plane_b[row], run.plane_c[row], run.plane_d[row]) =
        std::tuple(static_cast<float>(a), static_cast<float>(b), -1.0f, static_cast<float>(d));
}

void list_vertex(int32_t row, float x, float y) {
    run.vertices[run.vertex_count++] = {x, y, 0.0f};
    run.regions[row].vertex_list[run.regions[row].n_vertices++] = run.vertex_count;
}

std::vector<int32_t> region_list(int32_t row) {
    return {run.regions[row].vertex_list,
            run.regions[row].vertex_list + run.regions[row].n_vertices};
}

// Each expected value holds only for the written order with double intermediates.
TEST_F(Regions, KernelsKeepOrderAndPrecision) {
    add_surface(1.0e10, -1.0e10, 1.0);  // a*x and b*y cancel before d is added
    EXPECT_EQ(surface_energy(1.0e10f, 1.0e10f, 0), 1.0);
    add_surface(1.0 + 0x1p-20, 0.0, -(1.0 + 0x1p-19));  // a*x is not rounded to single
    EXPECT_EQ(surface_energy(1.0f + 0x1p-20f, 5.0f, 1), 0x1p-40);
    // (T1 + T2) + T3
    const float cancelling[9] = {1, 0, 1.0e10f, 0, 1, -1.0e10f, 1.0e10f, 1.0e10f, 1};
    EXPECT_EQ(determinant3(cancelling), 1.0);
    const float col_x[3] = {0x1.6ac1f4p+0f, 0, 0}, col_y[3] = {0, 0x1.ff478p+0f, 0},
                col_g[3] = {0, 0, 1};
    const float rhs[3] = {0x1.b8672ep+0f, 0, 0};
    float solution[3] = {}, determinant = 0.0f;
    solve_three_planes(col_x, col_y, col_g, rhs, solution, determinant);
    EXPECT_EQ(solution[0], 0x1.36cb76p+0f) << "not divided by the stored determinant";
}

// A determinant that underflows single precision counts as singular: the solution stays.
// (Plainly singular triples, such as two parallel walls, are in the golden cases regions-*.)
TEST_F(Regions, SingularSystemKeepsSolution) {
    const float tiny_x[3] = {1.0e-20f, 0, 0}, tiny_y[3] = {0, 1.0e-20f, 0},
                tiny_g[3] = {0, 0, 1.0e-10f}, rhs[3] = {-2, 0, 1};
    float solution[3] = {7, 8, 9}, determinant = 5.0f;
    solve_three_planes(tiny_x, tiny_y, tiny_g, rhs, solution, determinant);
    EXPECT_EQ(determinant, 0.0f);
    EXPECT_EQ(std::vector<float>(solution, solution + 3), (std::vector<float>{7, 8, 9}));
    // Nearly parallel planes meeting beyond the single range stop the run, not overflow.
    const float far_x[3] = {1.0e-20f, 0, 0}, far_y[3] = {0, 1, 0}, far_rhs[3] = {1.0e20f, 0, 0};
    EXPECT_THROW(solve_three_planes(far_x, far_y, tiny_g, far_rhs, solution, determinant),
                 run_stopped);
    EXPECT_EQ(to_single(-0x1.fffffefffp+127), -0x1.fffffep+127f);
}

// Level corners get pi (left) and 0 (right); of equal angles the earlier position goes
// first; and a region is not limited to 20 corners (36 points of a circle, out of order).
TEST_F(Regions, OrderHandlesLevelCornersTiesAndLargeRegions) {
    run.surface_count = 2;
    const float corners[5][2] = {{1, 0}, {-1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (const auto& xy : corners) list_vertex(0, xy[0], xy[1]);
    std::vector<int32_t> circle(36);
    for (int32_t p = 0; p < 36; ++p) {
        const int32_t step = (p * 7) % 36;  // 7 and 36 are coprime: each step once
        const double angle = std::numbers::pi * (1.0 - step / 18.0);
        list_vertex(1, static_cast<float>(10.0 * std::cos(angle)),
                    static_cast<float>(10.0 * std::sin(angle)));
        circle[static_cast<std::size_t>(step)] = run.vertex_count;
    }
    report_regions();
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{2, 4, 3, 1, 5}));
    EXPECT_EQ(region_list(1), circle);
}

// Random cases of 1 to 16 surfaces, most of them tangent to a concave bowl so that each
// owns a cell of the window: every corner lies on its surface and on the envelope, and the
// ordered regions are clockwise polygons that tile the window.
TEST_F(Regions, RandomCornersTileTheWindow) {
    std::mt19937 bits(20240611u);
    auto uniform = [&bits](double low, double high) {
        return low + (high - low) * static_cast<double>(bits()) / 4294967296.0;
    };
    for (int32_t trial = 0; trial < 400 && !HasFailure(); ++trial) {
        reset_run_state();
        // about 1 MB of trace per case, never kept
        open_output_unit(unit_log, (dir + "/log.out").c_str());
        open_output_unit(unit_phase, (dir + "/phase.out").c_str());
        const double x_min = uniform(-3, 0), x_max = x_min + uniform(0.2, 3);
        const double y_min = uniform(-3, 0), y_max = y_min + uniform(0.2, 3),
                     bowl = uniform(0.5, 20);
        for (uint32_t s = 0, count = 1 + bits() % 16; s < count; ++s) {
            const double px = uniform(x_min, x_max), py = uniform(y_min, y_max);
            if (bits() % 4 == 0)
                add_surface(uniform(-5, 5), uniform(-5, 5), uniform(-5, 5));
            else
                add_surface(-2 * bowl * px, -2 * bowl * py, bowl * (px * px + py * py));
        }
        std::tie(run.x_min, run.x_max, run.y_min, run.y_max) =
            std::tuple(static_cast<float>(x_min), static_cast<float>(x_max),
                       static_cast<float>(y_min), static_cast<float>(y_max));
        append_window_edges();
        search_vertices();
        report_regions();
        SCOPED_TRACE("trial " + std::to_string(trial));
        const double window_area =
            (double{run.x_max} - run.x_min) * (double{run.y_max} - run.y_min);
        double covered = 0.0;
        for (int32_t s = 0; s < run.surface_count; ++s) {
            const region_record& region = run.regions[s];
            double twice_area = 0.0;
            for (int32_t p = 0; p < region.n_vertices; ++p) {
                const vertex_row& at = run.vertices[region.vertex_list[p] - 1];
                const vertex_row& next =
                    run.vertices[region.vertex_list[(p + 1) % region.n_vertices] - 1];
                twice_area += double{at.x} * next.y - double{next.x} * at.y;
                const double g = at.energy, slack = 1e-5 * (1.0 + std::fabs(g));
                EXPECT_NEAR(surface_energy(at.x, at.y, s), g, slack);
                for (int32_t m = 0; m < run.surface_count; ++m)
                    EXPECT_GE(surface_energy(at.x, at.y, m) + 1e-4, g - slack);
            }
            if (region.n_vertices < 3) continue;
            EXPECT_LE(twice_area, 1e-6 * window_area) << "surface " << s + 1 << " is not clockwise";
            covered -= twice_area / 2.0;
        }
        EXPECT_NEAR(covered, window_area, 1e-4 * window_area);
    }
}

}  // namespace
