// Region colours: the one rule by which a region gets its colour, for the SVG map and for the
// Python module's plots. Each region keeps the palette colour of its surface number, cycled,
// unless a region it shares an edge with would look alike: two colours look alike when their
// CIEDE2000 difference is below neighbour_colour_difference. Then as few regions as the rule
// finds move to the palette colour farthest from all their neighbours'.
//
// The palette guarantees that this always succeeds on a map: a greedy colouring in
// smallest-last order meets each region with at most five coloured neighbours (a planar map
// always has a region with at most five neighbours), and any five palette colours leave one
// that differs from all of them by the threshold or more.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <queue>
#include <string_view>
#include <utility>
#include <vector>

#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

namespace {

struct lab_colour {
    double l;
    double a;
    double b;
};

int32_t hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// An sRGB colour "#RRGGBB" in CIE L*a*b* under the D65 white point.
lab_colour lab_of(std::string_view hex) {
    double linear[3];
    for (int32_t k = 0; k < 3; ++k) {
        const double value = (hex_digit(hex[1 + 2 * k]) * 16 + hex_digit(hex[2 + 2 * k])) / 255.0;
        linear[k] = value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    }
    const double x =
        (0.4124564 * linear[0] + 0.3575761 * linear[1] + 0.1804375 * linear[2]) / 0.95047;
    const double y = 0.2126729 * linear[0] + 0.7151522 * linear[1] + 0.0721750 * linear[2];
    const double z =
        (0.0193339 * linear[0] + 0.1191920 * linear[1] + 0.9503041 * linear[2]) / 1.08883;
    const double edge = 6.0 / 29.0;
    auto f = [edge](double t) {
        return t > edge * edge * edge ? std::cbrt(t) : t / (3.0 * edge * edge) + 4.0 / 29.0;
    };
    return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// The CIEDE2000 colour difference (Sharma, Wu and Dalal's formulation, kL = kC = kH = 1).
double ciede2000(const lab_colour& p, const lab_colour& q) {
    const double c_mean = (std::hypot(p.a, p.b) + std::hypot(q.a, q.b)) / 2.0;
    const double c7 = std::pow(c_mean, 7.0);
    const double g = 0.5 * (1.0 - std::sqrt(c7 / (c7 + std::pow(25.0, 7.0))));
    const double a1 = (1.0 + g) * p.a;
    const double a2 = (1.0 + g) * q.a;
    const double c1 = std::hypot(a1, p.b);
    const double c2 = std::hypot(a2, q.b);
    auto hue = [](double b, double a) {
        if (a == 0.0 && b == 0.0) return 0.0;
        const double h = degrees(std::atan2(b, a));
        return h < 0.0 ? h + 360.0 : h;
    };
    const double h1 = hue(p.b, a1);
    const double h2 = hue(q.b, a2);
    double dh = 0.0;
    if (c1 * c2 != 0.0) {
        dh = h2 - h1;
        if (dh > 180.0) dh -= 360.0;
        if (dh < -180.0) dh += 360.0;
    }
    const double dl = q.l - p.l;
    const double dc = c2 - c1;
    const double dhh = 2.0 * std::sqrt(c1 * c2) * std::sin(radians(dh / 2.0));
    const double l_mean = (p.l + q.l) / 2.0;
    const double cp_mean = (c1 + c2) / 2.0;
    double h_mean = h1 + h2;
    if (c1 * c2 != 0.0) {
        if (std::fabs(h1 - h2) <= 180.0)
            h_mean = (h1 + h2) / 2.0;
        else
            h_mean = h1 + h2 < 360.0 ? (h1 + h2 + 360.0) / 2.0 : (h1 + h2 - 360.0) / 2.0;
    }
    const double t = 1.0 - 0.17 * std::cos(radians(h_mean - 30.0)) +
                     0.24 * std::cos(radians(2.0 * h_mean)) +
                     0.32 * std::cos(radians(3.0 * h_mean + 6.0)) -
                     0.20 * std::cos(radians(4.0 * h_mean - 63.0));
    const double rotation = 30.0 * std::exp(-std::pow((h_mean - 275.0) / 25.0, 2.0));
    const double cp7 = std::pow(cp_mean, 7.0);
    const double rc = 2.0 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7.0)));
    const double l50 = (l_mean - 50.0) * (l_mean - 50.0);
    const double sl = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
    const double sc = 1.0 + 0.045 * cp_mean;
    const double sh = 1.0 + 0.015 * cp_mean * t;
    const double rt = -std::sin(radians(2.0 * rotation)) * rc;
    const double dl_s = dl / sl;
    const double dc_s = dc / sc;
    const double dh_s = dhh / sh;
    return std::sqrt(dl_s * dl_s + dc_s * dc_s + dh_s * dh_s + rt * dc_s * dh_s);
}

// The difference of every two palette colours, worked out once.
struct palette_differences {
    double of[palette_size][palette_size];
    palette_differences() {
        for (int32_t i = 0; i < palette_size; ++i)
            for (int32_t j = 0; j < palette_size; ++j)
                of[i][j] = ciede2000(lab_of(region_palette[i]), lab_of(region_palette[j]));
    }
};

const palette_differences& differences() {
    static const palette_differences table;
    return table;
}

bool alike(int32_t i, int32_t j) { return differences().of[i][j] < neighbour_colour_difference; }

// The regions' neighbours, each list in ascending order, every pair once.
std::vector<std::vector<int32_t>> neighbour_lists(int32_t count, int32_t pair_count,
                                                  const int32_t pairs[]) {
    std::vector<std::vector<int32_t>> neighbours(static_cast<std::size_t>(count));
    for (int32_t k = 0; k < pair_count; ++k) {
        const int32_t i = pairs[2 * k];
        const int32_t j = pairs[2 * k + 1];
        if (i == j || i < 0 || j < 0 || i >= count || j >= count) continue;
        neighbours[static_cast<std::size_t>(i)].push_back(j);
        neighbours[static_cast<std::size_t>(j)].push_back(i);
    }
    for (std::vector<int32_t>& list : neighbours) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    return neighbours;
}

// The order in which the regions are coloured: smallest-last (each region, when it is
// coloured, has as few coloured neighbours as the ordering can give), of two regions of
// the same degree the one of lower surface number first.
std::vector<int32_t> smallest_last_order(const std::vector<std::vector<int32_t>>& neighbours,
                                         const int32_t surfaces[]) {
    const std::size_t count = neighbours.size();
    std::vector<int32_t> degree(count);
    std::vector<bool> removed(count, false);
    // Least degree first, then the highest surface number, which is removed first and so
    // coloured last.
    using entry = std::pair<int32_t, int32_t>;  // (degree, -surface), region kept beside
    std::priority_queue<std::pair<entry, int32_t>, std::vector<std::pair<entry, int32_t>>,
                        std::greater<>>
        queue;
    for (std::size_t i = 0; i < count; ++i) {
        degree[i] = static_cast<int32_t>(neighbours[i].size());
        queue.push({{degree[i], -surfaces[i]}, static_cast<int32_t>(i)});
    }
    std::vector<int32_t> order;
    order.reserve(count);
    while (!queue.empty()) {
        const auto [key, region] = queue.top();
        queue.pop();
        const std::size_t r = static_cast<std::size_t>(region);
        if (removed[r] || key.first != degree[r]) continue;  // an outdated entry
        removed[r] = true;
        order.push_back(region);
        for (const int32_t other : neighbours[r]) {
            const std::size_t o = static_cast<std::size_t>(other);
            if (removed[o]) continue;
            --degree[o];
            queue.push({{degree[o], -surfaces[o]}, other});
        }
    }
    std::reverse(order.begin(), order.end());
    return order;
}

// The regions that keep their surface's colour: of every two alike neighbours one moves,
// the one with more such neighbours left, of equals the one of higher surface number.
std::vector<bool> regions_that_keep(const std::vector<std::vector<int32_t>>& neighbours,
                                    const int32_t preferred[], const int32_t surfaces[]) {
    const std::size_t count = neighbours.size();
    std::vector<int32_t> clashes(count, 0);
    for (std::size_t i = 0; i < count; ++i)
        for (const int32_t j : neighbours[i])
            if (alike(preferred[i], preferred[j])) ++clashes[i];
    std::vector<bool> keeps(count, true);
    using entry = std::pair<int32_t, int32_t>;  // (clashes, surface), most first
    std::priority_queue<std::pair<entry, int32_t>> queue;
    for (std::size_t i = 0; i < count; ++i)
        if (clashes[i] > 0) queue.push({{clashes[i], surfaces[i]}, static_cast<int32_t>(i)});
    while (!queue.empty()) {
        const auto [key, region] = queue.top();
        queue.pop();
        const std::size_t r = static_cast<std::size_t>(region);
        if (!keeps[r] || key.first != clashes[r] || clashes[r] == 0) continue;
        keeps[r] = false;
        for (const int32_t other : neighbours[r]) {
            const std::size_t o = static_cast<std::size_t>(other);
            if (!keeps[o] || !alike(preferred[r], preferred[o])) continue;
            --clashes[o];
            if (clashes[o] > 0) queue.push({{clashes[o], surfaces[o]}, other});
        }
    }
    return keeps;
}

// The least difference between colour `c` and the colours of the coloured regions `others`
// (a large number when none is coloured).
double least_difference(int32_t c, const std::vector<int32_t>& others,
                        const std::vector<int32_t>& colour) {
    double gap = 1e9;
    for (const int32_t other : others) {
        const int32_t oc = colour[static_cast<std::size_t>(other)];
        if (oc >= 0) gap = std::min(gap, differences().of[c][oc]);
    }
    return gap;
}

// The colour for a region that differs from every coloured neighbour's by the threshold or
// more, if it can from those of the regions it meets at a corner too, and of those the one
// that differs from the nearest neighbour's the most (of equals the first in the palette);
// false when no colour differs enough from the neighbours', and then `best` is the one
// farthest from the nearest.
bool farthest_colour(const std::vector<int32_t>& neighbours, const std::vector<int32_t>& corners,
                     const std::vector<int32_t>& colour, int32_t& best) {
    int32_t best_rank = -1;
    double best_gap = -1.0;
    for (int32_t c = 0; c < palette_size; ++c) {
        const double gap = least_difference(c, neighbours, colour);
        const bool apart = gap >= neighbour_colour_difference;
        const int32_t rank =
            apart ? (least_difference(c, corners, colour) >= neighbour_colour_difference ? 2 : 1)
                  : 0;
        if (rank > best_rank || (rank == best_rank && gap > best_gap)) {
            best_rank = rank;
            best_gap = gap;
            best = c;
        }
    }
    return best_rank > 0;
}

// Colours in `order` every region still without a colour: its own where its coloured
// neighbours let it keep it, else the farthest colour; false when one of them found no
// colour that differs enough from its coloured neighbours'.
bool colour_in_turn(const std::vector<int32_t>& order,
                    const std::vector<std::vector<int32_t>>& neighbours,
                    const std::vector<std::vector<int32_t>>& corners,
                    const std::vector<int32_t>& preferred, std::vector<int32_t>& colour) {
    bool complete = true;
    for (const int32_t region : order) {
        const std::size_t r = static_cast<std::size_t>(region);
        if (colour[r] >= 0) continue;
        int32_t best = preferred[r];
        if (least_difference(best, neighbours[r], colour) < neighbour_colour_difference)
            complete = farthest_colour(neighbours[r], corners[r], colour, best) && complete;
        colour[r] = best;
    }
    return complete;
}

}  // namespace

double colour_difference(std::string_view first, std::string_view second) {
    return ciede2000(lab_of(first), lab_of(second));
}

void choose_region_colours(int32_t count, const int32_t surfaces[], int32_t pair_count,
                           const int32_t pairs[], int32_t corner_pair_count,
                           const int32_t corner_pairs[], int32_t colours[]) {
    if (count <= 0) return;
    const std::vector<std::vector<int32_t>> neighbours = neighbour_lists(count, pair_count, pairs);
    const std::vector<std::vector<int32_t>> corners =
        neighbour_lists(count, corner_pair_count, corner_pairs);
    std::vector<int32_t> preferred(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const int32_t cycled = (surfaces[i] - 1) % palette_size;
        preferred[static_cast<std::size_t>(i)] = cycled < 0 ? cycled + palette_size : cycled;
    }
    const std::vector<int32_t> order = smallest_last_order(neighbours, surfaces);

    // First every region keeps its colour but those that must move, which are coloured in
    // turn; should one of them find no colour, every region is coloured in turn instead,
    // which succeeds on any map.
    const std::vector<bool> keeps = regions_that_keep(neighbours, preferred.data(), surfaces);
    std::vector<int32_t> colour(static_cast<std::size_t>(count), -1);
    for (std::size_t i = 0; i < colour.size(); ++i)
        if (keeps[i]) colour[i] = preferred[i];
    if (!colour_in_turn(order, neighbours, corners, preferred, colour)) {
        std::fill(colour.begin(), colour.end(), -1);
        colour_in_turn(order, neighbours, corners, preferred, colour);
    }
    std::copy(colour.begin(), colour.end(), colours);
}

void find_neighbour_pairs(const region_list& regions, std::vector<int32_t>& sides,
                          std::vector<int32_t>& corners) {
    // Every corner with its region, each region's once; then each point's regions in pairs.
    struct held {
        double x;
        double y;
        int32_t region;
    };
    std::vector<held> points;
    points.reserve(static_cast<std::size_t>(regions.offsets[regions.count]));
    for (int32_t i = 0; i < regions.count; ++i)
        for (int64_t k = regions.offsets[i]; k < regions.offsets[i + 1]; ++k)
            points.push_back({regions.corners[2 * k], regions.corners[2 * k + 1], i});
    auto before = [](const held& a, const held& b) {
        if (a.x != b.x) return a.x < b.x;
        if (a.y != b.y) return a.y < b.y;
        return a.region < b.region;
    };
    std::sort(points.begin(), points.end(), before);
    auto same_point = [](const held& a, const held& b) { return a.x == b.x && a.y == b.y; };
    points.erase(std::unique(points.begin(), points.end(),
                             [&](const held& a, const held& b) {
                                 return same_point(a, b) && a.region == b.region;
                             }),
                 points.end());
    std::vector<std::pair<int32_t, int32_t>> met;  // a pair for every point both regions hold
    for (std::size_t first = 0; first < points.size();) {
        std::size_t end = first + 1;
        while (end < points.size() && same_point(points[first], points[end])) ++end;
        for (std::size_t a = first; a < end; ++a)
            for (std::size_t b = a + 1; b < end; ++b)
                met.emplace_back(points[a].region, points[b].region);
        first = end;
    }
    std::sort(met.begin(), met.end());
    for (std::size_t first = 0; first < met.size();) {
        std::size_t end = first + 1;
        while (end < met.size() && met[end] == met[first]) ++end;
        std::vector<int32_t>& pairs = end - first >= 2 ? sides : corners;
        pairs.push_back(met[first].first);
        pairs.push_back(met[first].second);
        first = end;
    }
}

void colour_page_regions() {
    page_layout& page = run.page;
    // The regions' corners as the run holds them (page points are rounded).
    int64_t surfaces[max_surfaces];
    int64_t offsets[max_surfaces + 1] = {0};
    std::vector<double> corners;
    for (int32_t i = 0; i < page.region_count; ++i) {
        const region_record& region = run.regions[page.regions[i].surface - 1];
        surfaces[i] = page.regions[i].surface;
        for (int32_t p = 0; p < region.n_vertices; ++p) {
            const vertex_row& corner = run.vertices[region.vertex_list[p] - 1];
            corners.push_back(static_cast<double>(corner.x));
            corners.push_back(static_cast<double>(corner.y));
        }
        offsets[i + 1] = static_cast<int64_t>(corners.size() / 2);
    }
    std::vector<int32_t> sides;
    std::vector<int32_t> corner_pairs;
    find_neighbour_pairs({page.region_count, surfaces, offsets, corners.data(), 0, nullptr}, sides,
                         corner_pairs);
    int32_t numbers[max_surfaces];
    int32_t colours[max_surfaces];
    for (int32_t i = 0; i < page.region_count; ++i) numbers[i] = page.regions[i].surface;
    choose_region_colours(page.region_count, numbers, static_cast<int32_t>(sides.size() / 2),
                          sides.data(), static_cast<int32_t>(corner_pairs.size() / 2),
                          corner_pairs.data(), colours);
    for (int32_t i = 0; i < page.region_count; ++i) page.regions[i].colour = colours[i];
}
