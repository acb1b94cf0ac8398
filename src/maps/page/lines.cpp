// Guide and equilibrium lines: vertical lines at given x, horizontal lines at given y, lines
// a*x + b*y = c across the window and such lines in boxes of their own, each cut to its
// window or box, with its dash pattern, in the order they are drawn.
#include <algorithm>
#include <cstdint>

#include "core/numbers.hpp"
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

namespace {

// Where a line end at height `y` (unrounded) lies beyond the bottom or the top edge, it moves
// along the line to that edge; a horizontal line (a = 0) cannot, and then misses.
bool cut_at_horizontal_edge(double a, double b, double c, double y_low, double y_high, double& x,
                            double& y) {
    const bool below = y < y_low;
    const bool above = y > y_high;
    if (!below && !above) return true;
    if (a == 0.0) return false;
    y = below ? y_low : y_high;
    x = (c - b * y) / a;
    return true;
}

}  // namespace

bool find_line_ends(int32_t coef_x, int32_t coef_y, float line_constant, const line_limits& limits,
                    line_ends& ends) {
    const double a = static_cast<double>(coef_x);
    const double b = static_cast<double>(coef_y);
    const double c = static_cast<double>(line_constant);
    const double x_low = static_cast<double>(limits.x_low);
    const double x_high = static_cast<double>(limits.x_high);
    const double y_low = static_cast<double>(limits.y_low);
    const double y_high = static_cast<double>(limits.y_high);
    double start_x = x_low;
    double start_y = y_low;
    double end_x = x_high;
    double end_y = y_high;
    if (coef_y == 0) {
        // Vertical: x = c/a over the full height.
        if (coef_x == 0) return false;
        start_x = c / a;
        end_x = start_x;
    } else {
        // Each end starts on its vertical edge and is cut at whichever horizontal edge it lies
        // beyond, so that rising and falling lines alike stay inside.
        start_y = (c - a * x_low) / b;
        end_y = (c - a * x_high) / b;
        if (!cut_at_horizontal_edge(a, b, c, y_low, y_high, start_x, start_y) ||
            !cut_at_horizontal_edge(a, b, c, y_low, y_high, end_x, end_y))
            return false;
    }
    // A line that passes beside its window or box draws nothing.
    if (start_x > x_high || end_x < x_low || start_x > end_x) return false;
    line_ends stored{};
    if (!to_float_if_fits(start_x, stored.start_x) || !to_float_if_fits(start_y, stored.start_y) ||
        !to_float_if_fits(end_x, stored.end_x) || !to_float_if_fits(end_y, stored.end_y))
        return false;
    ends = stored;
    return true;
}

bool is_guide_value_drawn(float value, float low, float high) {
    return value >= low && value <= high;
}

namespace {

constexpr int32_t solid_pattern = 0;  // ""

// Adds the line from (x0, y0) to (x1, y1) in data coordinates, with the dash pattern of
// `place`, its place in its own table.
void add_line(int32_t place, float x0, float y0, float x1, float y1) {
    page_layout& page = run.page;
    page.lines[page.line_count++] = {{page_x(x0), page_y(y0)},
                                     {page_x(x1), page_y(y1)},
                                     std::min(place, dash_pattern_count - 1)};
}

// Adds a*x + b*y = c within `limits`; a line whose ends cannot be computed is left out.
void add_equilibrium_line(int32_t place, int32_t coef_x, int32_t coef_y, float line_constant,
                          const line_limits& limits) {
    line_ends ends{};
    if (!find_line_ends(coef_x, coef_y, line_constant, limits, ends)) return;
    add_line(place, ends.start_x, ends.start_y, ends.end_x, ends.end_y);
}

}  // namespace

void lay_out_lines() {
    run.page.line_count = 0;
    // Step 1: vertical lines; the dash pattern follows the line's place in its own table, and
    // a value outside the window draws nothing.
    for (int32_t i = 0; i < run.xbound_count; ++i) {
        const float x = run.xbound_values[i];
        if (is_guide_value_drawn(x, run.x_min, run.x_max)) add_line(i, x, run.y_min, x, run.y_max);
    }
    // Step 2: horizontal lines, numbered afresh.
    for (int32_t i = 0; i < run.ybound_count; ++i) {
        const float y = run.ybound_values[i];
        if (is_guide_value_drawn(y, run.y_min, run.y_max)) add_line(i, run.x_min, y, run.x_max, y);
    }
    // Step 3: equilibrium lines across the window, numbered afresh; a skipped line does not
    // shift the patterns of the lines after it.
    const line_limits window{run.x_min, run.x_max, run.y_min, run.y_max};
    for (int32_t i = 0; i < run.equi_count; ++i) {
        const equi_record& line = run.equi_lines[i];
        add_equilibrium_line(i, line.coef_x, line.coef_y, line.line_constant, window);
    }
    // Step 4: equilibrium lines in their own boxes, always solid.
    for (int32_t i = 0; i < run.equ2_count; ++i) {
        const equ2_record& line = run.equ2_lines[i];
        const line_limits box{line.x_from, line.x_to, line.y_low, line.y_high};
        add_equilibrium_line(solid_pattern, line.coef_x, line.coef_y, line.line_constant, box);
    }
}
