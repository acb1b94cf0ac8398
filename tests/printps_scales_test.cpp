// Arithmetic of the secondary pressure scales: spacing, truncated tick ranges, positions,
// exponents and the widths of the texts built from them. Whole maps are in the golden cases.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <utility>

#include "printps/internals.hpp"

namespace {

// The 300 K example: window -2..0 in x with x0 = 0 and one decade per tick.
TEST(ScaleTicks, WorkedExampleAt300K) {
    const float spacing = tick_spacing(1.0f, 300.0f);
    EXPECT_EQ(spacing, 0.05952680483460426f);
    const tick_range range = find_tick_range(-2.0f, 0.0f, 0.0f, spacing);
    // -33.598 truncated
    EXPECT_EQ(std::tuple(range.first, range.last, count_ticks(range)), std::tuple(-33, 0, 34));
    EXPECT_EQ(tick_position(1.0f, -33.0f, 300.0f, 0.0f), -1.9643845558166504f);
}

// Truncation toward zero puts an outer tick beyond the window; a negative step reverses the
// range, which is empty once the window spans two spacings.
TEST(ScaleTicks, RangeEnds) {
    const float spacing = tick_spacing(1.0f, 300.0f);
    const tick_range above = find_tick_range(0.1f, 0.5f, 0.0f, spacing);  // 1.68 .. 8.40
    EXPECT_EQ(std::pair(above.first, above.last), std::pair(1, 8));
    const tick_range reversed = find_tick_range(-2.0f, 0.0f, 0.0f, -spacing);
    EXPECT_EQ(std::pair(reversed.first, count_ticks(reversed)), std::pair(33, 0));
}

// The exponent uses the step truncated toward zero and is exact beyond single precision.
TEST(ScaleTicks, ExponentFollowsTruncatedStep) {
    const std::tuple<float, float, int32_t> rows[] = {
        {2.0f, -2.0f, -4}, {0.5f, -7.0f, 0}, {-1.5f, 3.0f, -3}, {7.0f, 3000001.0f, 21000007}};
    for (const auto& [step, index, exponent] : rows)
        EXPECT_EQ(tick_exponent(step, index), exponent) << step << " " << index;
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
