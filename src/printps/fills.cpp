// Region fills: every surface whose region has three or more corners is painted as a closed
// polygon in the grey of its own surface number (gr0 for surface 1, 0.05 darker for each
// next one), before the frame is drawn over it. Each fill is traced in log.out.
#include <cassert>

#include "printps/internals.hpp"
#include "printps/printps.hpp"
#include "records/records.hpp"

namespace {

void fill_region(int32_t surface, const region_record& region) {
    const int32_t grey = surface - 1;
    write_list(unit_map, {item_text("newpath")});
    write_formatted(unit_map, grey < 10 ? "(a2,i1)" : "(a2,i2)", {item_text("gr"), item_int(grey)});

    write_list(unit_log, {});
    write_list(unit_log, {item_int(surface)});
    write_list(unit_log, {item_text("newpath")});
    write_formatted(unit_log, "(a2,i2)", {item_text("gr"), item_int(grey)});

    // Corners in list order; the path is closed without repeating the first.
    assert(region.n_vertices <= max_vertices);
    for (int32_t p = 0; p < region.n_vertices; ++p) {
        const vertex_row& corner = run.vertices[region.vertex_list[p] - 1];
        put_point(corner.x, corner.y, p == 0 ? "M" : "L");
    }
    write_list(unit_map, {item_text("closepath")});
    write_list(unit_map, {item_text("fill")});
}

}  // namespace

void fill_regions() {
    for (int32_t s = 0; s < run.surface_count; ++s) {
        if (has_region(run.regions[s])) fill_region(s + 1, run.regions[s]);
    }
}
