// Checked narrowing: whether a value worked out in double can be stored in the run's types
// (single-precision reals, 32-bit integers) without overflow. Every conversion of a working
// value that may be out of range asks here first.
#pragma once

#include <fenv.h>
#include <cstdint>

// Halfway between the largest float and 2^128: a double at or beyond it rounds to infinity.
constexpr double single_overflow_threshold = 0x1.ffffffp+127;

// False for values that would round to infinity, and for NaN.
constexpr bool fits_single(double value) {
    return value < single_overflow_threshold && value > -single_overflow_threshold;
}

// Whether a whole number (already truncated) lies in the 32-bit integer range; false for NaN.
constexpr bool fits_int32(double whole) { return whole >= -2147483648.0 && whole <= 2147483647.0; }

// Suspends the floating-point traps for the lifetime of the object, for code that probes
// values which may overflow on purpose (number conversion, range checks).
struct fp_trap_pause {
    static constexpr int trapped = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;
    int saved;
    fp_trap_pause() : saved(fedisableexcept(trapped)) {}
    ~fp_trap_pause() {
        feclearexcept(FE_ALL_EXCEPT);
        if (saved > 0) feenableexcept(saved & trapped);
    }
    fp_trap_pause(const fp_trap_pause&) = delete;
    fp_trap_pause& operator=(const fp_trap_pause&) = delete;
};
