// The engine's arithmetic where the double filters cannot decide: signs through CGAL's
// filtered predicates (interval arithmetic, then exact arithmetic on the doubles given), and
// corners and energies rounded once: evaluated in extended precision with an error bound,
// and exactly (GMP rationals) when the bound straddles a rounding boundary.
#include <gmp.h>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Filtered_predicate.h>
#include <CGAL/Gmpq.h>
#include <CGAL/determinant.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "engine/internals.hpp"

namespace engine::detail {
namespace {

using kernel = CGAL::Epick;
using exact_kernel = kernel::Exact_kernel_rt;  // a ring type exact on doubles (Mpzf)
using interval_kernel = kernel::Approximate_kernel;

// sign det(p1 - m1, p2 - m2, p3 - m3), evaluated in the number type of kernel K.
template <class K>
struct det_of_differences {
    using result_type = typename CGAL::Same_uncertainty_nt<CGAL::Sign, typename K::FT>::type;
    using point = typename K::Point_3;
    result_type operator()(const point& p1, const point& m1, const point& p2, const point& m2,
                           const point& p3, const point& m3) const {
        const auto r1 = p1 - m1, r2 = p2 - m2, r3 = p3 - m3;
        return CGAL::sign(CGAL::determinant(r1.x(), r1.y(), r1.z(), r2.x(), r2.y(), r2.z(), r3.x(),
                                            r3.y(), r3.z()));
    }
};

// sign of the third component of (p1 - m1) x (p2 - m2).
template <class K>
struct cross_of_differences {
    using result_type = typename CGAL::Same_uncertainty_nt<CGAL::Sign, typename K::FT>::type;
    using point = typename K::Point_3;
    result_type operator()(const point& p1, const point& m1, const point& p2,
                           const point& m2) const {
        const auto r1 = p1 - m1, r2 = p2 - m2;
        return CGAL::sign(CGAL::determinant(r1.x(), r1.y(), r2.x(), r2.y()));
    }
};

// sign (g_p - g_q)(x, y), the planes as points (a, b, d) and the place as (x, y, 1).
template <class K>
struct energy_difference {
    using result_type = typename CGAL::Same_uncertainty_nt<CGAL::Sign, typename K::FT>::type;
    using point = typename K::Point_3;
    result_type operator()(const point& p, const point& q, const point& at) const {
        return CGAL::sign((p - q) * (at - CGAL::ORIGIN));
    }
};

template <template <class> class P>
using filtered =
    CGAL::Filtered_predicate<P<exact_kernel>, P<interval_kernel>, kernel::C2E_rt, kernel::C2F>;

kernel::Point_3 as_point(const triple& t) { return {t[0], t[1], t[2]}; }

// A value in extended precision and a bound on its distance from the exact value.
struct bounded {
    long double v = 0.0L, e = 0.0L;
};
constexpr long double unit = std::numeric_limits<long double>::epsilon() / 2;

bounded exact_value(double x) { return {x, 0.0L}; }
bounded operator+(bounded p, bounded q) {
    const long double v = p.v + q.v;
    return {v, p.e + q.e + unit * std::fabs(v)};
}
bounded operator*(bounded p, bounded q) {
    const long double v = p.v * q.v;
    return {v, std::fabs(p.v) * q.e + std::fabs(q.v) * p.e + p.e * q.e + unit * std::fabs(v)};
}

// Whether long double arithmetic carries at least 64 significant bits here and now (it does
// on x86-64 unless the x87 precision was lowered); without them every corner is computed
// exactly.
bool extended_precision() {
    if constexpr (std::numeric_limits<long double>::digits < 64) {
        return false;
    } else {
        volatile long double one = 1.0L;
        return one + 0x1p-63L != one;
    }
}

constexpr double undecided = std::numeric_limits<double>::quiet_NaN();

// b.v rounded to the nearest double when the bound decides it (every value within the bound
// rounds to the same double), otherwise NaN. The margin covers the rounding of the bound's
// own arithmetic, which is far below 2^-20 of it.
double decided(bounded b) {
    const long double e = b.e * (1.0L + 0x1p-20L) + 4.0L * unit * std::fabs(b.v);
    const double lo = static_cast<double>(b.v - e), hi = static_cast<double>(b.v + e);
    return lo == hi ? lo : undecided;
}

double decided_quotient(bounded num, bounded den) {
    const long double d = std::fabs(den.v);
    if (!(d > den.e)) return undecided;
    const long double q = num.v / den.v;
    const long double e = (d * num.e + std::fabs(num.v) * den.e) / (d * (d - den.e));
    return decided({q, e + unit * std::fabs(q)});
}

// The nearest double to q (ties to even), subnormals and overflow to infinity included.
double nearest_double(const CGAL::Gmpq& q) {
    const int sign = mpq_sgn(q.mpq());
    if (sign == 0) return 0.0;
    mpz_t num, den, m, r;
    mpz_inits(num, den, m, r, nullptr);
    mpz_abs(num, mpq_numref(q.mpq()));
    mpz_set(den, mpq_denref(q.mpq()));
    // k = floor(log2(num / den)): the bit lengths give it or one more.
    long k = static_cast<long>(mpz_sizeinbase(num, 2)) - static_cast<long>(mpz_sizeinbase(den, 2));
    if (k >= 0) {
        mpz_mul_2exp(r, den, static_cast<mp_bitcnt_t>(k));
        if (mpz_cmp(num, r) < 0) --k;
    } else {
        mpz_mul_2exp(r, num, static_cast<mp_bitcnt_t>(-k));
        if (mpz_cmp(r, den) < 0) --k;
    }
    const long e = std::max(k - 52, -1074L);  // the result is m * 2^e with m <= 2^53
    if (e >= 0)
        mpz_mul_2exp(den, den, static_cast<mp_bitcnt_t>(e));
    else
        mpz_mul_2exp(num, num, static_cast<mp_bitcnt_t>(-e));
    mpz_tdiv_qr(m, r, num, den);
    mpz_mul_2exp(r, r, 1);
    const int half = mpz_cmp(r, den);
    if (half > 0 || (half == 0 && mpz_odd_p(m))) mpz_add_ui(m, m, 1);
    const double mantissa = mpz_get_d(m);  // exact
    mpz_clears(num, den, m, r, nullptr);
    const double magnitude = e > 1100 ? std::numeric_limits<double>::infinity()
                                      : std::ldexp(mantissa, static_cast<int>(e));
    return sign < 0 ? -magnitude : magnitude;
}

bounded extended(double x) { return exact_value(x); }
CGAL::Gmpq rational(double x) { return CGAL::Gmpq(x); }

// The homogeneous coordinates r1 x r2 of the point where two lines meet.
template <class T, class Make>
std::array<T, 3> meeting(const line& l1, const line& l2, Make make) {
    const std::array<T, 3> r1 = {make(l1.plus[0]) - make(l1.minus[0]),
                                 make(l1.plus[1]) - make(l1.minus[1]),
                                 make(l1.plus[2]) - make(l1.minus[2])};
    const std::array<T, 3> r2 = {make(l2.plus[0]) - make(l2.minus[0]),
                                 make(l2.plus[1]) - make(l2.minus[1]),
                                 make(l2.plus[2]) - make(l2.minus[2])};
    return {r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2],
            r1[0] * r2[1] - r1[1] * r2[0]};
}

}  // namespace

int exact_det_sign(const line& l1, const line& l2, const line& l3) {
    return static_cast<int>(filtered<det_of_differences>()(as_point(l1.plus), as_point(l1.minus),
                                                           as_point(l2.plus), as_point(l2.minus),
                                                           as_point(l3.plus), as_point(l3.minus)));
}

int exact_cross_sign(const line& l1, const line& l2) {
    return static_cast<int>(filtered<cross_of_differences>()(
        as_point(l1.plus), as_point(l1.minus), as_point(l2.plus), as_point(l2.minus)));
}

int exact_compare_at(const plane& p, const plane& q, double x, double y) {
    return static_cast<int>(filtered<energy_difference>()(kernel::Point_3(p.a, p.b, p.d),
                                                          kernel::Point_3(q.a, q.b, q.d),
                                                          kernel::Point_3(x, y, 1.0)));
}

point corner_point(std::span<const line> lines, const vertex& v, const window& w) {
    point at{undecided, undecided};
    for (const std::uint32_t side : {v.first, v.second}) {
        if (side == left_side || side == right_side) at.x = side == left_side ? w.x_min : w.x_max;
        if (side == bottom_side || side == top_side) at.y = side == bottom_side ? w.y_min : w.y_max;
    }
    const line &l1 = lines[v.first], &l2 = lines[v.second];
    if (v.filtered && (std::isnan(at.x) || std::isnan(at.y)) && extended_precision()) {
        // The homogeneous coordinates in extended precision. Each is a difference of two
        // products of rounded differences: within 4 roundings, 4.5 units of the double
        // permanent (which is within 2^-50 of the exact one), of the exact value.
        const std::array<long double, 3> x =
            meeting<long double>(l1, l2, [](double d) { return static_cast<long double>(d); });
        const auto near = [&](int c) { return bounded{x[c], 4.5L * unit * v.permanent[c]}; };
        if (std::isnan(at.x)) at.x = decided_quotient(near(0), near(2));
        if (std::isnan(at.y)) at.y = decided_quotient(near(1), near(2));
    }
    if (std::isnan(at.x) || std::isnan(at.y)) {
        const std::array<CGAL::Gmpq, 3> x = meeting<CGAL::Gmpq>(l1, l2, rational);
        if (std::isnan(at.x)) at.x = nearest_double(x[0] / x[2]);
        if (std::isnan(at.y)) at.y = nearest_double(x[1] / x[2]);
    }
    // One zero: the extended and the exact evaluation may differ in its sign.
    if (at.x == 0.0) at.x = 0.0;
    if (at.y == 0.0) at.y = 0.0;
    return at;
}

double rounded_energy(const plane& p, double x, double y) {
    if (extended_precision()) {
        const bounded g = extended(p.a) * extended(x) + extended(p.b) * extended(y) + extended(p.d);
        const double value = decided(g);
        if (!std::isnan(value)) return value;
    }
    return nearest_double(rational(p.a) * rational(x) + rational(p.b) * rational(y) +
                          rational(p.d));
}

}  // namespace engine::detail
