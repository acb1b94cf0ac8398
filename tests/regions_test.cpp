// Kernels, vertex search and region ordering over run states filled by hand, as the input
// reader would fill them. Floating-point traps are on throughout, as in a run.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "modules.hpp"
#include "records/fatal.hpp"
#include "regions/regions.hpp"
#include "regions/system.hpp"

namespace {

class RegionsTest : public testing::Test {
protected:
    void SetUp() override {
        reset_run_state();
        begin_fp_traps();
    }
    void TearDown() override { end_fp_traps(); }
};

// Appends the surface g = a*x + b*y + d.
void add_surface(float a, float b, float d) {
    const int32_t row = run.surface_count++;
    run.plane_a[row] = a;
    run.plane_b[row] = b;
    run.plane_c[row] = -1.0f;
    run.plane_d[row] = d;
}

// Sets the window and appends its four walls after the surfaces.
void close_window(float x_min, float x_max, float y_min, float y_max) {
    run.x_min = x_min;
    run.x_max = x_max;
    run.y_min = y_min;
    run.y_max = y_max;
    const float walls[4][2] = {{1.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}};
    const float bounds[4] = {x_min, x_max, y_min, y_max};
    for (int32_t w = 0; w < 4; ++w) {
        const int32_t row = run.surface_count + w;
        run.plane_a[row] = walls[w][0];
        run.plane_b[row] = walls[w][1];
        run.plane_c[row] = 0.0f;
        run.plane_d[row] = -bounds[w];
    }
}

std::vector<int32_t> region_list(int32_t row) {
    const region_record& region = run.regions[row];
    return std::vector<int32_t>(region.vertex_list, region.vertex_list + region.n_vertices);
}

void expect_vertex(int32_t number, float x, float y, float g) {
    const vertex_row& vertex = run.vertices[number - 1];
    EXPECT_EQ(vertex.x, x) << "vertex " << number;
    EXPECT_EQ(vertex.y, y) << "vertex " << number;
    EXPECT_EQ(vertex.energy, g) << "vertex " << number;
}

// Places a vertex by hand and lists it on region `row`.
void add_listed_vertex(int32_t row, float x, float y) {
    run.vertices[run.vertex_count] = {x, y, 0.0f};
    ++run.vertex_count;
    region_record& region = run.regions[row];
    region.vertex_list[region.n_vertices++] = run.vertex_count;
}

// ---------------------------------------------------------------------------------------
// Kernels

// The sum is (a*x + b*y) + d in double: the first two terms cancel before d is added, and
// nothing is rounded to single on the way.
TEST_F(RegionsTest, SurfaceEnergyOrderAndPrecision) {
    add_surface(1.0e10f, -1.0e10f, 1.0f);
    EXPECT_EQ(surface_energy(1.0e10f, 1.0e10f, 0), 1.0);
    const float near_one = 1.0f + 0x1p-20f;
    add_surface(near_one, 0.0f, -(1.0f + 0x1p-19f));
    EXPECT_EQ(surface_energy(near_one, 5.0f, 1), 0x1p-40);
}

// (T1 + T2) + T3: T1 and T2 cancel first, so T3 survives; products are not rounded to single.
TEST_F(RegionsTest, DeterminantOrderAndPrecision) {
    const float cancelling[9] = {1.0f, 0.0f, 1.0e10f, 0.0f, 1.0f, -1.0e10f, 1.0e10f, 1.0e10f, 1.0f};
    EXPECT_EQ(determinant3(cancelling), 1.0);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_EQ(determinant3(identity), 1.0);
    const float swapped[9] = {0, 1, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(determinant3(swapped), -1.0);
    const float near_one = 1.0f + 0x1p-20f;
    const float diagonal[9] = {near_one, 0, 0, 0, near_one, 0, 0, 0, 1};
    EXPECT_EQ(determinant3(diagonal), 1.0 + 0x1p-19 + 0x1p-40);
}

TEST_F(RegionsTest, SolveCornerAndWallPoints) {
    // One surface with the walls x = -2 and y = -1.5: the corner, at the surface's energy.
    const float col_x[3] = {0.5f, 1.0f, 0.0f};
    const float col_y[3] = {-0.25f, 0.0f, 1.0f};
    const float col_g[3] = {-1.0f, 0.0f, 0.0f};
    const float rhs[3] = {-3.0f, -2.0f, -1.5f};
    float solution[3] = {};
    float determinant = 0.0f;
    solve_three_planes(col_x, col_y, col_g, rhs, solution, determinant);
    EXPECT_EQ(determinant, -1.0f);
    EXPECT_EQ(solution[0], -2.0f);
    EXPECT_EQ(solution[1], -1.5f);
    EXPECT_EQ(solution[2], 0.5f * -2.0f + -0.25f * -1.5f + 3.0f);

    // g = x + 1 and g = -x - 0.5 meet along x = -0.75; with the wall y = 0.5 the point is
    // (-0.75, 0.5) at their common energy 0.25.
    const float two_x[3] = {1.0f, -1.0f, 0.0f};
    const float two_y[3] = {0.0f, 0.0f, 1.0f};
    const float two_g[3] = {-1.0f, -1.0f, 0.0f};
    const float two_rhs[3] = {-1.0f, 0.5f, 0.5f};
    solve_three_planes(two_x, two_y, two_g, two_rhs, solution, determinant);
    EXPECT_NE(determinant, 0.0f);
    EXPECT_EQ(solution[0], -0.75f);
    EXPECT_EQ(solution[1], 0.5f);
    EXPECT_EQ(solution[2], 0.25f);
}

// A singular system leaves the solution as it was; the zero test is on the stored single
// value, so a determinant that underflows single precision is singular too.
TEST_F(RegionsTest, SingularSystemKeepsSolution) {
    const float walls_x[3] = {1.0f, 1.0f, 0.0f};
    const float walls_y[3] = {0.0f, 0.0f, 1.0f};
    const float walls_g[3] = {0.0f, 0.0f, 0.0f};
    const float rhs[3] = {-2.0f, 0.0f, -1.5f};
    float solution[3] = {7.0f, 8.0f, 9.0f};
    float determinant = 5.0f;
    solve_three_planes(walls_x, walls_y, walls_g, rhs, solution, determinant);
    EXPECT_EQ(determinant, 0.0f);
    EXPECT_EQ(solution[0], 7.0f);
    EXPECT_EQ(solution[1], 8.0f);
    EXPECT_EQ(solution[2], 9.0f);

    const float tiny_x[3] = {1.0e-20f, 0.0f, 0.0f};
    const float tiny_y[3] = {0.0f, 1.0e-20f, 0.0f};
    const float tiny_g[3] = {0.0f, 0.0f, 1.0e-10f};
    const float ones[3] = {1.0f, 1.0f, 1.0f};
    solve_three_planes(tiny_x, tiny_y, tiny_g, ones, solution, determinant);
    EXPECT_EQ(determinant, 0.0f);
    EXPECT_EQ(solution[0], 7.0f);
}

// x = D1 / D with D rounded to single first: dividing by the exact D gives 0x1.36cb78p+0.
TEST_F(RegionsTest, SolveDividesByStoredDeterminant) {
    const float col_x[3] = {0x1.6ac1f4p+0f, 0.0f, 0.0f};
    const float col_y[3] = {0.0f, 0x1.ff478p+0f, 0.0f};
    const float col_g[3] = {0.0f, 0.0f, 1.0f};
    const float rhs[3] = {0x1.b8672ep+0f, 0.0f, 0.0f};
    float solution[3] = {};
    float determinant = 0.0f;
    solve_three_planes(col_x, col_y, col_g, rhs, solution, determinant);
    EXPECT_EQ(solution[0], 0x1.36cb76p+0f);
}

// Values up to the largest float (and those that round down to it) are stored; beyond, the
// run stops instead of overflowing.
TEST_F(RegionsTest, ToSingleRange) {
    EXPECT_EQ(to_single(0x1.fffffep+127), 0x1.fffffep+127f);
    EXPECT_EQ(to_single(-0x1.fffffefffp+127), -0x1.fffffep+127f);
    EXPECT_THROW(to_single(0x1.ffffffp+127), run_stopped);
    EXPECT_THROW(to_single(-1.0e39), run_stopped);
    // Nearly parallel planes whose meeting point lies beyond the single range.
    const float col_x[3] = {1.0e-20f, 0.0f, 0.0f};
    const float col_y[3] = {0.0f, 1.0f, 0.0f};
    const float col_g[3] = {0.0f, 0.0f, 1.0f};
    const float rhs[3] = {1.0e20f, 0.0f, 0.0f};
    float solution[3] = {};
    float determinant = 0.0f;
    EXPECT_THROW(solve_three_planes(col_x, col_y, col_g, rhs, solution, determinant), run_stopped);
}

// ---------------------------------------------------------------------------------------
// Vertex search

TEST_F(RegionsTest, NoSurfacesGiveNoVertex) {
    close_window(-2.0f, 0.0f, -1.5f, 0.0f);
    run.vertex_count = 7;
    search_vertices();
    EXPECT_EQ(run.vertex_count, 0);
}

// The four corners, in triple order, each on the surface and its two walls.
TEST_F(RegionsTest, OneSurfaceGivesTheFourCorners) {
    add_surface(0.5f, -0.25f, 3.0f);
    close_window(-2.0f, 0.0f, -1.5f, 0.0f);
    run.regions[0].n_vertices = 9;  // cleared by the search
    search_vertices();
    ASSERT_EQ(run.vertex_count, 4);
    expect_vertex(1, -2.0f, -1.5f, 2.375f);
    expect_vertex(2, -2.0f, 0.0f, 2.0f);
    expect_vertex(3, 0.0f, -1.5f, 3.375f);
    expect_vertex(4, 0.0f, 0.0f, 3.0f);
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(region_list(1), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(region_list(2), (std::vector<int32_t>{3, 4}));
    EXPECT_EQ(region_list(3), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(region_list(4), (std::vector<int32_t>{2, 4}));

    report_regions();
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{2, 4, 3, 1}));
    EXPECT_EQ(region_list(1), (std::vector<int32_t>{1, 2})) << "wall lists are never ordered";
}

// g = x and g = -x split the square at x = 0; corners under the other surface are dropped.
TEST_F(RegionsTest, TwoSurfacesSplitByALine) {
    add_surface(1.0f, 0.0f, 0.0f);
    add_surface(-1.0f, 0.0f, 0.0f);
    close_window(-1.0f, 1.0f, -1.0f, 1.0f);
    search_vertices();
    ASSERT_EQ(run.vertex_count, 6);
    expect_vertex(1, 0.0f, -1.0f, 0.0f);
    expect_vertex(2, 0.0f, 1.0f, 0.0f);
    expect_vertex(5, 1.0f, -1.0f, -1.0f);
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(region_list(1), (std::vector<int32_t>{1, 2, 5, 6}));
    EXPECT_EQ(region_list(4), (std::vector<int32_t>{1, 3, 5}));
    report_regions();
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{4, 2, 1, 3}));
    EXPECT_EQ(region_list(1), (std::vector<int32_t>{2, 6, 5, 1}));
}

// Where four planes meet, every non-singular triple of them gives the point again.
TEST_F(RegionsTest, FourPlanesMeetingRepeatTheirPoint) {
    add_surface(1.0f, 0.0f, 0.0f);
    add_surface(-1.0f, 0.0f, 0.0f);
    add_surface(0.0f, 1.0f, 1.0f);
    close_window(-1.0f, 1.0f, -1.0f, 1.0f);
    search_vertices();
    int32_t at_meeting_point = 0;
    for (int32_t v = 0; v < run.vertex_count; ++v)
        if (run.vertices[v].x == 0.0f && run.vertices[v].y == -1.0f) ++at_meeting_point;
    EXPECT_EQ(at_meeting_point, 4);
    ASSERT_EQ(run.regions[2].n_vertices, 3);
    report_regions();  // three copies of one point: all angles 0, order kept
    const std::vector<int32_t> third = region_list(2);
    for (int32_t v : third) expect_vertex(v, 0.0f, -1.0f, 0.0f);
    EXPECT_TRUE(third[0] < third[1] && third[1] < third[2]);
}

// A surface exactly the tolerance below a corner does not reject it; one step lower does.
TEST_F(RegionsTest, EnvelopeToleranceBoundary) {
    add_surface(0.0f, 0.0f, 0.0f);
    add_surface(0.0f, 0.0f, -0.0001f);
    close_window(-1.0f, 1.0f, -1.0f, 1.0f);
    search_vertices();
    EXPECT_EQ(run.regions[0].n_vertices, 4);
    EXPECT_EQ(run.regions[1].n_vertices, 4);

    run.plane_d[1] = std::nextafter(-0.0001f, -1.0f);
    search_vertices();
    EXPECT_EQ(run.regions[0].n_vertices, 0);
    EXPECT_EQ(run.regions[1].n_vertices, 4);
}

// The solver puts the corner of two surfaces on the wall x = x_min one rounding step past
// the wall; the wall fixes x, so the corner is kept with its computed coordinates.
TEST_F(RegionsTest, WallCornerSurvivesRounding) {
    const float x_min = -(2.0f - 0x1p-23f);
    add_surface(0.0f, -0x1.ap-25f, 0.0f);
    add_surface(0.0f, 1.0f, 0.0f);
    close_window(x_min, 0.0f, -1.0f, 1.0f);
    search_vertices();
    bool found = false;
    for (int32_t v = 0; v < run.vertex_count; ++v)
        if (run.vertices[v].y == 0.0f && run.vertices[v].x < x_min) found = true;
    EXPECT_TRUE(found) << "the corner on the wall x = x_min was lost";
    EXPECT_EQ(run.regions[0].n_vertices, 4);
    EXPECT_EQ(run.regions[1].n_vertices, 4);
}

// A point of three surfaces one step outside the window keeps the strict test.
TEST_F(RegionsTest, ThreeSurfacePointOutsideIsRejected) {
    const float just_outside = std::nextafter(1.0f, 2.0f);
    add_surface(0.0f, 0.0f, 0.0f);
    add_surface(1.0f, 0.0f, -just_outside);
    add_surface(0.0f, 1.0f, 0.0f);
    close_window(-1.0f, 1.0f, -1.0f, 1.0f);
    search_vertices();
    for (int32_t v = 0; v < run.vertex_count; ++v) EXPECT_LE(run.vertices[v].x, 1.0f);
}

// Twelve surfaces through one point give 220 copies of it: the search stops at the 101st.
TEST_F(RegionsTest, HundredAndFirstVertexStopsTheRun) {
    for (int32_t k = 0; k < 12; ++k) {
        const double angle = 2.0 * std::numbers::pi * k / 12.0;
        add_surface(static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)), 0.0f);
    }
    close_window(-1.0f, 1.0f, -1.0f, 1.0f);
    EXPECT_THROW(search_vertices(), run_stopped);
    EXPECT_EQ(run.vertex_count, max_vertices);
}

// ---------------------------------------------------------------------------------------
// Ordering

// Level with the centroid: angle 0 on the right, pi on the left.
TEST_F(RegionsTest, OrderPlacesLevelCorners) {
    run.surface_count = 1;
    add_listed_vertex(0, 1.0f, 0.0f);
    add_listed_vertex(0, 0.0f, -1.0f);
    add_listed_vertex(0, -1.0f, 0.0f);
    add_listed_vertex(0, 0.0f, 1.0f);
    order_region(0);
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{3, 4, 1, 2}));
}

// Equal largest angles: the earliest position wins, so copies stay in list order.
TEST_F(RegionsTest, OrderTieTakesEarliestPosition) {
    run.surface_count = 1;
    add_listed_vertex(0, -1.0f, 1.0f);
    add_listed_vertex(0, 1.0f, -1.0f);
    add_listed_vertex(0, -1.0f, 1.0f);
    add_listed_vertex(0, 1.0f, 1.0f);
    order_region(0);
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{1, 3, 4, 2}));
}

// Regions are not limited to 20 corners: 36 points of a circle, listed out of order.
TEST_F(RegionsTest, OrderSortsLargeRegions) {
    run.surface_count = 1;
    constexpr int32_t corners = 36;
    for (int32_t p = 0; p < corners; ++p) {
        const int32_t step = (p * 7) % corners;  // 7 and 36 are coprime: every step once
        const double angle = std::numbers::pi - 2.0 * std::numbers::pi * step / corners;
        add_listed_vertex(0, static_cast<float>(10.0 * std::cos(angle)), static_cast<float>(10.0 * std::sin(angle)));
    }
    order_region(0);
    const std::vector<int32_t> ordered = region_list(0);
    ASSERT_EQ(ordered.size(), static_cast<std::size_t>(corners));
    for (int32_t p = 0; p < corners; ++p) {
        const vertex_row& vertex = run.vertices[ordered[static_cast<std::size_t>(p)] - 1];
        const double angle = std::numbers::pi - 2.0 * std::numbers::pi * p / corners;
        EXPECT_NEAR(vertex.x, 10.0 * std::cos(angle), 1e-5) << "position " << p;
        EXPECT_NEAR(vertex.y, 10.0 * std::sin(angle), 1e-5) << "position " << p;
    }
}

// Two corners are no region: not ordered; three are.
TEST_F(RegionsTest, ReportNeedsThreeCorners) {
    run.surface_count = 2;
    add_listed_vertex(0, 1.0f, 0.0f);
    add_listed_vertex(0, -1.0f, 0.0f);
    add_listed_vertex(1, 1.0f, 0.0f);
    add_listed_vertex(1, -1.0f, 0.0f);
    add_listed_vertex(1, 0.0f, 1.0f);
    report_regions();
    EXPECT_EQ(region_list(0), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(region_list(1), (std::vector<int32_t>{5, 3, 4}));
}

}  // namespace
