// Page geometry and the data-to-page maps.
#include <gtest/gtest.h>

#include <cfloat>
#include <tuple>
#include <utility>

#include "modules.hpp"
#include "printps/internals.hpp"
#include "printps/printps.hpp"
#include "records/fatal.hpp"
#include "run_guards.hpp"

namespace {

page_translation geometry_for(float x_min, float x_max, float y_min, float y_max,
                              float temp1 = -1.0f, float temp2 = -1.0f) {
    reset_run_state();
    std::tie(run.x_min, run.x_max, run.y_min, run.y_max) = std::tuple(x_min, x_max, y_min, y_max);
    std::tie(run.scales[0].temperature, run.scales[1].temperature) = std::pair(temp1, temp2);
    return set_up_page_geometry();
}

// Equal scales centre vertically, and a temperature of 0 is not positive, so it does not
// narrow the plot area. (Positive temperatures narrowing it by 50 points each are the golden
// cases scales-temp2-only and scales-both-sets.) The product is formed in double and
// truncated toward zero, never rounded or floored: 373.99999 gives 373, -0.12 gives 0 (not
// -1) and -124.67 gives -124.
TEST(PageMapping, TranslationAndTruncatedProduct) {
    const page_translation equal = geometry_for(0.0f, 374.0f, 0.0f, 622.0f, 0.0f, 0.0f);
    EXPECT_EQ(std::tuple(page.page_scale, equal.x, equal.y), std::tuple(1.0f, 0.0f, -30.0f));
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

}  // namespace
