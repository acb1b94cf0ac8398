// A label's text as the map's PostScript shows it: each segment of the label (maps/page/page.hpp)
// split into runs of one font each, held as the bodies of PostScript strings. Text work only,
// apart from any record: write_label (label.cpp) writes what it finds, and write_map asks it
// whether a map needs the Latin-1 font.
#pragma once

#include <cstdint>

#include "core/fixed_text.hpp"
#include "core/label_glyphs.hpp"
#include "maps/page/page.hpp"

// Longest body escape_postscript_string can produce from a segment: four bytes a character.
constexpr int32_t max_string_body = 4 * label_length;

// Writes the text of a segment (`length` characters, trailing blanks already removed) as
// the body of a PostScript string, escaping what would leave the string unbalanced or open,
// and every control character (below 32, and DEL) as an octal escape, so that no byte of a
// label can end a line of the map ("a\rb" -> "a\015b"); returns the body's length.
int32_t escape_postscript_string(const char* text, int32_t length, char* body);

// A stretch of a segment shown in one font, as the body of a PostScript string: ASCII as
// escape_postscript_string writes it, every other glyph as an octal escape ("\104"), a
// character without a glyph as "?".
struct glyph_run {
    glyph_font font;
    int32_t length;
    char body[max_string_body];
};

// A segment's text in runs, a new one wherever the font changes; an empty text is one empty
// Times-Roman run.
struct segment_runs {
    int32_t count;
    glyph_run run[label_length];
};

// Splits the text of a segment (`length` bytes, trailing blanks already removed) into runs.
segment_runs split_into_runs(const char* text, int32_t length);

// The runs of a segment's text without its trailing blanks.
segment_runs runs_of_segment(const text40& segment);

// Whether write_label would show any glyph of `text` from the Latin-1 copy of Times-Roman,
// which the prolog then defines.
bool draws_latin1_glyph(const text40& text);
