// Region fills: every surface whose region has three or more corners, in surface order,
// with the page points of its corners, its grey on the EPS map and its colour on the SVG map.
#include <cassert>
#include <cstdint>

#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

void lay_out_regions() {
    page_layout& page = run.page;
    page.region_count = 0;
    for (int32_t s = 0; s < run.surface_count; ++s) {
        const region_record& region = run.regions[s];
        if (!has_region(region)) continue;
        page.regions[page.region_count++] = {s + 1, s, 0};
        assert(region.n_vertices <= max_vertices);
        for (int32_t p = 0; p < region.n_vertices; ++p) {
            const int32_t v = region.vertex_list[p] - 1;
            page.corners[v] = {page_x(run.vertices[v].x), page_y(run.vertices[v].y)};
        }
    }
    colour_page_regions();
}
