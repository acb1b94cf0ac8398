// The exact lower envelope of planes over a window: for n planes g_i(x, y) = a_i x + b_i y + d_i
// and a rectangle, the region where each plane is the lowest, as a convex polygon.
//
// Structure exact, corners rounded once. Which plane is lowest where, which corners exist and
// which regions have positive area are decided exactly for the given doubles (filtered
// predicates: a floating-point evaluation with an error bound, then interval arithmetic,
// then exact arithmetic when the sign is still in doubt). Every corner coordinate is the
// exact corner rounded to the nearest double; areas and centroids are computed in double from
// those corners.
//
// The tie rule, the same in every part of the answer:
// - identical planes: the one of lowest index has the region, the others are never stable;
// - a plane that is lowest only on a set of zero area (a point, a segment, a stretch of a
//   window edge) is never stable: a region always has positive area;
// - at a point where several planes are lowest, lowest_at gives the lowest index among them.
//
// Plain containers, no capacity but memory, no global state: every call owns its data, so
// calls from several threads may run at once. Each call computes in rounding to nearest and
// puts the calling thread's rounding mode back. Invalid input throws std::invalid_argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace engine {

// g(x, y) = a x + b y + d.
struct plane {
    double a = 0.0, b = 0.0, d = 0.0;
};

// x_min < x_max, y_min < y_max, all finite.
struct window {
    double x_min = 0.0, x_max = 0.0, y_min = 0.0, y_max = 0.0;
};

struct point {
    double x = 0.0, y = 0.0;
};

// The region of one stable plane; its corners are envelope::corners[first_corner ..
// first_corner + corner_count), clockwise with y pointing up, starting from the leftmost
// corner (the highest of the leftmost when several share the smallest x). The exact corners
// are genuine ones (no point twice, no three in a row on a line); one that rounds to the same
// point as the corner before it is given once, so a region too small for doubles may show
// fewer than three corners.
struct region {
    std::size_t plane = 0;  // 0-based index of the plane in the input
    std::size_t first_corner = 0, corner_count = 0;
    double area = 0.0;  // of the polygon of the rounded corners
    point centroid;     // of that polygon
};

struct envelope {
    std::vector<region> regions;            // one per stable plane, by plane index
    std::vector<point> corners;             // the corners of every region, region by region
    std::vector<std::size_t> never_stable;  // every other plane index, ascending

    std::span<const point> corners_of(const region& r) const {
        return std::span<const point>(corners).subspan(r.first_corner, r.corner_count);
    }
};

// How the candidates' neighbours are found; every method gives the same answer.
// all_pairs: every plane against every other (fastest for a few dozen planes);
// hull: the lower convex hull of the points (a_i, b_i, d_i), O(n log n);
// automatic: all_pairs up to all_pairs_limit planes, hull above.
enum class method { automatic, all_pairs, hull };
inline constexpr std::size_t all_pairs_limit = 64;

// The lower envelope of `planes` (at least one, all coefficients finite) over `w`.
envelope lower_envelope(std::span<const plane> planes, const window& w,
                        method how = method::automatic);

// For every point, the 0-based index of the lowest plane there (the lowest index among the
// planes that tie exactly). Points need not lie in any window; all must be finite.
void lowest_at(std::span<const plane> planes, std::span<const point> points,
               std::span<std::int64_t> lowest);

// For every point, the lowest g there, the exact value rounded to the nearest double.
void energy_at(std::span<const plane> planes, std::span<const point> points,
               std::span<double> energy);

// Many diagrams over one window that differ only in d: diagram k has the planes
// (a_i, b_i, d[k * n + i]) with n = slopes.size() and k < d.size() / n. Each output is filled
// when it is not empty, diagram by diagram: areas and stable (diagrams x n; area 0 and stable
// 0 for a plane that is never stable), centroids (diagrams x n x 2; NaN for a plane that is
// never stable) and lowest (diagrams x probes, as lowest_at).
struct slope {
    double a = 0.0, b = 0.0;
};
struct sweep_outputs {
    std::span<double> areas;
    std::span<std::uint8_t> stable;
    std::span<double> centroids;
    std::span<std::int64_t> lowest;
};
void sweep(std::span<const slope> slopes, std::span<const double> d, const window& w,
           std::span<const point> probes, const sweep_outputs& out);

}  // namespace engine
