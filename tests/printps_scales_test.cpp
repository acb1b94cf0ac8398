// Arithmetic of the secondary pressure scales: spacing, truncated tick ranges, positions,
// exponents and the widths of the texts built from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "printps/outer_marks.hpp"
#include "records/fatal.hpp"
#include "support/test_support.hpp"

namespace {

constexpr float boltzmann = 8.617387e-05f;

// The 300 K example: window -2..0 in x with x0 = 0 and one decade per tick.
TEST(ScaleTicks, WorkedExampleAt300K) {
    const float spacing = tick_spacing(1.0f, 300.0f, boltzmann);
    EXPECT_FLOAT_EQ(spacing, 0.0595268f);
    const tick_range range = find_tick_range(-2.0f, 0.0f, 0.0f, spacing);
    EXPECT_EQ(range.first, -33);  // -33.598 truncated toward zero
    EXPECT_EQ(range.last, 0);
    EXPECT_EQ(count_ticks(range), 34);
    EXPECT_EQ(tick_exponent(1.0f, -33.0f), -33);
    EXPECT_EQ(tick_position(1.0f, -33.0f, 300.0f, 0.0f, boltzmann), -1.9643845558166504f);
    EXPECT_EQ(tick_position(1.0f, 0.0f, 300.0f, -1.25f, boltzmann), -1.25f);
}

// Truncation toward zero puts the outer tick beyond the window on the side nearer the origin.
TEST(ScaleTicks, RangeTruncatesTowardZero) {
    const float spacing = tick_spacing(1.0f, 300.0f, boltzmann);
    tick_range above = find_tick_range(0.1f, 0.5f, 0.0f, spacing);  // 1.68 .. 8.40
    EXPECT_EQ(above.first, 1);
    EXPECT_EQ(above.last, 8);
    EXPECT_LT(tick_position(1.0f, 1.0f, 300.0f, 0.0f, boltzmann), 0.1f);
    tick_range below = find_tick_range(-0.5f, -0.1f, 0.0f, spacing);  // -8.40 .. -1.68
    EXPECT_EQ(below.first, -8);
    EXPECT_EQ(below.last, -1);
    EXPECT_GT(tick_position(1.0f, -1.0f, 300.0f, 0.0f, boltzmann), -0.1f);
}

// A negative step reverses the range: no ticks once the window spans two spacings.
TEST(ScaleTicks, NegativeStepGivesEmptyRange) {
    const float spacing = tick_spacing(-1.0f, 300.0f, boltzmann);
    EXPECT_LT(spacing, 0.0f);
    const tick_range range = find_tick_range(-2.0f, 0.0f, 0.0f, spacing);
    EXPECT_EQ(range.first, 33);
    EXPECT_EQ(range.last, 0);
    EXPECT_EQ(count_ticks(range), 0);
    EXPECT_EQ(count_ticks({5, 4}), 0);
    EXPECT_EQ(count_ticks({7, 7}), 1);
    EXPECT_EQ(count_ticks({INT32_MIN, INT32_MIN + 2}), 3);
}

// The exponent uses the step truncated toward zero, the position the step as read.
TEST(ScaleTicks, ExponentFollowsTruncatedStep) {
    EXPECT_EQ(tick_exponent(2.0f, -2.0f), -4);
    EXPECT_EQ(tick_exponent(2.0f, 0.0f), 0);
    EXPECT_EQ(tick_exponent(0.5f, -7.0f), 0);
    EXPECT_EQ(tick_exponent(-1.5f, 3.0f), -3);
    EXPECT_EQ(tick_exponent(2.9f, 3.0f), 6);
    EXPECT_EQ(tick_exponent(7.0f, 3000001.0f), 21000007);  // exact beyond single precision
    const float half = tick_position(0.5f, 1.0f, 300.0f, 0.0f, boltzmann);
    const float whole = tick_position(1.0f, 1.0f, 300.0f, 0.0f, boltzmann);
    EXPECT_FLOAT_EQ(half * 2.0f, whole);
}

// Caption width: digits of the whole part, judged in double, and never below 1.
TEST(ScaleTexts, CaptionWidth) {
    EXPECT_EQ(caption_width(300.0f), 3);
    EXPECT_EQ(caption_width(1000.0f), 4);
    EXPECT_EQ(caption_width(99.9f), 2);
    EXPECT_EQ(caption_width(999.99994f), 3);  // log10 in single precision would round to 3.0
    EXPECT_EQ(caption_width(9.999999f), 1);
    EXPECT_EQ(caption_width(1.0f), 1);
    EXPECT_EQ(caption_width(0.5f), 1);
    EXPECT_EQ(caption_width(0.05f), 1);
    EXPECT_EQ(caption_width(1.0e-30f), 1);
    EXPECT_EQ(caption_width(2147483520.0f), 10);
}

// Exponent width: characters of e with its sign.
TEST(ScaleTexts, ExponentWidth) {
    EXPECT_EQ(exponent_width(0), 1);
    EXPECT_EQ(exponent_width(5), 1);
    EXPECT_EQ(exponent_width(-5), 2);
    EXPECT_EQ(exponent_width(9), 1);
    EXPECT_EQ(exponent_width(10), 2);
    EXPECT_EQ(exponent_width(-10), 3);
    EXPECT_EQ(exponent_width(99), 2);
    EXPECT_EQ(exponent_width(100), 3);
    EXPECT_EQ(exponent_width(-33), 3);
    EXPECT_EQ(exponent_width(999999999), 9);
    EXPECT_EQ(exponent_width(1000000000), 10);
    EXPECT_EQ(exponent_width(INT32_MAX), 10);
    EXPECT_EQ(exponent_width(INT32_MIN), 11);
}

// Numbers the input reader should have refused stop the run instead of converting blindly.
TEST(ScaleTicks, OutOfRangeStopsTheRun) {
    EXPECT_THROW(find_tick_range(-1.0e30f, 0.0f, 0.0f, 1.0e-10f), run_stopped);
    EXPECT_THROW(find_tick_range(-1.0f, 0.0f, 0.0f, 0.0f), run_stopped);
    EXPECT_THROW(tick_exponent(3.0e9f, 1.0f), run_stopped);
    EXPECT_THROW(tick_spacing(3.0e38f, 3.0e38f, boltzmann), run_stopped);
    EXPECT_THROW(tick_position(3.0e38f, 1.0f, 3.0e38f, 0.0f, boltzmann), run_stopped);
}

int count_occurrences(const std::string& content, const std::string& word) {
    int count = 0;
    for (std::size_t at = content.find(word); at != std::string::npos; at = content.find(word, at + 1)) ++count;
    return count;
}

// A zero step has no spacing to count ticks with: that axis is drawn bare, with no range
// record, while the other axis of the set is ticked as usual.
TEST(ScaleRun, ZeroStepLeavesItsAxisBare) {
    std::string dir;
    run_result result = run_program_on("scale_zero_step",
                                       "bound\r\n-2.0 0.0 -1.5 0.0\r\ntemp1\r\n300.0 0.0 0.0 0.0 1.0\r\nstop\r\n", &dir);
    ASSERT_EQ(result.status, 0) << result.stderr_text;
    const std::string log = read_file(dir + "/log.out");
    const std::string map_text = read_file(dir + "/map1.ps");
    EXPECT_EQ(log.find("Temp1x"), std::string::npos);
    EXPECT_NE(log.find(" Temp1y        -25           0        1.000000\r\n"), std::string::npos);
    EXPECT_EQ(count_occurrences(map_text, "(10)  show"), 26);
    EXPECT_NE(map_text.find("(300 K)  show"), std::string::npos);
    expect_valid_postscript(dir + "/map1.ps");
}

// A temperature below 0.1 K still gets a one-character caption.
TEST(ScaleRun, TinyTemperatureCaption) {
    std::string dir;
    run_result result = run_program_on("scale_tiny_temperature",
                                       "bound\r\n-2.0 0.0 -1.5 0.0\r\ntemp1\r\n0.05 0.0 0.0 0.0 0.0\r\nstop\r\n", &dir);
    ASSERT_EQ(result.status, 0) << result.stderr_text;
    const std::string map_text = read_file(dir + "/map1.ps");
    EXPECT_NE(map_text.find(" M  (0 K)  show"), std::string::npos);
    EXPECT_EQ(read_file(dir + "/log.out").find("Temp1"), std::string::npos);
    expect_valid_postscript(dir + "/map1.ps");
}

}  // namespace
