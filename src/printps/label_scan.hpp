// Label markup, apart from any PostScript: splits a 40-character label into at most 20
// segments with their levels, and turns a segment into the body of a well-formed
// PostScript string. write_label writes the records from these results.
#pragma once

#include <cstdint>

#include "../modules.hpp"

constexpr int32_t max_segments = 20;   // segments of one label, the first included
constexpr int32_t stacked_level = 9;   // +9 / -9 mark the two members of a stacked pair

// Segment j (0-based) is text[j] at level[j]: 0 baseline, +n superscript of depth n,
// -n subscript of depth n, +9/-9 the upper and lower member of a stacked pair.
struct label_segments {
    int32_t count;
    text40 text[max_segments];
    int32_t level[max_segments];
};

// Splits `text` at its ^{...}, _{...} and } markup.
label_segments scan_label(const text40& text);

// Longest body escape_postscript_string can produce from a 40-character segment.
constexpr int32_t max_string_body = 2 * 40;

// Writes the text of a segment (`length` characters, trailing blanks already removed) as
// the body of a PostScript string, escaping only what would leave the string unbalanced or
// open; returns the body's length.
int32_t escape_postscript_string(const char* text, int32_t length, char* body);
