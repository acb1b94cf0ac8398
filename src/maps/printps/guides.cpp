// Guide and equilibrium lines, then the free labels: the last section of the map, as the
// page model lays them out (maps/page/page.hpp). Each line is one stroked path with its dash
// pattern; the labels come after all lines so that no line covers them.
//
// PostScript used here: "[...] 0 setdash" sets the dash, "x y M" moveto, "x y L" lineto,
// "S" stroke.
#include <cstdint>
#include <string>

#include "maps/page/page.hpp"
#include "maps/printps/internals.hpp"
#include "maps/printps/printps.hpp"
#include "records/records.hpp"

namespace {

// The dash array of `pattern`, "[8 4]", blank-padded to six characters.
std::string dash_array(int32_t pattern) {
    std::string dash(1, '[');
    dash.append(dash_patterns[pattern]).push_back(']');
    if (dash.size() < 6) dash.resize(6, ' ');
    return dash;
}

// One line: its dash record, the two points and the stroke.
void stroke_line(const page_line& line) {
    write_list(unit_map, {item_text(dash_array(line.dash)), item_text("0 setdash")});
    write_point(line.from, "M");
    write_point(line.to, "L");
    write_list(unit_map, {item_text("S")});
}

}  // namespace

void draw_guide_lines() {
    for (int32_t i = 0; i < run.page.line_count; ++i) stroke_line(run.page.lines[i]);
    for (int32_t i = 0; i < run.page.label_count; ++i) write_page_text(run.page.labels[i]);
}
