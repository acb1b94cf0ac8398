// The drawing primitives every section of the map writes through: the point record, a
// stroked segment and a record of one PostScript word.
#include <string_view>

#include "maps/page/page.hpp"
#include "maps/printps/internals.hpp"
#include "maps/printps/printps.hpp"
#include "records/records.hpp"

void write_text_record(std::string_view text) { write_list(unit_map, {item_text(text)}); }

void write_stroke(page_point from, page_point to) {
    write_list(unit_map, {item_real(from.x), item_real(from.y), item_text("  M"), item_real(to.x),
                          item_real(to.y), item_text("  L  S")});
}

void write_point(page_point p, const char* op) {
    write_list(unit_map, {item_real(p.x), item_real(p.y), item_text("  "), item_text(op, 1)});
}

void put_point(float x, float y, const char* op) { write_point({page_x(x), page_y(y)}, op); }
