// Arithmetic of the secondary pressure scales: spacing, truncated tick ranges and the walk
// over them, positions, exponents and the widths of the texts built from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <utility>

#include "printps/internals.hpp"

namespace {

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

}  // namespace
