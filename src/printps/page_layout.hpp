// Map writer internals shared by its sections and tests: the start-up values, the page
// geometry with the translation that centres the drawing, and the conversion that keeps
// far-away page coordinates finite.
#pragma once

#include <cstdint>

#include "sections.hpp"

// Operands of the translation record.
struct page_translation {
    float x;
    float y;
};

// Sets the writer's constants in `map`: dash patterns, scale gaps and
// the window's lower left corner at (110, 110).
void set_start_up_values();

// Sets plot_right, plot_top and page_scale in `map` from the window and the temperatures,
// and returns the translation. Stops the run when the window is too narrow or too wide for
// a finite scale.
page_translation set_up_page_geometry();

// `value` rounded to single precision, held at the largest finite single value beyond it.
float to_float_saturated(double value);
