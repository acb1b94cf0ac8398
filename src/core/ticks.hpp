// Ticks of the map's axes and pressure scales, shared by the input reader, which checks
// before drawing that every index, exponent and position fits the run's types, and by the page
// model (page/), which walks them for both maps: the tick range of each kind of axis, the walk
// over a range that both take, and the arithmetic of each pressure-scale tick. Values come out
// unrounded in double; the reader checks them, the page model narrows what the checks have
// proven to fit.
// Arguments are single precision, as the run state holds them.
#pragma once

#include <cassert>
#include <cmath>
#include <cstdint>

#include "core/modules.hpp"
#include "core/numbers.hpp"

constexpr int32_t max_ticks_per_axis = 1000;  // major ticks of a main axis, ticks of a scale axis

// Whole-number tick indices first..last, not yet known to fit a 32-bit integer.
struct tick_range {
    double first;
    double last;
};

// Ticks from first to last; 0 or less when last < first.
inline double tick_count(const tick_range& range) { return range.last - range.first + 1.0; }

// Major ticks of a main axis stand at data k + shift for the whole k from first to last: the
// first whole number at or above (low - shift) to the last at or below (high - shift), so that
// no tick lies outside the window. A window between two whole numbers has no major tick.
inline tick_range main_axis_ticks(float low, float high, float shift) {
    return {std::ceil(static_cast<double>(low) - static_cast<double>(shift)),
            std::floor(static_cast<double>(high) - static_cast<double>(shift))};
}

// One pressure-scale axis as its ticks need it.
struct scale_axis {
    float temperature;  // of the scale set, kelvin
    float origin;       // x0 or y0: where the pressure is 1
    float step;         // decades of pressure from one tick to the next
    float low;          // window bounds along the axis
    float high;
};

// The top axis of pressure-scale set `set`, whose ticks run along x, and its right axis,
// whose ticks run along y.
inline scale_axis horizontal_scale_axis(const pressure_scale& set) {
    return {set.temperature, set.x_origin, set.x_step, run.x_min, run.x_max};
}
inline scale_axis vertical_scale_axis(const pressure_scale& set) {
    return {set.temperature, set.y_origin, set.y_step, run.y_min, run.y_max};
}

// Distance between two pressure-scale ticks in data units: ln(10) * step * k_B * T.
inline double tick_spacing_wide(const scale_axis& axis) {
    return static_cast<double>(ln_ten) * static_cast<double>(axis.step) *
           static_cast<double>(boltzmann_ev) * static_cast<double>(axis.temperature);
}

// Ticks of a pressure-scale axis: each end is (bound - origin) / spacing truncated toward
// zero, with the spacing as stored in single precision.
inline tick_range scale_axis_ticks(const scale_axis& axis, float spacing) {
    const double origin = static_cast<double>(axis.origin);
    return {std::trunc((static_cast<double>(axis.low) - origin) / static_cast<double>(spacing)),
            std::trunc((static_cast<double>(axis.high) - origin) / static_cast<double>(spacing))};
}

// How a walk carries its tick index: exactly, as a main axis numbers its major ticks, or
// rounded to single precision at the start and after every step, as a pressure scale keeps
// it (from 2^24 in magnitude on, the step of one is lost to rounding and the index soon
// stands still).
enum class tick_index_kind : int32_t { whole, single };

// A walk over the ticks of a range, first to last: the index of the current tick and the
// ticks left, the current one included.
struct tick_walk {
    double index;
    int32_t left;
    tick_index_kind kind;
};

// The walk at the first tick of `range`, whose ends fit a 32-bit integer and whose count is
// at most max_ticks_per_axis (the reader checks both before it walks, so the map can).
inline tick_walk start_tick_walk(const tick_range& range, tick_index_kind kind) {
    const double count = tick_count(range);
    assert(count <= static_cast<double>(max_ticks_per_axis));
    const double first = kind == tick_index_kind::single
                             ? static_cast<double>(to_float_known_to_fit(range.first))
                             : range.first;
    return {first, count > 0.0 ? to_int32_known_to_fit(count) : 0, kind};
}

// Moves the walk on to the next tick.
inline void step_tick_walk(tick_walk& walk) {
    const double next = walk.index + 1.0;
    walk.index = walk.kind == tick_index_kind::single
                     ? static_cast<double>(to_float_known_to_fit(next))
                     : next;
    --walk.left;
}

// Data coordinate of the tick with index r: its distance from the scale's origin,
// (((step * r) * k_B) * T) * ln(10), plus the origin.
inline double tick_position_wide(const scale_axis& axis, double tick_index) {
    return static_cast<double>(axis.step) * tick_index * static_cast<double>(boltzmann_ev) *
               static_cast<double>(axis.temperature) * static_cast<double>(ln_ten) +
           static_cast<double>(axis.origin);
}

// Exponent of ten shown at the tick with the whole index r: the step truncated toward zero,
// times r.
inline double tick_exponent_wide(const scale_axis& axis, double tick_index) {
    return std::trunc(static_cast<double>(axis.step)) * tick_index;
}
