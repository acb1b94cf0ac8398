// The lower envelope: identical planes merged (the lowest index kept), each remaining plane's
// region cut out of the window by the half-planes g_j - g_i >= 0 of its candidate
// neighbours (every other plane, or its neighbours on the convex hull of the dual points),
// with every corner kept implicitly as the two lines that meet there and every side test an
// exact sign; then the corners rounded once, ordered and measured.
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
#include <tuple>

#include "engine/envelope.hpp"
#include "engine/internals.hpp"

namespace engine {
namespace detail {

std::array<line, 4> window_lines(const window& w) {
    return {make_line({1.0, 0.0, 0.0}, {0.0, 0.0, w.x_min}),
            make_line({0.0, 0.0, w.x_max}, {1.0, 0.0, 0.0}),
            make_line({0.0, 1.0, 0.0}, {0.0, 0.0, w.y_min}),
            make_line({0.0, 0.0, w.y_max}, {0.0, 1.0, 0.0})};
}

namespace {

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void check_window(const window& w) {
    const double values[4] = {w.x_min, w.x_max, w.y_min, w.y_max};
    for (const double v : values)
        if (!std::isfinite(v))
            throw std::invalid_argument(
                "the window (x_min, x_max, y_min, y_max) must be finite; "
                "one of its bounds is " +
                number_text(v));
    if (!(w.x_min < w.x_max) || !(w.y_min < w.y_max))
        throw std::invalid_argument(
            "the window (x_min, x_max, y_min, y_max) = (" + number_text(w.x_min) + ", " +
            number_text(w.x_max) + ", " + number_text(w.y_min) + ", " + number_text(w.y_max) +
            ") is empty or inverted: x_min < x_max and y_min < y_max are needed");
}

void check_finite(double value, const char* name, std::size_t index, const char* what) {
    if (!std::isfinite(value))
        throw std::invalid_argument(std::string(what) + " " + std::to_string(index) +
                                    " (counting from 0) must be finite; its " + name + " is " +
                                    number_text(value));
}

void check_planes(std::span<const plane> planes) {
    if (planes.empty()) throw std::invalid_argument("no planes: at least one is needed");
    for (std::size_t i = 0; i < planes.size(); ++i) {
        check_finite(planes[i].a, "a", i, "plane");
        check_finite(planes[i].b, "b", i, "plane");
        check_finite(planes[i].d, "d", i, "plane");
    }
}

void check_points(std::span<const point> points) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        check_finite(points[i].x, "x", i, "point");
        check_finite(points[i].y, "y", i, "point");
    }
}

triple as_triple(const plane& p) { return {p.a, p.b, p.d}; }
auto key(const plane& p) { return std::tie(p.a, p.b, p.d); }

// One region being cut out of the window: its lines (the window's four first) and its
// polygon, corner k followed by the edge on line edges[k] to corner k + 1.
struct polygon {
    std::vector<line> lines;
    std::vector<vertex> corners, next_corners;
    std::vector<std::uint32_t> edges, next_edges;
    std::vector<int> sides;
};

// Everything one envelope computes with, kept between the diagrams of a sweep.
struct workspace {
    std::vector<plane> unique;              // distinct planes, sorted by (a, b, d)
    std::vector<std::size_t> unique_index;  // the lowest input index of each
    std::vector<std::size_t> order, by_input;
    std::vector<std::uint32_t> others;
    std::vector<double> at_centre;
    polygon cut;
};

// The window as the polygon every region is cut from: clockwise with y up from the top left
// corner.
struct window_polygon {
    std::array<line, 4> sides;
    std::array<vertex, 4> corners;
    explicit window_polygon(const window& w) : sides(window_lines(w)) {
        const std::uint32_t corner_lines[4][2] = {{left_side, top_side},
                                                  {top_side, right_side},
                                                  {right_side, bottom_side},
                                                  {bottom_side, left_side}};
        for (int k = 0; k < 4; ++k)
            corners[k] = make_vertex(sides, corner_lines[k][0], corner_lines[k][1]);
    }
};

void start_polygon(polygon& p, const window_polygon& w) {
    p.lines.assign(w.sides.begin(), w.sides.end());
    p.corners.assign(w.corners.begin(), w.corners.end());
    p.edges = {top_side, right_side, bottom_side, left_side};
}

// Keeps the part of the polygon where l is >= 0. Returns false when that part has zero area
// (no corner lies strictly inside): the polygon is then left as it was.
bool clip(polygon& p, const line& l) {
    const std::size_t n = p.corners.size();
    p.sides.resize(n);
    bool inside = false, outside = false;
    for (std::size_t k = 0; k < n; ++k) {
        const int s = side_of(p.corners[k], p.lines, l);
        p.sides[k] = s;
        inside |= s > 0;
        outside |= s < 0;
    }
    if (!inside) return false;
    if (!outside) return true;
    const auto cut_line = static_cast<std::uint32_t>(p.lines.size());
    p.lines.push_back(l);
    p.next_corners.clear();
    p.next_edges.clear();
    for (std::size_t k = 0; k < n; ++k) {
        const int s = p.sides[k], t = p.sides[k + 1 == n ? 0 : k + 1];
        const std::uint32_t edge = p.edges[k];
        if (s >= 0) {
            p.next_corners.push_back(p.corners[k]);
            p.next_edges.push_back(s == 0 && t < 0 ? cut_line : edge);
        }
        if ((s > 0 && t < 0) || (s < 0 && t > 0)) {
            p.next_corners.push_back(make_vertex(p.lines, edge, cut_line));
            p.next_edges.push_back(s > 0 ? cut_line : edge);
        }
    }
    std::swap(p.corners, p.next_corners);
    std::swap(p.edges, p.next_edges);
    return true;
}

// Cuts the region of unique plane i; false when it has zero area.
bool cut_region(polygon& p, const window_polygon& w, std::span<const plane> unique, std::size_t i,
                std::span<const std::uint32_t> others) {
    start_polygon(p, w);
    const triple own = as_triple(unique[i]);
    for (const std::uint32_t j : others)
        if (j != i && !clip(p, make_line(as_triple(unique[j]), own))) return false;
    return true;
}

// Appends the region of the polygon p for input plane `index`: its corners rounded (those that
// round to the point before them left out), started at the leftmost (then highest) one, and
// its area and centroid.
void add_region(envelope& out, const polygon& p, const window& w, std::size_t index) {
    region r;
    r.plane = index;
    r.first_corner = out.corners.size();
    for (const vertex& v : p.corners) {
        const point c = corner_point(p.lines, v, w);
        if (out.corners.size() == r.first_corner || c.x != out.corners.back().x ||
            c.y != out.corners.back().y)
            out.corners.push_back(c);
    }
    while (out.corners.size() > r.first_corner + 1 &&
           out.corners.back().x == out.corners[r.first_corner].x &&
           out.corners.back().y == out.corners[r.first_corner].y)
        out.corners.pop_back();
    r.corner_count = out.corners.size() - r.first_corner;
    const std::span<point> c(out.corners.data() + r.first_corner, r.corner_count);
    const std::size_t n = c.size();
    std::size_t start = 0;
    for (std::size_t k = 1; k < n; ++k)
        if (c[k].x < c[start].x || (c[k].x == c[start].x && c[k].y > c[start].y)) start = k;
    std::rotate(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(start), c.end());
    // Shoelace about the first corner, clockwise.
    double twice_area = 0.0, cx = 0.0, cy = 0.0;
    for (std::size_t k = 1; k + 1 < n; ++k) {
        const double ux = c[k].x - c[0].x, uy = c[k].y - c[0].y;
        const double vx = c[k + 1].x - c[0].x, vy = c[k + 1].y - c[0].y;
        const double cross = uy * vx - ux * vy;
        twice_area += cross;
        cx += cross * (ux + vx);
        cy += cross * (uy + vy);
    }
    if (twice_area > 0.0) {
        r.area = twice_area / 2.0;
        r.centroid = {c[0].x + cx / (3.0 * twice_area), c[0].y + cy / (3.0 * twice_area)};
    } else {  // below the resolution of the rounded corners
        double sx = 0.0, sy = 0.0;
        for (const point& q : c) sx += q.x, sy += q.y;
        r.centroid = {sx / static_cast<double>(n), sy / static_cast<double>(n)};
    }
    out.regions.push_back(r);
}

void solve_into(envelope& out, workspace& ws, std::span<const plane> planes, const window& w,
                method how) {
    out.regions.clear();
    out.corners.clear();
    out.never_stable.clear();
    // Identical planes: the lowest index stands for all.
    const std::size_t n = planes.size();
    ws.order.resize(n);
    std::iota(ws.order.begin(), ws.order.end(), std::size_t{0});
    std::stable_sort(ws.order.begin(), ws.order.end(),
                     [&](std::size_t i, std::size_t j) { return key(planes[i]) < key(planes[j]); });
    ws.unique.clear();
    ws.unique_index.clear();
    for (const std::size_t i : ws.order)
        if (ws.unique.empty() || key(ws.unique.back()) != key(planes[i])) {
            ws.unique.push_back(planes[i]);
            ws.unique_index.push_back(i);
        }
    const std::size_t m = ws.unique.size();
    // Regions are added by input index: the distinct planes taken in that order.
    ws.by_input.resize(m);
    std::iota(ws.by_input.begin(), ws.by_input.end(), std::size_t{0});
    std::sort(ws.by_input.begin(), ws.by_input.end(), [&](std::size_t i, std::size_t j) {
        return ws.unique_index[i] < ws.unique_index[j];
    });
    std::vector<std::uint8_t> stable(n, 0);
    const auto keep = [&](std::size_t i) {
        add_region(out, ws.cut, w, ws.unique_index[i]);
        stable[ws.unique_index[i]] = 1;
    };
    if (how == method::automatic) how = m <= all_pairs_limit ? method::all_pairs : method::hull;
    const window_polygon frame(w);
    if (m == 1) {
        start_polygon(ws.cut, frame);
        keep(0);
    } else if (how == method::all_pairs) {
        // Every plane against every other, the lowest at the window's centre first: they
        // empty most regions that are empty within a few cuts.
        const double cx = w.x_min / 2 + w.x_max / 2, cy = w.y_min / 2 + w.y_max / 2;
        ws.others.resize(m);
        std::iota(ws.others.begin(), ws.others.end(), std::uint32_t{0});
        ws.at_centre.resize(m);
        for (std::size_t i = 0; i < m; ++i) {
            const double g = ws.unique[i].a * cx + ws.unique[i].b * cy + ws.unique[i].d;
            ws.at_centre[i] = std::isnan(g) ? std::numeric_limits<double>::infinity() : g;
        }
        std::sort(ws.others.begin(), ws.others.end(), [&](std::uint32_t i, std::uint32_t j) {
            return ws.at_centre[i] < ws.at_centre[j];
        });
        for (const std::size_t i : ws.by_input)
            if (cut_region(ws.cut, frame, ws.unique, i, ws.others)) keep(i);
    } else {
        const hull_graph graph = lower_hull_graph(ws.unique);
        for (const std::size_t i : ws.by_input) {
            if (!graph.candidate[i]) continue;
            const std::span<const std::uint32_t> around(graph.neighbours.data() + graph.offsets[i],
                                                        graph.offsets[i + 1] - graph.offsets[i]);
            if (cut_region(ws.cut, frame, ws.unique, i, around)) keep(i);
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        if (!stable[i]) out.never_stable.push_back(i);
}

// The lowest plane at any point, ties to the lowest index. The double values of g are within
// `slack` of the exact ones; the planes within twice that of the lowest are compared exactly.
class lowest_finder {
public:
    explicit lowest_finder(std::span<const plane> planes) : planes_(planes) {
        for (const plane& p : planes) {
            max_a_ = std::max(max_a_, std::fabs(p.a));
            max_b_ = std::max(max_b_, std::fabs(p.b));
            max_d_ = std::max(max_d_, std::fabs(p.d));
        }
    }

    std::size_t at(const point& q) const {
        const double x = q.x, y = q.y;
        // Each g is rounded three times: within 3 eps of |a x| + |b y| + |d| (twice that
        // bounds it with room), plus what underflow can lose.
        const double slack =
            6.0 * epsilon * (max_a_ * std::fabs(x) + max_b_ * std::fabs(y) + max_d_) + 0x1p-1070;
        std::size_t best = planes_.size();
        if (!std::isfinite(slack)) {  // a product overflows: every comparison exact
            best = 0;
            for (std::size_t i = 1; i < planes_.size(); ++i)
                if (exact_compare_at(planes_[i], planes_[best], x, y) < 0) best = i;
            return best;
        }
        double lowest = std::numeric_limits<double>::infinity();
        for (const plane& p : planes_) lowest = std::min(lowest, p.a * x + p.b * y + p.d);
        for (std::size_t i = 0; i < planes_.size(); ++i) {
            const plane& p = planes_[i];
            if (p.a * x + p.b * y + p.d > lowest + 2.0 * slack) continue;
            if (best == planes_.size() || exact_compare_at(p, planes_[best], x, y) < 0) best = i;
        }
        return best;
    }

private:
    std::span<const plane> planes_;
    double max_a_ = 0.0, max_b_ = 0.0, max_d_ = 0.0;
};

// Rounding to nearest for the call, as the error bounds assume; the caller's mode is put back.
class nearest_rounding {
public:
    nearest_rounding() : saved_(std::fegetround()) {
        if (saved_ != FE_TONEAREST) std::fesetround(FE_TONEAREST);
    }
    ~nearest_rounding() {
        if (saved_ != FE_TONEAREST) std::fesetround(saved_);
    }
    nearest_rounding(const nearest_rounding&) = delete;
    nearest_rounding& operator=(const nearest_rounding&) = delete;

private:
    int saved_;
};

void check_queries(std::span<const plane> planes, std::span<const point> points,
                   std::size_t outputs, const char* name) {
    check_planes(planes);
    check_points(points);
    if (outputs != points.size())
        throw std::invalid_argument(std::string(name) + ": one output per point is needed");
}

}  // namespace
}  // namespace detail

envelope lower_envelope(std::span<const plane> planes, const window& w, method how) {
    const detail::nearest_rounding nearest;
    detail::check_planes(planes);
    detail::check_window(w);
    envelope out;
    detail::workspace ws;
    detail::solve_into(out, ws, planes, w, how);
    return out;
}

void lowest_at(std::span<const plane> planes, std::span<const point> points,
               std::span<std::int64_t> lowest) {
    const detail::nearest_rounding nearest;
    detail::check_queries(planes, points, lowest.size(), "lowest_at");
    const detail::lowest_finder find(planes);
    for (std::size_t k = 0; k < points.size(); ++k)
        lowest[k] = static_cast<std::int64_t>(find.at(points[k]));
}

void energy_at(std::span<const plane> planes, std::span<const point> points,
               std::span<double> energy) {
    const detail::nearest_rounding nearest;
    detail::check_queries(planes, points, energy.size(), "energy_at");
    const detail::lowest_finder find(planes);
    for (std::size_t k = 0; k < points.size(); ++k)
        energy[k] = detail::rounded_energy(planes[find.at(points[k])], points[k].x, points[k].y);
}

void sweep(std::span<const slope> slopes, std::span<const double> d, const window& w,
           std::span<const point> probes, const sweep_outputs& out) {
    const detail::nearest_rounding nearest;
    const std::size_t n = slopes.size();
    if (n == 0) throw std::invalid_argument("no planes: at least one is needed");
    if (d.size() % n != 0)
        throw std::invalid_argument("the d values (" + std::to_string(d.size()) +
                                    ") are not a whole number of diagrams of " + std::to_string(n) +
                                    " planes");
    for (std::size_t i = 0; i < n; ++i) {
        detail::check_finite(slopes[i].a, "a", i, "plane");
        detail::check_finite(slopes[i].b, "b", i, "plane");
    }
    for (std::size_t k = 0; k < d.size(); ++k)
        if (!std::isfinite(d[k]))
            throw std::invalid_argument(
                "every d must be finite; that of plane " + std::to_string(k % n) + " in diagram " +
                std::to_string(k / n) + " (counting from 0) is " + detail::number_text(d[k]));
    detail::check_window(w);
    detail::check_points(probes);
    const std::size_t diagrams = d.size() / n;
    const auto fits = [](std::size_t size, std::size_t wanted) {
        return size == 0 || size == wanted;
    };
    if (!fits(out.areas.size(), diagrams * n) || !fits(out.stable.size(), diagrams * n) ||
        !fits(out.centroids.size(), diagrams * n * 2) ||
        !fits(out.lowest.size(), diagrams * probes.size()))
        throw std::invalid_argument("sweep: an output does not match the diagrams and planes");
    std::vector<plane> planes(n);
    envelope one;
    detail::workspace ws;
    for (std::size_t k = 0; k < diagrams; ++k) {
        for (std::size_t i = 0; i < n; ++i) planes[i] = {slopes[i].a, slopes[i].b, d[k * n + i]};
        detail::solve_into(one, ws, planes, w, method::automatic);
        if (!out.areas.empty()) std::fill_n(out.areas.begin() + k * n, n, 0.0);
        if (!out.stable.empty()) std::fill_n(out.stable.begin() + k * n, n, 0);
        if (!out.centroids.empty())
            std::fill_n(out.centroids.begin() + k * n * 2, n * 2,
                        std::numeric_limits<double>::quiet_NaN());
        for (const region& r : one.regions) {
            if (!out.areas.empty()) out.areas[k * n + r.plane] = r.area;
            if (!out.stable.empty()) out.stable[k * n + r.plane] = 1;
            if (!out.centroids.empty()) {
                out.centroids[(k * n + r.plane) * 2] = r.centroid.x;
                out.centroids[(k * n + r.plane) * 2 + 1] = r.centroid.y;
            }
        }
        if (!out.lowest.empty()) {
            const detail::lowest_finder find(planes);
            for (std::size_t p = 0; p < probes.size(); ++p)
                out.lowest[k * probes.size() + p] = static_cast<std::int64_t>(find.at(probes[p]));
        }
    }
}

}  // namespace engine
