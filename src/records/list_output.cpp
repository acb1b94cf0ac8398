// List-directed records: the layer chooses the widths. A record starts with one blank and
// holds 79 columns; integers stand right-justified in 11 columns (12 after a number), reals
// in 15 (16 after a number), texts straight after the item before them, and what does not
// fit continues on a new record. The PostScript-safe variant never cuts a record inside a
// string "(...)" or an operator word, so the map reads the same however its records split.
#include <string>

#include "records/fatal.hpp"
#include "records/statements.hpp"

namespace {

constexpr int32_t integer_field = 11;  // list-directed integer field, 12 after a number
constexpr int32_t real_field = 15;     // list-directed real field, 16 after a number

// How many bytes at text[i] form a character that no record holds as typed, since a reader
// could take it for a line end or a control: a control character but the tab (below 32,
// DEL, and U+0080 to U+009F, C2 80 to C2 9F in UTF-8) or the line or paragraph separator
// (U+2028, U+2029: E2 80 A8, E2 80 A9). 0 for any other byte.
int32_t unshown_length(const char* text, int32_t i, int32_t length) {
    const auto byte = [&](int32_t at) { return static_cast<unsigned char>(text[at]); };
    if ((byte(i) < 0x20 && text[i] != '\t') || byte(i) == 0x7F) return 1;
    if (byte(i) == 0xC2 && i + 1 < length && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) return 2;
    if (byte(i) == 0xE2 && i + 2 < length && byte(i + 1) == 0x80 &&
        (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9))
        return 3;
    return 0;
}

void start_list_record(list_statement& s) {
    s.room = list_record_room;
    s.pending_blanks = 1;
}

void write_pending_blanks(list_statement& s) {
    append_blanks(*s.out, s.pending_blanks);
    s.pending_blanks = 0;
}

// A record in which nothing was written still gets its leading blank: " ".
void end_list_record(list_statement& s) {
    write_pending_blanks(s);
    end_record(*s.out);
}

void break_list_record(list_statement& s) {
    end_list_record(s);
    start_list_record(s);
}

// A text is never separated from the item before it; only a fresh record's leading blank
// stays pending.
void begin_list_text(list_statement& s) {
    if (s.pending_blanks != 1) s.pending_blanks = 0;
    s.after_number = false;
}

// Writes as much as the record has room for, continuing on new records: with room 3,
// "abcdef" -> "...abc" / " def".
void place_plain_text(list_statement& s, const char* text, int32_t length) {
    begin_list_text(s);
    while (length >= s.room) {
        write_pending_blanks(s);
        append_text(*s.out, text, s.room);
        text += s.room;
        length -= s.room;
        break_list_record(s);
    }
    write_pending_blanks(s);
    append_text(*s.out, text, length);
    s.room -= length;
}

// Follows PostScript strings: "(" opens one, nested parentheses count, a backslash inside a
// string escapes the next character.
void scan_postscript_char(int32_t& depth, bool& escape_next, char c) {
    if (depth == 0) {
        if (c == '(') depth = 1;
        return;
    }
    if (escape_next) {
        escape_next = false;
        return;
    }
    if (c == '\\') {
        escape_next = true;
    } else if (c == '(') {
        ++depth;
    } else if (c == ')') {
        --depth;
    }
}

// Where to cut a text that reaches the end of the record, as a count of its characters:
// `preferred` when it is safe, else the last safe place before it, else the first safe place
// after it; 0 when the text has none. A place is safe outside strings and not between two
// non-blank characters; `next` is the character after the text, or -1 when a number or the
// end of the statement follows, which makes the end of the text safe.
int32_t find_postscript_cut(const list_statement& s, const char* text, int32_t length,
                            int32_t preferred, int32_t next) {
    int32_t depth = s.string_depth;
    bool escape_next = s.escape_next;
    int32_t last_safe = 0;
    for (int32_t pos = 1; pos <= length; ++pos) {
        char before = text[pos - 1];
        scan_postscript_char(depth, escape_next, before);
        bool is_safe;
        if (pos < length) {
            is_safe = depth == 0 && !(!is_blank(before) && !is_blank(text[pos]));
        } else {
            is_safe = next < 0 ||
                      (depth == 0 && !(!is_blank(before) && !is_blank(static_cast<char>(next))));
        }
        if (pos < preferred) {
            if (is_safe) last_safe = pos;
        } else if (pos == preferred) {
            if (is_safe) return pos;
            if (last_safe > 0) return last_safe;
        } else if (is_safe) {
            return pos;
        }
    }
    return 0;
}

void write_scanned_text(list_statement& s, const char* text, int32_t length) {
    write_pending_blanks(s);
    append_text(*s.out, text, length);
    for (int32_t i = 0; i < length; ++i)
        scan_postscript_char(s.string_depth, s.escape_next, text[i]);
}

// As place_plain_text, but a cut never falls inside a PostScript string or operator word:
// " M  (" S ")  show" with room 6 left after S -> "...)  " / " show", not "...)  sho" / " w".
void place_postscript_text(list_statement& s, const char* text, int32_t length, int32_t next) {
    begin_list_text(s);
    if (s.cut_pending) {
        int32_t cut = find_postscript_cut(s, text, length, 1, next);
        if (cut == 0) {
            write_scanned_text(s, text, length);
            return;
        }
        write_scanned_text(s, text, cut);
        text += cut;
        length -= cut;
        s.cut_pending = false;
        break_list_record(s);
    }
    while (length >= s.room) {
        int32_t cut = find_postscript_cut(s, text, length, s.room, next);
        if (cut == 0) {
            write_scanned_text(s, text, length);
            s.cut_pending = true;
            return;
        }
        write_scanned_text(s, text, cut);
        text += cut;
        length -= cut;
        break_list_record(s);
    }
    write_scanned_text(s, text, length);
    s.room -= length;
}

// First character written after item `index`, or -1 when a number or the end follows.
int32_t next_statement_char(std::initializer_list<record_item> items, std::size_t index) {
    for (std::size_t i = index + 1; i < items.size(); ++i) {
        const record_item& item = items.begin()[i];
        if (item.kind != item_kind::text) return -1;
        if (item_length(item) > 0) return static_cast<unsigned char>(item_chars(item)[0]);
    }
    return -1;
}

void place_list_item(list_statement& s, std::initializer_list<record_item> items,
                     std::size_t index) {
    const record_item& item = items.begin()[index];
    char text[40];
    switch (item.kind) {
        case item_kind::integer: {
            int32_t length = format_integer(item.integer, text);
            place_list_number(s, text, length, s.after_number ? integer_field + 1 : integer_field);
            return;
        }
        case item_kind::real: {
            int32_t length = format_real_list(item.real, text);
            place_list_number(s, text, length, s.after_number ? real_field + 1 : real_field);
            return;
        }
        case item_kind::text:
            if (s.keeps_postscript_words) {
                place_postscript_text(s, item_chars(item), item_length(item),
                                      next_statement_char(items, index));
            } else {
                place_plain_text(s, item_chars(item), item_length(item));
            }
            return;
    }
}

void write_list_statement(int32_t unit, std::initializer_list<record_item> items,
                          bool keeps_postscript_words) {
    list_statement s;
    begin_list_statement(s, unit, keeps_postscript_words);
    if (s.out == nullptr) return;
    for (std::size_t i = 0; i < items.size(); ++i) place_list_item(s, items, i);
    end_list_statement(s);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Items

record_item item_int(int32_t value) { return {item_kind::integer, value, 0.0f, nullptr, 0, 0}; }
record_item item_int(int32_t value, int32_t runtime_width) {
    return {item_kind::integer, value, 0.0f, nullptr, 0, runtime_width};
}
record_item item_real(float value) { return {item_kind::real, 0, value, nullptr, 0, 0}; }
record_item item_text(const char* text, int32_t length) {
    return {item_kind::text, 0, 0.0f, text, length, 0};
}
record_item item_text(std::string_view text) {
    return item_text(text.data(), static_cast<int32_t>(text.size()));
}

int32_t format_integer(int32_t value, char* out) {
    int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
    char reversed[12];
    int32_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    int32_t length = 0;
    if (value < 0) out[length++] = '-';
    while (count > 0) out[length++] = reversed[--count];
    return length;
}

void append_text(output_unit& u, const char* text, int32_t length) {
    int32_t from = 0;
    for (int32_t i = 0; i < length;) {
        const int32_t unshown = unshown_length(text, i, length);
        if (unshown == 0) {
            ++i;
            continue;
        }
        append(u, text + from, i - from);
        append(u, "???", unshown);
        i += unshown;
        from = i;
    }
    append(u, text + from, length - from);
}

const char* item_chars(const record_item& item) { return item.text != nullptr ? item.text : ""; }

int32_t item_length(const record_item& item) {
    return item.text != nullptr && item.length > 0 ? item.length : 0;
}

// ---------------------------------------------------------------------------------------
// Statements

void begin_list_statement(list_statement& statement, int32_t unit, bool keeps_postscript_words) {
    statement = {};
    statement.out = writable_unit(unit);
    statement.unit = unit;
    statement.keeps_postscript_words = keeps_postscript_words;
    start_list_record(statement);
}

// 3 in a fresh record -> 11 columns "          3" after the leading blank; a field that no
// longer fits starts the next record, without a leading blank of its own.
void place_list_number(list_statement& s, const char* text, int32_t length, int32_t field_width) {
    if (field_width >= list_record_room) {
        if (s.out != nullptr) abandon_record(*s.out);
        stop_run(s.unit, 0,
                 "a list-directed field of " + std::to_string(field_width) +
                     " columns does not fit into a record");
    }
    if (s.out == nullptr) return;
    if (s.cut_pending) {
        s.cut_pending = false;
        break_list_record(s);
    }
    int32_t justify = field_width > length ? field_width - length : 0;
    s.after_number = true;
    if (field_width < s.room) {
        s.pending_blanks += justify;
        write_pending_blanks(s);
        append(*s.out, text, length);
        s.room -= field_width;
        return;
    }
    end_record(*s.out);
    append_blanks(*s.out, justify);
    append(*s.out, text, length);
    s.pending_blanks = 0;
    s.room = list_record_room - field_width;
}

void end_list_statement(list_statement& statement) {
    if (statement.out == nullptr) return;
    end_list_record(statement);
}

void write_list(int32_t unit, std::initializer_list<record_item> items) {
    write_list_statement(unit, items, false);
}

void write_list_postscript(int32_t unit, std::initializer_list<record_item> items) {
    write_list_statement(unit, items, true);
}
