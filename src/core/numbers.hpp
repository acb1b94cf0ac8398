// Narrowing of working values: a real worked out in double becomes a stored single-precision
// real, or a 32-bit integer, only through here. Each conversion is named for what happens to
// a value out of range: it saturates; it cannot be out of range because the caller's checks
// (or the geometry they bound) keep it in range, which a debug build asserts; or the caller
// asks whether it fits and stops the run with its own message when it does not. Nothing here
// stops a run itself.
#pragma once

#include <fenv.h>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstdint>

// Halfway between the largest float and 2^128: a double at or beyond it rounds to infinity.
constexpr double single_overflow_threshold = 0x1.ffffffp+127;

// False for values that would round to infinity, and for NaN.
constexpr bool fits_single(double value) {
    return value < single_overflow_threshold && value > -single_overflow_threshold;
}

// Whether a whole number (already truncated) lies in the 32-bit integer range; false for NaN.
constexpr bool fits_int32(double whole) { return whole >= -2147483648.0 && whole <= 2147483647.0; }

// `value` rounded to single precision, held at the largest finite single value beyond it.
inline float to_float_saturating(double value) {
    if (value > static_cast<double>(FLT_MAX)) return FLT_MAX;
    if (value < -static_cast<double>(FLT_MAX)) return -FLT_MAX;
    return static_cast<float>(value);
}

// `value` rounded to single precision, for a value the caller's checks keep in range.
inline float to_float_known_to_fit(double value) {
    assert(fits_single(value));
    return static_cast<float>(value);
}

// `value` truncated toward zero to a 32-bit integer, for a value the caller's checks keep in
// range.
inline int32_t to_int32_known_to_fit(double value) {
    assert(fits_int32(std::trunc(value)));
    return static_cast<int32_t>(value);
}

// Stores `value` rounded to single precision in `result` and returns true when it fits;
// returns false, leaving `result` as it was, when it would overflow or is NaN.
inline bool to_float_if_fits(double value, float& result) {
    if (!fits_single(value)) return false;
    result = static_cast<float>(value);
    return true;
}

// The floating-point faults a run traps (or, in a host, watches the flags of): division by
// zero, overflow and invalid operations.
constexpr int trapped_fp_faults = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

// Suspends the floating-point traps for the lifetime of the object, for code that probes
// values which may overflow on purpose (number conversion, range checks). The exception
// flags are put back as they were: what the probe raises is forgotten, and a fault raised
// before it stays raised for a hosted run, which watches the flags instead of trapping.
struct fp_trap_pause {
    int saved;
    fexcept_t flags;
    fp_trap_pause() : saved(fedisableexcept(trapped_fp_faults)) {
        fegetexceptflag(&flags, FE_ALL_EXCEPT);
    }
    ~fp_trap_pause() {
        fesetexceptflag(&flags, FE_ALL_EXCEPT);
        if (saved > 0) feenableexcept(saved & trapped_fp_faults);
    }
    fp_trap_pause(const fp_trap_pause&) = delete;
    fp_trap_pause& operator=(const fp_trap_pause&) = delete;
};
