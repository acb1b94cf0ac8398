// The page geometry: the plot area, the scale that fits the window into it and the
// translation that centres the drawing, and the maps from data to page coordinates.
#include <cassert>
#include <cmath>

#include "core/numbers.hpp"
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

namespace {

// Page points per data unit that fill `room` with the span low..high; the span is rounded
// to single precision first.
float scale_to_fill(float room, float low, float high) {
    const double span = static_cast<double>(high) - static_cast<double>(low);
    assert(span > 0.0 && fits_single(span));
    return to_float_known_to_fit(static_cast<double>(room) /
                                 static_cast<double>(to_float_known_to_fit(span)));
}

// origin + (value - low) * page_scale, the product truncated toward zero in double; a point
// far outside the window keeps a finite page coordinate.
float map_to_page(float value, float low, float origin) {
    const double product = (static_cast<double>(value) - static_cast<double>(low)) *
                           static_cast<double>(run.page.page_scale);
    const float whole = to_float_saturating(std::trunc(product));
    return origin + whole;
}

}  // namespace

void lay_out_geometry() {
    page_layout& page = run.page;
    // Step 1: the plot area, narrowed by one scale gap for each positive temperature.
    page.plot_right = full_plot_right;
    page.plot_top = full_plot_top;
    if (is_scale_on(0)) {
        page.plot_right -= scale_gap_x;
        page.plot_top -= scale_gap_y;
    }
    if (is_scale_on(1)) {
        page.plot_right -= scale_gap_x;
        page.plot_top -= scale_gap_y;
    }

    // Step 2: the scale that fills each direction; the smaller one serves both.
    const float scale_x = scale_to_fill(page.plot_right - plot_left, run.x_min, run.x_max);
    const float scale_y = scale_to_fill(page.plot_top - plot_bottom, run.y_min, run.y_max);

    // Step 3: centre the drawing in the direction that has room to spare.
    page.translation = {0.0f, 0.0f};
    if (scale_y < scale_x) {
        page.page_scale = scale_y;
        page.translation.x = to_float_known_to_fit(
            (static_cast<double>(scale_x) - static_cast<double>(scale_y)) *
                (static_cast<double>(run.x_max) - static_cast<double>(run.x_min)) * 0.5 -
            static_cast<double>(centring_margin_x));
    } else {
        page.page_scale = scale_x;
        page.translation.y = to_float_known_to_fit(
            (static_cast<double>(scale_y) - static_cast<double>(scale_x)) *
                (static_cast<double>(run.y_max) - static_cast<double>(run.y_min)) * 0.5 -
            static_cast<double>(centring_margin_y));
    }
}

float page_x(float x) { return map_to_page(x, run.x_min, plot_left); }

float page_y(float y) { return map_to_page(y, run.y_min, plot_bottom); }

page_point point_on_axis(direction along, float at, float across) {
    return along == direction::x ? page_point{at, across} : page_point{across, at};
}

float page_along(direction along, float value) {
    return along == direction::x ? page_x(value) : page_y(value);
}

float plus(float value, double offset) {
    return to_float_known_to_fit(static_cast<double>(value) + offset);
}
