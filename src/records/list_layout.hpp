// Inside the record layer: one list-directed statement in progress on an output unit.
// `room` counts the columns still free after the record's leading blank (79 in a fresh
// record); `pending_blanks` are written before the next characters. Declared here so that
// the statement's limits can be driven with field widths the program itself never uses.
#pragma once

#include <cstdint>

struct output_unit;

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
void place_list_number(list_statement& statement, const char* text, int32_t length, int32_t field_width);

// Ends the statement's last record.
void end_list_statement(list_statement& statement);
