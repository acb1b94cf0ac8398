// Arithmetic of the page model where the golden maps cannot show it: page geometry and the
// data-to-page maps; the pressure scales' spacing, truncated tick ranges and their walk,
// exponents and text widths; the ends of equilibrium lines (the clipping test on the
// unrounded quotient, and records that must give no line); the box a map is cut to, and the
// neighbours of regions given as arrays. Drawn maps are golden cases (their cut by the
// glyphs' own extents: tests/extra_outputs_test.py).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "core/modules.hpp"
#include "core/run_guards.hpp"
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"
#include "records/fatal.hpp"

namespace {

page_point geometry_for(float x_min, float x_max, float y_min, float y_max, float temp1 = -1.0f,
                        float temp2 = -1.0f) {
    reset_run_state();
    std::tie(run.x_min, run.x_max, run.y_min, run.y_max) = std::tuple(x_min, x_max, y_min, y_max);
    std::tie(run.scales[0].temperature, run.scales[1].temperature) = std::pair(temp1, temp2);
    lay_out_page();
    return run.page.translation;
}

// Equal scales centre vertically, and a temperature of 0 is not positive, so it does not
// narrow the plot area. (Positive temperatures narrowing it by 50 points each are the golden
// cases scales-temp2-only and scales-both-sets.) The product is formed in double and
// truncated toward zero, never rounded or floored: 373.99999 gives 373, -0.12 gives 0 (not
// -1) and -124.67 gives -124.
TEST(PageMapping, TranslationAndTruncatedProduct) {
    const page_point equal = geometry_for(0.0f, 374.0f, 0.0f, 622.0f, 0.0f, 0.0f);
    EXPECT_EQ(std::tuple(run.page.page_scale, equal.x, equal.y), std::tuple(1.0f, 0.0f, -30.0f));
    geometry_for(-3.0f, 0.0f, -3.0f, 0.0f);
    const std::pair<float, float> rows[] = {
        {-3.0f, 110.0f}, {-2.0f, 234.0f}, {0.0f, 483.0f}, {-3.001f, 110.0f}, {-4.0f, -14.0f}};
    for (const auto& [x, page_position] : rows) EXPECT_EQ(page_x(x), page_position) << x;
}

// Points far outside the window map to large finite values without a floating-point fault.
TEST(PageMapping, FarPointsStayFinite) {
    geometry_for(0.0f, 1.0f, 0.0f, 1.0f);
    begin_fp_traps();
    const std::tuple far = {page_x(3.0e38f), page_y(-3.0e38f), page_x(1.0e9f)};
    end_fp_traps();
    EXPECT_EQ(far, std::tuple(FLT_MAX, -FLT_MAX, 110.0f + 374.0e9f));
}

// At 300 K, one decade a tick: -33.598 .. 0 truncated for the window -2..0, an outer tick
// below 0.1..0.5 (1.68 .. 8.40), no tick to walk with a negative step. A scale's index steps
// in single precision and stands still from 2^24 on (16777217 rounds to 16777216); a main
// axis's stays exact.
TEST(ScaleTicks, RangesAndWalks) {
    const scale_axis axis{300.0f, 0.0f, 1.0f, -2.0f, 0.0f};
    const float spacing = tick_spacing(axis);
    const tick_range range = scale_axis_ticks(axis, spacing);
    EXPECT_EQ(std::tuple(spacing, range.first, range.last, tick_position(axis, -33.0)),
              std::tuple(0.05952680483460426f, -33, 0, -1.9643845558166504f));
    const tick_range above = scale_axis_ticks({300.0f, 0.0f, 1.0f, 0.1f, 0.5f}, spacing);
    const tick_range reversed = scale_axis_ticks(axis, -spacing);
    EXPECT_EQ(std::tuple(above.first, above.last, reversed.first), std::tuple(1, 8, 33));
    EXPECT_EQ(start_tick_walk(reversed, tick_index_kind::single).left, 0);
    tick_walk scale = start_tick_walk({16777215.0, 16777300.0}, tick_index_kind::single);
    tick_walk main = start_tick_walk({16777215.0, 16777300.0}, tick_index_kind::whole);
    for (tick_walk* walk : {&scale, &scale, &main, &main}) step_tick_walk(*walk);
    EXPECT_EQ(std::tuple(scale.index, main.index, main.left), std::tuple(16777216, 16777217, 84));
}

// The exponent uses the step truncated toward zero and is exact beyond single precision.
TEST(ScaleTicks, ExponentFollowsTruncatedStep) {
    const std::tuple<float, double, int32_t> rows[] = {
        {2.0f, -2.0, -4}, {0.5f, -7.0, 0}, {-1.5f, 3.0, -3}, {7.0f, 3000001.0, 21000007}};
    for (const auto& [step, index, exponent] : rows)
        EXPECT_EQ(tick_exponent({300.0f, 0.0f, step, 0.0f, 1.0f}, index), exponent) << step;
}

// Widths judged in double: 999.99994 has three digits although its single log10 is 3.0.
TEST(ScaleTexts, Widths) {
    const std::pair<float, int32_t> captions[] = {
        {300.0f, 3}, {1000.0f, 4}, {99.9f, 2}, {999.99994f, 3}, {0.5f, 1}};
    for (const auto& [temperature, width] : captions)
        EXPECT_EQ(caption_width(temperature), width) << temperature;
    const std::pair<int32_t, int32_t> exponents[] = {{0, 1},  {-5, 2},  {-10, 3},
                                                     {99, 2}, {100, 3}, {INT32_MIN, 11}};
    for (const auto& [exponent, width] : exponents)
        EXPECT_EQ(exponent_width(exponent), width) << exponent;
}

const line_limits square{-3.0f, 0.0f, -3.0f, 0.0f};

bool has_ends(int32_t a, int32_t b, float c, const line_limits& limits) {
    line_ends ends{};
    return find_line_ends(a, b, c, limits, ends);
}

// On y = 1 + x, 1 - 1e-9 rounds to 1 in single precision but lies below the bound 1, so the
// start moves onto the bound at x = 0 instead of staying at x = -1e-9. a = b = 0 (with c = 1
// in the golden case lines-equ2-labels), a horizontal line outside the limits, ends beyond
// single precision and a line through a corner of the limits only from outside give no line;
// a horizontal line inside the limits and a line through a corner are drawn.
TEST(LineEnds, UnroundedClippingAndRecordsWithoutLine) {
    line_ends ends{};
    ASSERT_TRUE(find_line_ends(-1, 1, 1.0f, {-1.0e-9f, 2.0f, 1.0f, 10.0f}, ends));
    EXPECT_EQ(std::tuple(ends.start_x, ends.start_y, ends.end_x, ends.end_y),
              std::tuple(0.0f, 1.0f, 2.0f, 3.0f));
    EXPECT_FALSE(has_ends(0, 0, 0.0f, square));
    EXPECT_FALSE(has_ends(0, 2, 1.0f, square));
    EXPECT_FALSE(has_ends(0, 1, -5.0f, square));
    EXPECT_FALSE(has_ends(1, 1, 3.0e38f, {-3.0e38f, 0.0f, -1.0f, 1.0f}));
    EXPECT_FALSE(has_ends(0, 0, 0.0f, {1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_FALSE(has_ends(1, 1, 1.0f, {1.0e-9f, 2.0f, 1.0f, 10.0f}));
    EXPECT_TRUE(has_ends(0, 2, -1.0f, square));
    EXPECT_TRUE(has_ends(1, 1, 0.0f, square));
}

// The box holds the drawing with the margin, in whole points: a label right of the frame
// widens it by the label's width (Times-Roman advances; a character beyond ASCII an em at
// most, more than its own 500); a label far off the page leaves it cut to the page.
TEST(DrawingBox, HoldsTheLabelsWithinThePage) {
    geometry_for(0.0f, 1.0f, 0.0f, 1.0f);
    const page_box plain = drawing_box();
    run.label_count = 1;
    run.labels[0] = {1.1f, 0.5f, 10.0f, {}};
    set_text(run.labels[0].text, "WW\xCE\xB1");  // 944 + 944 + 1000 (alpha), 1/1000 em
    lay_out_page();
    const page_box label = drawing_box();
    EXPECT_EQ(std::tuple(page_x(1.1f), run.page.translation.x), std::tuple(521.0f, 0.0f));
    EXPECT_EQ(label.right, std::ceil(521.0 + 28.88 + drawing_margin));
    EXPECT_GT(label.right, plain.right);
    EXPECT_EQ(std::tuple(label.left, label.bottom), std::tuple(plain.left, plain.bottom));
    EXPECT_EQ(text_width("WW\xCE\xB1"), 2388.0);
    run.labels[0].x = 1.0e6f;
    run.labels[0].y = -1.0e6f;
    lay_out_page();
    const page_box far = drawing_box();
    EXPECT_EQ(std::tuple(far.left, far.bottom, far.right, far.top),
              std::tuple(plain.left, 0.0f, page_width, plain.top));
}

// Regions given as arrays: sides where two corners are shared (whatever a region's repeated
// corner), corners where one is, in ascending pairs; four squares meeting at the origin.
TEST(NeighbourPairs, SidesAndCornersOfRegionsAsArrays) {
    const double corners[] = {-1, 0,  0,  0, 0,  1, -1, 1,  0, 0, 0,  0, 1,  0, 1, 1, 0,
                              1,  -1, -1, 0, -1, 0, 0,  -1, 0, 0, -1, 1, -1, 1, 0, 0, 0};
    const int64_t offsets[] = {0, 4, 9, 13, 17};
    const int64_t surfaces[] = {1, 2, 3, 4};
    std::vector<int32_t> sides;
    std::vector<int32_t> touching;
    find_neighbour_pairs({4, surfaces, offsets, corners, 0, nullptr}, sides, touching);
    EXPECT_EQ(sides, (std::vector<int32_t>{0, 1, 0, 2, 1, 3, 2, 3}));
    EXPECT_EQ(touching, (std::vector<int32_t>{0, 3, 1, 2}));
}

}  // namespace
