// The map: one Encapsulated PostScript page written to unit 3 from the page model
// (maps/page/page.hpp), with the regions filled in grey, the framed and ticked window, optional
// pressure scales, guide and equilibrium lines and marked-up labels, in the model's page
// coordinates.
//
// PostScript used by the map (operands first, as PostScript reads them):
//   x y M / x y L         moveto / lineto (prolog names); C closepath; S stroke; N newpath
//   (text) show           show a string at the current point; (text) SN shows it, then N
//   (text) STxt           show a string and leave its width on the stack; w1 w2 add sums
//                         widths, 0 w exch sub negates one
//   (\104)                a string holding the character of code 104 (octal) of the font
//   dx dy rmoveto         move the current point by (dx, dy)
//   w setlinewidth        line width in points; grN sets grey 1.00 - 0.05 N; CoBla black
//   /Font findfont s scalefont setfont   select a font at size s (Times-Roman, Symbol, or
//                         Times-Roman-Latin1, which the prolog makes with definefont)
//   [d g] 0 setdash       dash pattern; x y translate moves the origin; showpage ends the page
#pragma once

#include "core/modules.hpp"

// Writes the whole map document (and the map trace in log.out) from the page model, which
// must be laid out (lay_out_page).
void write_map();

// Writes one point record: page_x(x), page_y(y), "  " and the first character of `op`
// ("M" to start a path piece, "L" to draw to it).
void put_point(float x, float y, const char* op);

// Writes a 40-character text at page position (x, y) with font size `size`, its ^{...}
// superscript and _{...} subscript markup set as place_text (maps/page/page.hpp) sets it, and
// traces every segment after the first in log.out. The text is UTF-8; each character is drawn
// from Times-Roman, Times-Roman-Latin1 or Symbol (core/label_glyphs.hpp), and Times-Roman is the
// font in effect afterwards.
void write_label(float x, float y, float size, const text40& text);
