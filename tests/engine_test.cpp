// The exact envelope engine in C++: both ways of finding neighbours give the same answer on
// random and degenerate families, regions tile the window, exact scaling by powers of two
// changes nothing (it sends the arithmetic through the exact paths), and the caller's rounding
// mode. The comparison with exact rationals (the tie rule among it), sweeps and refusals go
// through the module: python/tests/test_envelope.py.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <random>
#include <vector>

#include "engine/envelope.hpp"

namespace {

using engine::method;
using engine::plane;
using engine::point;

// Random planes with small binary-fraction coefficients (many exact ties) or with full
// doubles.
std::vector<plane> random_planes(std::mt19937_64& rng, std::size_t n, bool coarse) {
    std::uniform_int_distribution<int> step(-8, 8);
    std::uniform_real_distribution<double> real(-1.0, 1.0);
    std::vector<plane> planes(n);
    for (plane& p : planes)
        p = coarse ? plane{step(rng) / 4.0, step(rng) / 4.0, step(rng) / 8.0}
                   : plane{real(rng), real(rng), real(rng) * 0.5};
    return planes;
}

// Planes through one point (0.25, -0.5, 1) with integer slopes on a parabola: every one is a
// hull vertex; the slopes halfway between neighbours give planes lowest only on a ray.
std::vector<plane> through_one_point(std::size_t n) {
    std::vector<plane> planes;
    for (std::size_t k = 0; k < n; ++k) {
        const double a = static_cast<double>(k) - 6.0, b = a * a / 8.0;
        planes.push_back({a, b, 1.0 - 0.25 * a + 0.5 * b});
    }
    return planes;
}

void expect_same(const engine::envelope& e, const engine::envelope& f) {
    ASSERT_EQ(e.regions.size(), f.regions.size());
    EXPECT_EQ(e.never_stable, f.never_stable);
    for (std::size_t r = 0; r < e.regions.size(); ++r) {
        const auto &p = e.regions[r], &q = f.regions[r];
        EXPECT_EQ(p.plane, q.plane);
        EXPECT_EQ(p.area, q.area);
        const auto c = e.corners_of(p), d = f.corners_of(q);
        ASSERT_EQ(c.size(), d.size()) << "region of plane " << p.plane;
        for (std::size_t k = 0; k < c.size(); ++k) {
            EXPECT_EQ(c[k].x, d[k].x);
            EXPECT_EQ(c[k].y, d[k].y);
        }
    }
}

double total_area(const engine::envelope& e) {
    double sum = 0.0;
    for (const auto& r : e.regions) sum += r.area;
    return sum;
}

TEST(Envelope, HullAndAllPairsAgreeOnRandomAndDegenerateFamilies) {
    std::mt19937_64 rng(27);
    const engine::window w{-1.0, 1.0, -0.75, 1.25};
    std::vector<std::vector<plane>> families;
    for (const std::size_t n : {2, 3, 5, 8, 16, 40, 200})
        for (const bool coarse : {false, true}) families.push_back(random_planes(rng, n, coarse));
    families.push_back(through_one_point(12));
    families.push_back(through_one_point(100));
    auto stacked = random_planes(rng, 30, true);  // parallel and identical planes
    for (std::size_t k = 0; k < 30; ++k) stacked.push_back({stacked[k].a, stacked[k].b, 0.125});
    families.push_back(stacked);
    families.push_back({{1.0, 0.0, 0.0}, {2.0, 0.0, 0.0}, {3.0, 0.0, 0.0}});  // on one line
    auto upright = random_planes(rng, 80, false);  // points on a vertical plane: a flat hull
    for (plane& p : upright) p.a = 0.5;
    families.push_back(upright);
    for (const auto& planes : families) {
        const auto pairs = engine::lower_envelope(planes, w, method::all_pairs);
        expect_same(pairs, engine::lower_envelope(planes, w, method::hull));
        expect_same(pairs, engine::lower_envelope(planes, w));
        EXPECT_NEAR(total_area(pairs), 4.0, 1e-12) << planes.size() << " planes";
        for (const auto& r : pairs.regions) {
            EXPECT_GT(r.area, 0.0);
            const auto c = pairs.corners_of(r);
            for (std::size_t k = 0; k < c.size(); ++k) {  // clockwise, convex
                const point &p = c[k], &q = c[(k + 1) % c.size()], &s = c[(k + 2) % c.size()];
                EXPECT_LE((q.x - p.x) * (s.y - p.y) - (q.y - p.y) * (s.x - p.x), 1e-12);
            }
        }
    }
    const auto wedges = engine::lower_envelope(through_one_point(100), w);
    std::size_t at_point = 0;  // every region a wedge from the common point
    for (const auto& r : wedges.regions)
        for (const point& c : wedges.corners_of(r)) at_point += c.x == 0.25 && c.y == -0.5;
    EXPECT_EQ(at_point, wedges.regions.size());
}

// Scaling a, b and d by 2^k, or a and b by 2^k and the window by 2^-k, is exact and leaves
// the corners as they were (scaled back); far from 1 it leaves the double filters' range.
TEST(Envelope, ExactScalingChangesNothing) {
    std::mt19937_64 rng(5);
    for (const bool coarse : {false, true}) {
        const auto planes = random_planes(rng, 12, coarse);
        const engine::window w{-1.0, 1.0, -1.0, 1.0};
        const auto reference = engine::lower_envelope(planes, w);
        for (const int k : {-700, -320, 400, 900}) {
            auto scaled = planes;
            for (plane& p : scaled)
                p = {std::ldexp(p.a, k), std::ldexp(p.b, k), std::ldexp(p.d, k)};
            const auto e = engine::lower_envelope(scaled, w);
            EXPECT_EQ(e.never_stable, reference.never_stable) << k;
            ASSERT_EQ(e.corners.size(), reference.corners.size()) << k;
            for (std::size_t c = 0; c < e.corners.size(); ++c) {
                EXPECT_EQ(e.corners[c].x, reference.corners[c].x);
                EXPECT_EQ(e.corners[c].y, reference.corners[c].y);
            }
        }
        for (const int k : {-400, 300}) {
            auto scaled = planes;
            for (plane& p : scaled) p = {std::ldexp(p.a, k), std::ldexp(p.b, k), p.d};
            const double s = std::ldexp(1.0, -k);
            const auto e = engine::lower_envelope(scaled, {-s, s, -s, s});
            ASSERT_EQ(e.corners.size(), reference.corners.size()) << k;
            for (std::size_t c = 0; c < e.corners.size(); ++c) {
                EXPECT_EQ(e.corners[c].x, std::ldexp(reference.corners[c].x, -k));
                EXPECT_EQ(e.corners[c].y, std::ldexp(reference.corners[c].y, -k));
            }
        }
    }
}

// The bounds of the filters hold in rounding to nearest: a call sets it and puts the
// caller's mode back.
TEST(Envelope, TheCallersRoundingModeIsKeptAndChangesNothing) {
    std::mt19937_64 rng(13);
    const auto planes = random_planes(rng, 30, false);
    const engine::window w{-1.0, 1.0, -1.0, 1.0};
    const auto expected = engine::lower_envelope(planes, w);
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        const auto e = engine::lower_envelope(planes, w);
        const int after = std::fegetround();
        std::fesetround(FE_TONEAREST);
        EXPECT_EQ(after, mode);
        expect_same(e, expected);
    }
}

}  // namespace
