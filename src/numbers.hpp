// Checked narrowing: whether a value worked out in double can be stored in the run's types
// (single-precision reals, 32-bit integers) without overflow. Every conversion of a working
// value that may be out of range asks here first.
#pragma once

// Halfway between the largest float and 2^128: a double at or beyond it rounds to infinity.
constexpr double single_overflow_threshold = 0x1.ffffffp+127;

// False for values that would round to infinity, and for NaN.
constexpr bool fits_single(double value) {
    return value < single_overflow_threshold && value > -single_overflow_threshold;
}

// Whether a whole number (already truncated) lies in the 32-bit integer range; false for NaN.
constexpr bool fits_int32(double whole) { return whole >= -2147483648.0 && whole <= 2147483647.0; }
