// Arithmetic behind the secondary pressure scales and the guide and equilibrium lines, kept
// apart from the records so that it can be checked without PostScript. Data coordinates are
// single precision; every intermediate is formed in double and rounded once when stored.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "../modules.hpp"
#include "../numbers.hpp"
#include "../ticks.hpp"

// ---------------------------------------------------------------------------------------
// Secondary scales

// Settings of one scale set, taken from temp1_* or temp2_*.
struct scale_set {
    int32_t offset;      // 1 or 2: how many scale gaps the axes stand outside the frame
    float temperature;   // T in kelvin, positive
    float x_origin;      // x at which P = 1
    float y_origin;      // y at which P = 1
    float x_step;        // decades of P between two ticks on the top axis
    float y_step;        // the same on the right axis
    const char* x_tag;   // "Temp1x" or "Temp2x", for the range record in log.out
    const char* y_tag;
};

// Whole-number tick indices of a scale, both ends truncated toward zero.
struct tick_range {
    int32_t first;
    int32_t last;
};

// Distance between two ticks in data units, as stored in single precision (stops the run
// when that overflows).
float tick_spacing(float step, float temperature);

// Tick indices for the data span low..high measured from `origin`; `spacing` must not be 0.
// Stops the run when an index does not fit a 32-bit integer.
tick_range find_tick_range(float low, float high, float origin, float spacing);

// Number of ticks from first to last; 0 when last < first.
int32_t count_ticks(const tick_range& range);

// Data coordinate of the tick with index r: its distance from the origin plus the origin,
// stored in single precision.
float tick_position(float step, float tick_index, float temperature, float origin);

// Exponent shown at a tick: the step truncated toward zero, times r.
int32_t tick_exponent(float step, float tick_index);

// Characters of the temperature's whole part: at least 1, also for T below 1.
int32_t caption_width(float temperature);

// Characters of an exponent, its minus sign included.
int32_t exponent_width(int32_t exponent);

// Draws one scale set: right and top axes, caption, ticks and their 10^{e} labels.
void draw_scale_set(const scale_set& set);

// ---------------------------------------------------------------------------------------
// Equilibrium lines

// The box an equilibrium line is drawn in: the window, or an equ2 line's own limits.
struct line_limits {
    float x_low;
    float x_high;
    float y_low;
    float y_high;
};

struct line_ends {
    float start_x;
    float start_y;
    float end_x;
    float end_y;
};

// Ends of the line a*x + b*y = c from x_low to x_high; the start moves up to y_low when it
// lies below it, the end down to y_high when it lies above it; with b = 0 the line is
// vertical from y_low to y_high. False when the ends cannot be computed (a = b = 0, a
// horizontal line that would have to be cut at a bound, or an end beyond single precision).
bool find_line_ends(int32_t coef_x, int32_t coef_y, float line_constant, const line_limits& limits,
                    line_ends& ends);
