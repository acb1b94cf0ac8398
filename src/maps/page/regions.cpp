// Region fills: every surface whose region has three or more corners, in surface order,
// with the page points of its corners, its grey on the EPS map and its colour on the SVG map.
#include <cassert>
#include <cstdint>
#include <vector>

#include "core/numbers.hpp"

#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

void lay_out_regions() {
    page_layout& page = run.page;
    page.region_count = 0;
    int32_t listed = 0;  // corners listed so far
    for (int32_t s = 0; s < run.surface_count; ++s) {
        const region_record& region = run.regions[s];
        if (!has_region(region)) continue;
        assert(region.n_vertices <= max_vertices && page.region_count < max_plane_surfaces);
        page.regions[page.region_count++] = {s + 1, s, 0, listed, region.n_vertices};
        for (int32_t p = 0; p < region.n_vertices; ++p) {
            const int32_t v = region.vertex_list[p] - 1;
            page.region_corners[listed++] = {page_x(run.vertices[v].x), page_y(run.vertices[v].y)};
        }
    }
    colour_page_regions();
}

void lay_out_given_regions(const region_list& given, std::vector<page_region>& regions,
                           std::vector<page_point>& corners) {
    const std::size_t count = static_cast<std::size_t>(given.count);
    const int64_t total = given.offsets[given.count];
    corners.resize(static_cast<std::size_t>(total));
    for (int64_t k = 0; k < total; ++k)
        corners[static_cast<std::size_t>(k)] = {
            page_x(to_float_saturating(given.corners[2 * k])),
            page_y(to_float_saturating(given.corners[2 * k + 1]))};
    std::vector<int32_t> sides;
    std::vector<int32_t> corner_pairs;
    find_neighbour_pairs(given, sides, corner_pairs);
    std::vector<int32_t> surfaces(count);
    std::vector<int32_t> colours(count);
    for (std::size_t i = 0; i < count; ++i) surfaces[i] = static_cast<int32_t>(given.surfaces[i]);
    choose_region_colours(given.count, surfaces.data(), static_cast<int32_t>(sides.size() / 2),
                          sides.data(), static_cast<int32_t>(corner_pairs.size() / 2),
                          corner_pairs.data(), colours.data());
    regions.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int64_t first = given.offsets[i];
        regions[i] = {surfaces[i], 0, colours[i], static_cast<int32_t>(first),
                      static_cast<int32_t>(given.offsets[i + 1] - first)};
    }
}
