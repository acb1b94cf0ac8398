// Page geometry and the data-to-page maps.
#include <gtest/gtest.h>

#include <cfloat>

#include "modules.hpp"
#include "printps/internals.hpp"
#include "printps/printps.hpp"
#include "records/fatal.hpp"

namespace {

page_translation geometry_for(float x_min, float x_max, float y_min, float y_max, float temp1 = -1.0f,
                              float temp2 = -1.0f) {
    reset_run_state();
    run.x_min = x_min;
    run.x_max = x_max;
    run.y_min = y_min;
    run.y_max = y_max;
    run.temp1_1 = temp1;
    run.temp2_1 = temp2;
    return set_up_page_geometry();
}

// Equal scales centre vertically; each positive temperature narrows the plot area by 50
// points (0 is not positive), whether or not the first one is given.
TEST(PageGeometry, PlotAreaAndTranslation) {
    const page_translation equal = geometry_for(0.0f, 374.0f, 0.0f, 622.0f, 0.0f, 0.0f);
    EXPECT_EQ(page.page_scale, 1.0f);
    EXPECT_EQ(equal.x, 0.0f);
    EXPECT_EQ(equal.y, -30.0f);
    geometry_for(-3.0f, 0.0f, -3.0f, 0.0f, -1.0f, 300.0f);
    EXPECT_EQ(page.plot_right, 434.0f);
    EXPECT_EQ(page.plot_top, 682.0f);
    geometry_for(-3.0f, 0.0f, -3.0f, 0.0f, 300.0f, 600.0f);
    EXPECT_EQ(page.plot_right, 384.0f);
    EXPECT_EQ(page.plot_top, 632.0f);
    EXPECT_EQ(page.page_scale, 274.0f / 3.0f);
}

// The product is formed in double and truncated toward zero, never rounded or floored.
TEST(PageMapping, TruncatesTheDoubleProduct) {
    geometry_for(-3.0f, 0.0f, -3.0f, 0.0f);
    EXPECT_EQ(page_x(-3.0f), 110.0f);
    EXPECT_EQ(page_x(-2.0f), 234.0f);
    EXPECT_EQ(page_x(0.0f), 483.0f);  // 373.99999 truncates to 373
    EXPECT_EQ(page_x(-3.001f), 110.0f);  // -0.12 truncates to 0, not -1
    EXPECT_EQ(page_x(-4.0f), -14.0f);    // -124.67 truncates to -124
}

// Points far outside the window map to large finite values without a floating-point fault.
TEST(PageMapping, FarPointsStayFinite) {
    geometry_for(0.0f, 1.0f, 0.0f, 1.0f);
    begin_fp_traps();
    const float far_right = page_x(3.0e38f);
    const float far_down = page_y(-3.0e38f);
    const float beyond_int = page_x(1.0e9f);
    end_fp_traps();
    EXPECT_EQ(far_right, FLT_MAX);
    EXPECT_EQ(far_down, -FLT_MAX);
    EXPECT_EQ(beyond_int, 110.0f + 374.0e9f);
}

}  // namespace
