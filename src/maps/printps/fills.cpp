// Region fills: every filled region of the page model is painted as a closed polygon in its
// grey (grN, 1.00 - 0.05 N), before the frame is drawn over it. Each fill is traced in
// log.out.
#include <cassert>

#include "maps/page/page.hpp"
#include "maps/printps/internals.hpp"
#include "maps/printps/printps.hpp"
#include "records/records.hpp"

namespace {

void fill_region(const page_region& region) {
    const int32_t grey = region.fill;
    write_list(unit_map, {item_text("newpath")});
    write_formatted(unit_map, grey < 10 ? "(a2,i1)" : "(a2,i2)", {item_text("gr"), item_int(grey)});

    write_list(unit_log, {});
    write_list(unit_log, {item_int(region.surface)});
    write_list(unit_log, {item_text("newpath")});
    write_formatted(unit_log, "(a2,i2)", {item_text("gr"), item_int(grey)});

    // Corners in list order; the path is closed without repeating the first.
    const int32_t corners = corner_count(region);
    assert(corners <= max_vertices);
    for (int32_t p = 0; p < corners; ++p) write_point(region_corner(region, p), p == 0 ? "M" : "L");
    write_list(unit_map, {item_text("closepath")});
    write_list(unit_map, {item_text("fill")});
}

}  // namespace

void fill_regions() {
    for (int32_t i = 0; i < run.page.region_count; ++i) fill_region(run.page.regions[i]);
}
