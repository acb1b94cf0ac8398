// Likely slips in input.txt that still read, told on standard error as warnings: a keyword
// that is indented, or misspelt by a letter, two swapped letters or its case, and so read as
// a comment; a record right after a counted entry that reads as one entry more than was
// declared; values of a record that are never read (a decimal comma, a text without quotes);
// an input without surfaces; a label or title with characters the map draws as "?". A warning
// changes no output byte and not the exit status.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/fixed_text.hpp"
#include "core/reader/keywords.hpp"

// A record the reader took as a comment; `just_read` is the counted entry read right before
// it (which declared `count` entries), or null.
void warn_about_comment(std::string_view record, int32_t line, const keyword_info* just_read,
                        int32_t count);

// After a read statement: values its record holds beyond those read, which the free-format
// rules drop, when they look like data rather than a note at the end of the record (a
// number, a value after a comma, the rest of a text without quotes), with a hint when a comma
// stands between digits. A slash that ends a statement on purpose never warns.
void warn_about_unread_values(const read_report& rest);

// After a read statement that stored the entry `entry` ("label 2"): a name, label or axis
// title longer than its field, which keeps only its first bytes.
void warn_about_cut_text(const read_report& report, std::string_view entry);

// At "stop": an input that read no surface draws the frame only.
void warn_if_no_surfaces(int32_t surface_count, int32_t stop_line);

// Once the window is checked: one surface lower than every other at all four corners of the
// window is the lowest everywhere in it, so the map shows one region. When the nearest
// boundary of that region lies farther from the window than the window's diagonal, the
// window most likely stands in other terms than the energies (relative potentials for total
// energies): the warning names the surface and that distance. A nearer boundary (a window
// drawn around one region on purpose) and a surface whose plane no other crosses give none.
void warn_if_one_surface_everywhere(int32_t bound_line);

// A surface read with a negative area: its plane is turned over, so its region means nothing.
void warn_if_negative_area(int32_t surface, int32_t line);

// A label or axis title (`what`: "label 3", "the x axis title") that holds characters without
// a glyph in the map's fonts, or bytes that are no UTF-8 character, which the map draws as
// "?", or control characters of ASCII (but the tab), which no output shows as typed: one
// warning naming each of them (U+4E2D, '\xC0\xAF', U+000D).
void warn_about_undrawn_characters(const text40& text, int32_t line, std::string_view what);

// A surface name (`what`: "the name of surface 2") that holds control characters (but the
// tab) or the line and paragraph separators, which no output shows as typed, or, when
// `replacing_outputs` names the outputs that hold UTF-8 text ("phase.json", "the SVG map",
// "phase.json and the SVG map"; "" for none), other characters those show as U+FFFD: one
// warning naming each of them.
void warn_about_name_characters(const text40& name, int32_t line, std::string_view what,
                                std::string_view replacing_outputs);
