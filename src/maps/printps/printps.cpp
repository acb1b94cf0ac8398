// write_map: the Encapsulated PostScript frame of the map (header comments, prolog of
// procedures, setup, the translation that centres the drawing, "showpage") and the order of
// its sections.
#include "maps/printps/printps.hpp"

#include <cassert>
#include <cmath>
#include <string_view>

#include "maps/page/page.hpp"
#include "maps/printps/internals.hpp"
#include "maps/printps/label_scan.hpp"
#include "records/records.hpp"

namespace {

constexpr std::string_view header_lines[] = {
    "%!PS-Adobe-2.0 EPSF-2.0",
    "%%Title:  Velmars ps :0)",
    "%%CreationDate:  Tue Mar 27 11:04:23 2002",
    "%%DocumentFonts:  Times-Roman",
    "%%BoundingBox:  18 18 594 774",
    "%%Orientation: Portrait",
    "%%Pages: 1",
    "%%PageOrder: Ascend",
    "%%EndComments",
};

// Procedures the map calls (M, L, S, C, N, SN, STxt, CoBla, gr0..gr19) and a few colours
// kept for hand-edited maps.
constexpr std::string_view prolog_lines[] = {
    "%%BeginProlog",
    "/Ci {0 360 arc} def",
    "/Co {setrgbcolor} def",
    "/Gr {setgray} def",
    "/N {newpath} def",
    "/M {moveto} def",
    "/L {lineto} def",
    "/R {rlineto} def",
    "/F {fill} def",
    "/S {stroke} def",
    "/C {closepath} def",
    "/SN {show N} def",
    "/STxt {dup stringwidth pop exch show} def",
    "/Co000 {0.6118 0.6118 0.6118 Co} def",
    "/Co001 {0.0000 0.0000 0.0000 Co} def",
    "/Co002 {0.2471 0.3098 0.3804 Co} def",
    "/Co003 {1.0000 0.0000 0.0000 Co} def",
    "/Co004 {0.0000 0.6118 1.0000 Co} def",
    "/Co005 {1.0000 1.0000 1.0000 Co} def",
    "/CoRed {1.0000 0.0000 0.0000 Co} def",
    "/CoGre {0.0000 1.0000 0.0000 Co} def",
    "/CoBlu {0.0000 0.0000 1.0000 Co} def",
    "/CoBla {0.0000 0.0000 0.0000 Co} def",
    "/co0  {CoRed} def",
    "/co1  {CoGre} def",
    "/co2  {CoBlu} def",
    "/co3  {0.5 0.0 0.0 Co} def",
    "/co4  {0.0 0.5 0.0 Co} def",
    "/co5  {0.0 0.0 0.5 Co} def",
    "/co6  {0.5 0.5 0.0 Co} def",
    "/co7  {0.5 0.0 0.5 Co} def",
    "/co8  {0.0 0.5 0.5 Co} def",
    // grN sets the grey 1.00 - 0.05 N: gr0 white, gr19 nearly black.
    "/gr0 {1.00 Gr} def",
    "/gr1 {0.95 Gr} def",
    "/gr2 {0.90 Gr} def",
    "/gr3 {0.85 Gr} def",
    "/gr4 {0.80 Gr} def",
    "/gr5 {0.75 Gr} def",
    "/gr6 {0.70 Gr} def",
    "/gr7 {0.65 Gr} def",
    "/gr8 {0.60 Gr} def",
    "/gr9 {0.55 Gr} def",
    "/gr10 {0.50 Gr} def",
    "/gr11 {0.45 Gr} def",
    "/gr12 {0.40 Gr} def",
    "/gr13 {0.35 Gr} def",
    "/gr14 {0.30 Gr} def",
    "/gr15 {0.25 Gr} def",
    "/gr16 {0.20 Gr} def",
    "/gr17 {0.15 Gr} def",
    "/gr18 {0.10 Gr} def",
    "/gr19 {0.05 Gr} def",
};

constexpr std::string_view setup_lines[] = {
    "%%BeginSetup",
    "/Times-Roman findfont 30 scalefont setfont",
    "%%EndSetup",
};

template <std::size_t N>
void write_text_records(const std::string_view (&lines)[N]) {
    for (std::string_view line : lines) write_text_record(line);
}

// Whether a free label or an axis title shows a glyph from the Latin-1 copy of Times-Roman
// (captions and tick labels are ASCII).
bool map_draws_latin1_glyph() {
    const page_layout& page = run.page;
    for (int32_t i = 0; i < page.label_count; ++i)
        if (draws_latin1_glyph(page.labels[i].text)) return true;
    return draws_latin1_glyph(page.titles.x_title.text) ||
           draws_latin1_glyph(page.titles.y_title.text);
}

}  // namespace

void write_map() {
    write_text_records(header_lines);
    write_text_records(prolog_lines);
    if (map_draws_latin1_glyph()) write_text_records(latin1_font_definition);
    write_text_record("%%EndProlog");
    write_text_records(setup_lines);
    write_list(unit_map, {item_real(run.page.translation.x), item_real(run.page.translation.y),
                          item_text("   translate")});

    fill_regions();
    draw_frame_and_axes();
    draw_secondary_scales();
    draw_guide_lines();

    write_list(unit_map, {item_text("showpage")});
}
