// Inside the record layer: what the write statements share (list_output.cpp,
// formatted_output.cpp) and the character classes that the read statements use too. Integers
// and items are turned into text once for both kinds of write statement; a list-directed
// statement keeps its state in list_statement, declared here so that tests can drive field
// widths the program never uses.
#pragma once

#include <cstdint>

#include "records/records.hpp"
#include "records/units.hpp"

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_sign(char c) { return c == '+' || c == '-'; }

// ---------------------------------------------------------------------------------------
// Items (list_output.cpp)

// -42 -> "-42", 0 -> "0"; `out` holds at least 12 characters.
int32_t format_integer(int32_t value, char* out);

// The characters of a text item, "" for none, and how many there are.
const char* item_chars(const record_item& item);
int32_t item_length(const record_item& item);

// ---------------------------------------------------------------------------------------
// One list-directed statement in progress (list_output.cpp). `room` counts the columns still
// free after the record's leading blank (79 in a fresh record); `pending_blanks` are written
// before the next characters.

constexpr int32_t list_record_room = 79;

struct list_statement {
    output_unit* out;  // null when the unit has failed and its output is dropped
    int32_t unit;
    int32_t room;
    int32_t pending_blanks;
    bool after_number;
    // PostScript-aware statements only: parenthesis depth of an open string, a backslash
    // waiting for its escaped character, and a cut put off to the next safe place.
    bool keeps_postscript_words;
    int32_t string_depth;
    bool escape_next;
    bool cut_pending;
};

// Starts a statement on an open unit (a unit that is not open stops the run).
void begin_list_statement(list_statement& statement, int32_t unit, bool keeps_postscript_words);

// Places a number's text right-justified in a field of `field_width` columns; a field of 79
// or more columns cannot be written and stops the run.
void place_list_number(list_statement& statement, const char* text, int32_t length,
                       int32_t field_width);

// Ends the statement's last record.
void end_list_statement(list_statement& statement);
