// What the parts of the engine share: the lines that bound a region, the implicit polygon
// corners, the filtered sign of a line at a corner, and the arithmetic kept in exact.cpp
// (exact signs, corners rounded once) and hull.cpp (the convex hull of the dual points).
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/envelope.hpp"

namespace engine::detail {

using triple = std::array<double, 3>;

// The half-plane row[0] x + row[1] y + row[2] >= 0, given exactly as row = plus - minus. A
// plane j bounds the region of plane i by g_j - g_i >= 0, plus = (a_j, b_j, d_j) and minus =
// (a_i, b_i, d_i); the window's sides are lines too (see window_lines).
struct line {
    triple plus{}, minus{};
    triple row{};           // plus - minus, each rounded
    bool filtered = false;  // every row entry is 0 or of magnitude in [2^-300, 2^300]
};

inline line make_line(const triple& plus, const triple& minus) {
    line l{plus, minus, {}, true};
    for (int c = 0; c < 3; ++c) {
        l.row[c] = plus[c] - minus[c];
        const double m = std::fabs(l.row[c]);
        if (m != 0.0 && !(m >= 0x1p-300 && m <= 0x1p300)) l.filtered = false;
    }
    return l;
}

// The window's sides, by index: 0 x >= x_min, 1 x <= x_max, 2 y >= y_min, 3 y <= y_max.
enum : std::uint32_t { left_side = 0, right_side = 1, bottom_side = 2, top_side = 3 };
std::array<line, 4> window_lines(const window& w);

// A corner: the point where lines `first` and `second` (indices into a region's lines) meet,
// with their cross product (homogeneous coordinates of the point) in double, the permanents
// that bound its rounding errors, and the exact sign of its third component.
struct vertex {
    std::uint32_t first = 0, second = 0;
    triple cross{}, permanent{};
    int w_sign = 0;  // never 0: the two lines are not parallel
    bool filtered = false;
};

// Exact signs, for when the filters cannot decide: of det(row1, row2, row3), and of the
// third component of row1 x row2.
int exact_det_sign(const line& l1, const line& l2, const line& l3);
int exact_cross_sign(const line& l1, const line& l2);

// The classic forward error bounds of a 3x3 and a 2x2 determinant of rounded differences
// with all products normal: (7 + 56 eps) eps and (3 + 16 eps) eps times the permanent.
inline constexpr double epsilon = 0x1p-53;
inline constexpr double det3_bound = (7.0 + 56.0 * epsilon) * epsilon;
inline constexpr double det2_bound = (3.0 + 16.0 * epsilon) * epsilon;

inline vertex make_vertex(std::span<const line> lines, std::uint32_t first, std::uint32_t second) {
    const triple& r = lines[first].row;
    const triple& s = lines[second].row;
    vertex v{first, second, {}, {}, 0, lines[first].filtered && lines[second].filtered};
    v.cross = {r[1] * s[2] - r[2] * s[1], r[2] * s[0] - r[0] * s[2], r[0] * s[1] - r[1] * s[0]};
    v.permanent = {std::fabs(r[1] * s[2]) + std::fabs(r[2] * s[1]),
                   std::fabs(r[2] * s[0]) + std::fabs(r[0] * s[2]),
                   std::fabs(r[0] * s[1]) + std::fabs(r[1] * s[0])};
    const double w = v.cross[2], bound = det2_bound * v.permanent[2];
    if (v.filtered && (w > bound || -w > bound))
        v.w_sign = w > 0.0 ? 1 : -1;
    else
        v.w_sign = exact_cross_sign(lines[first], lines[second]);
    return v;
}

// The side of line `l` on which corner `v` lies: +1 inside, 0 on the line, -1 outside.
inline int side_of(const vertex& v, std::span<const line> lines, const line& l) {
    if (v.filtered && l.filtered) {
        const triple& r = l.row;
        const double det = r[0] * v.cross[0] + r[1] * v.cross[1] + r[2] * v.cross[2];
        const double bound =
            det3_bound * (std::fabs(r[0]) * v.permanent[0] + std::fabs(r[1]) * v.permanent[1] +
                          std::fabs(r[2]) * v.permanent[2]);
        if (det > bound) return v.w_sign;
        if (-det > bound) return -v.w_sign;
    }
    return exact_det_sign(lines[v.first], lines[v.second], l) * v.w_sign;
}

// The corner's coordinates, each the exact value rounded to the nearest double. Lines 0 to 3
// are the window's sides (their coordinate is taken as it is).
point corner_point(std::span<const line> lines, const vertex& v, const window& w);

// Exact comparisons and values at a point given in doubles: the sign of g_p - g_q at (x, y),
// and g_p(x, y) rounded to the nearest double.
int exact_compare_at(const plane& p, const plane& q, double x, double y);
double rounded_energy(const plane& p, double x, double y);

// The convex hull of distinct points (a, b, d), at least two, sorted by (a, b, d): for each
// point whether it may be the lowest plane on a region of positive area (it is a vertex of
// the hull with a facet below it, or the hull is flat), and its neighbours on the hull.
struct hull_graph {
    std::vector<std::uint8_t> candidate;
    std::vector<std::size_t> offsets;  // neighbours of point i: [offsets[i], offsets[i + 1])
    std::vector<std::uint32_t> neighbours;
};
hull_graph lower_hull_graph(std::span<const plane> sorted_points);

}  // namespace engine::detail
