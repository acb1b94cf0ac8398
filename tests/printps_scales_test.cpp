// Arithmetic of the secondary pressure scales: spacing, truncated tick ranges, positions,
// exponents and the widths of the texts built from them. Whole maps are in the golden cases.
#include <gtest/gtest.h>

#include <cstdint>

#include "printps/internals.hpp"

namespace {

// The 300 K example: window -2..0 in x with x0 = 0 and one decade per tick.
TEST(ScaleTicks, WorkedExampleAt300K) {
    const float spacing = tick_spacing(1.0f, 300.0f);
    EXPECT_EQ(spacing, 0.05952680483460426f);
    const tick_range range = find_tick_range(-2.0f, 0.0f, 0.0f, spacing);
    EXPECT_EQ(range.first, -33);  // -33.598 truncated toward zero
    EXPECT_EQ(range.last, 0);
    EXPECT_EQ(count_ticks(range), 34);
    EXPECT_EQ(tick_position(1.0f, -33.0f, 300.0f, 0.0f), -1.9643845558166504f);
}

// Truncation toward zero puts an outer tick beyond the window; a negative step reverses the
// range, which is empty once the window spans two spacings.
TEST(ScaleTicks, RangeEnds) {
    const float spacing = tick_spacing(1.0f, 300.0f);
    const tick_range above = find_tick_range(0.1f, 0.5f, 0.0f, spacing);  // 1.68 .. 8.40
    EXPECT_EQ(above.first, 1);
    EXPECT_EQ(above.last, 8);
    const tick_range reversed = find_tick_range(-2.0f, 0.0f, 0.0f, -spacing);
    EXPECT_EQ(reversed.first, 33);
    EXPECT_EQ(count_ticks(reversed), 0);
}

// The exponent uses the step truncated toward zero and is exact beyond single precision.
TEST(ScaleTicks, ExponentFollowsTruncatedStep) {
    EXPECT_EQ(tick_exponent(2.0f, -2.0f), -4);
    EXPECT_EQ(tick_exponent(0.5f, -7.0f), 0);
    EXPECT_EQ(tick_exponent(-1.5f, 3.0f), -3);
    EXPECT_EQ(tick_exponent(7.0f, 3000001.0f), 21000007);
}

// Widths judged in double: 999.99994 has three digits although its single log10 is 3.0.
TEST(ScaleTexts, Widths) {
    EXPECT_EQ(caption_width(300.0f), 3);
    EXPECT_EQ(caption_width(1000.0f), 4);
    EXPECT_EQ(caption_width(99.9f), 2);
    EXPECT_EQ(caption_width(999.99994f), 3);
    EXPECT_EQ(caption_width(0.5f), 1);
    EXPECT_EQ(exponent_width(0), 1);
    EXPECT_EQ(exponent_width(-5), 2);
    EXPECT_EQ(exponent_width(-10), 3);
    EXPECT_EQ(exponent_width(99), 2);
    EXPECT_EQ(exponent_width(100), 3);
    EXPECT_EQ(exponent_width(INT32_MIN), 11);
}

}  // namespace
