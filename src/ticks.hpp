// Tick arithmetic of the map's axes and pressure scales, shared by the input reader, which
// checks before drawing that every index, exponent and position fits the run's types, and by
// the map writer, which draws them. Each function returns the unrounded double; the caller
// checks or narrows it. Arguments are single precision, as the run state holds them.
#pragma once

#include <cmath>
#include <cstdint>

constexpr float boltzmann_ev = 8.617387e-05f;  // Boltzmann constant in eV/K
constexpr float ln_ten = 2.3025851f;           // ln(10) as the pressure scales use it
constexpr int32_t max_ticks_per_axis = 1000;   // major ticks of a main axis, ticks of a scale axis

// Index k of the major tick at data k + shift next to a window bound: (bound - shift)
// truncated toward zero.
inline double major_tick_index(float bound, float shift) {
    return std::trunc(static_cast<double>(bound) - static_cast<double>(shift));
}

// Ticks from index first to last; 0 or less when last < first.
inline double tick_count(double first, double last) { return last - first + 1.0; }

// Distance between two pressure-scale ticks in data units: ln(10) * step * k_B * T.
inline double tick_spacing_wide(float step, float temperature) {
    return static_cast<double>(ln_ten) * static_cast<double>(step) *
           static_cast<double>(boltzmann_ev) * static_cast<double>(temperature);
}

// Index of the pressure-scale tick next to a window bound: (bound - origin) / spacing
// truncated toward zero, with the spacing as stored in single precision.
inline double scale_tick_index(float bound, float origin, float spacing) {
    return std::trunc((static_cast<double>(bound) - static_cast<double>(origin)) /
                      static_cast<double>(spacing));
}

// Distance of the tick with index r from the scale's origin: (((step * r) * k_B) * T) * ln(10).
inline double tick_offset_wide(float step, float tick_index, float temperature) {
    return static_cast<double>(step) * static_cast<double>(tick_index) *
           static_cast<double>(boltzmann_ev) * static_cast<double>(temperature) *
           static_cast<double>(ln_ten);
}

// Exponent of ten shown at the tick with the whole index r: the step truncated toward zero,
// times r.
inline double tick_exponent_wide(float step, float tick_index) {
    return std::trunc(static_cast<double>(step)) * static_cast<double>(tick_index);
}
