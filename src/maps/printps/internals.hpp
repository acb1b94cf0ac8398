// What the map writer's sections share: the prolog's Latin-1 font, the records every section
// writes through and the sections in the order write_map calls them. Each section turns the
// records of the page model (maps/page/page.hpp) into PostScript; the label text's string bodies
// and font runs have a header of their own, label_scan.hpp. Only the writer and its tests
// include this header; everything else uses printps.hpp.
#pragma once

#include <string_view>

#include "maps/page/page.hpp"

// Prolog lines that define Times-Roman-Latin1, a copy of Times-Roman in the ISO Latin-1
// encoding, for the accented letters and Latin-1 signs of labels and titles; only a map that
// shows one of its glyphs has them.
inline constexpr std::string_view latin1_font_definition[] = {
    "/Times-Roman findfont dup length dict begin",
    "{1 index /FID ne {def} {pop pop} ifelse} forall",
    "/Encoding ISOLatin1Encoding def currentdict end",
    "/Times-Roman-Latin1 exch definefont pop",
};

// ---------------------------------------------------------------------------------------
// Records every section writes through

// One point record: p.x, p.y, "  " and the first character of `op` ("M" to start a path
// piece, "L" to draw to it).
void write_point(page_point p, const char* op);

// One stroked segment: from.x, from.y, "  M", to.x, to.y, "  L  S".
void write_stroke(page_point from, page_point to);

// One record holding a single PostScript word or line, such as "newpath" or "1 setlinewidth".
void write_text_record(std::string_view text);

// A text of the page with its markup as it is set: write_label for a placed text.
void write_page_text(const page_text& text);

// ---------------------------------------------------------------------------------------
// Sections, in the order write_map calls them

void fill_regions();           // grey region polygons (fills.cpp)
void draw_frame_and_axes();    // frame, ticks, tick numbers, axis titles (axes.cpp)
void draw_secondary_scales();  // pressure scales at one or two temperatures (scales.cpp)
void draw_guide_lines();  // xbound, ybound, equi and equ2 lines, then the free labels (guides.cpp)
