// Ends of equilibrium lines where the golden maps cannot show them: the clipping test on the
// unrounded quotient, and records that must give no line. Drawn lines are in the golden cases.
#include <gtest/gtest.h>

#include <tuple>

#include "printps/internals.hpp"

namespace {

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

}  // namespace
