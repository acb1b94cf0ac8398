// Output side of the record layer: output units with their own fixed buffers, and the three
// kinds of write statement (list-directed, formatted, internal). Every record is finished
// here and nowhere else: its bytes, then CR LF. A unit's buffer holds whole records; only a
// record longer than the buffer is ever written out in pieces. A record that a fatal error
// interrupts is dropped (or, if part of it already reached the file, ended), so the error
// report that follows always starts a record of its own.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "fatal.hpp"
#include "list_layout.hpp"
#include "records.hpp"

namespace {

constexpr int32_t max_output_units = 10;     // unit numbers 0..9
constexpr int32_t unit_buffer_size = 65536;  // bytes buffered per unit before a write(2)
constexpr int32_t append_chunk = 4096;       // largest piece copied into a buffer at once
constexpr int32_t integer_field = 11;        // list-directed integer field, 12 after a number
constexpr int32_t real_field = 15;           // list-directed real field, 16 after a number
constexpr int32_t max_descriptors = 40;      // edit descriptors in one format text
constexpr int32_t max_field_width = 999;     // widths, decimals and counts in a format
constexpr int32_t internal_unit = 0;         // the unit named when an internal write fails

}  // namespace

struct output_unit {
    int32_t number;
    int fd;
    bool is_open;
    bool has_failed;      // a write failed: the unit drops everything from then on
    bool record_spilled;  // part of the current record already went to the file
    int32_t used;
    int32_t record_start;  // where the record being built begins in the buffer
    char buffer[unit_buffer_size];
};

namespace {

output_unit units[max_output_units];

// ---------------------------------------------------------------------------------------
// Unit buffers

bool is_unit_number(int32_t unit) { return unit >= 0 && unit < max_output_units; }

// Returns 0 or the errno of the failed write.
int write_all(int fd, const char* data, int32_t length) {
    while (length > 0) {
        ssize_t written = ::write(fd, data, static_cast<std::size_t>(length));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        length -= static_cast<int32_t>(written);
    }
    return 0;
}

void drop_buffer(output_unit& u) {
    u.used = 0;
    u.record_start = 0;
    u.record_spilled = false;
}

[[noreturn]] void stop_on_write_failure(output_unit& u, int error) {
    u.has_failed = true;
    drop_buffer(u);
    stop_run(u.number, 0, std::string("cannot write: ") + std::strerror(error));
}

// Writes the finished records and keeps the record being built at the buffer's start.
// Returns 0 or the errno of the failed write.
int write_finished_records(output_unit& u) {
    if (u.record_start == 0) return 0;
    int error = write_all(u.fd, u.buffer, u.record_start);
    if (error != 0) return error;
    u.used -= u.record_start;
    std::memmove(u.buffer, u.buffer + u.record_start, static_cast<std::size_t>(u.used));
    u.record_start = 0;
    return 0;
}

// Frees `length` bytes (at most append_chunk) at the end of the buffer.
void make_room(output_unit& u, int32_t length) {
    int error = write_finished_records(u);
    if (error != 0) stop_on_write_failure(u, error);
    if (unit_buffer_size - u.used >= length) return;
    error = write_all(u.fd, u.buffer, u.used);
    if (error != 0) stop_on_write_failure(u, error);
    u.record_spilled = true;
    u.used = 0;
}

void append(output_unit& u, const char* data, int32_t length) {
    // The usual case: it fits. A negative length fails the unsigned test and writes nothing.
    if (static_cast<uint32_t>(length) <= static_cast<uint32_t>(unit_buffer_size - u.used)) {
        std::memcpy(u.buffer + u.used, data, static_cast<std::size_t>(length));
        u.used += length;
        return;
    }
    while (length > 0) {
        int32_t chunk = length < append_chunk ? length : append_chunk;
        if (unit_buffer_size - u.used < chunk) make_room(u, chunk);
        std::memcpy(u.buffer + u.used, data, static_cast<std::size_t>(chunk));
        u.used += chunk;
        data += chunk;
        length -= chunk;
    }
}

void append_blanks(output_unit& u, int32_t count) {
    if (static_cast<uint32_t>(count) <= static_cast<uint32_t>(unit_buffer_size - u.used)) {
        std::memset(u.buffer + u.used, ' ', static_cast<std::size_t>(count));
        u.used += count;
        return;
    }
    while (count > 0) {
        int32_t chunk = count < append_chunk ? count : append_chunk;
        if (unit_buffer_size - u.used < chunk) make_room(u, chunk);
        std::memset(u.buffer + u.used, ' ', static_cast<std::size_t>(chunk));
        u.used += chunk;
        count -= chunk;
    }
}

void end_record(output_unit& u) {
    append(u, "\r\n", 2);
    u.record_start = u.used;
    u.record_spilled = false;
}

// Before a fatal error in the middle of a record: nothing of it is kept in the buffer, and a
// part that already reached the file is ended so that the report starts a line of its own.
void abandon_record(output_unit& u) {
    if (u.record_spilled) {
        end_record(u);
        return;
    }
    u.used = u.record_start;
}

// The unit a statement writes to; null when the unit has failed and its output is dropped.
output_unit* writable_unit(int32_t unit) {
    if (!is_unit_open(unit)) stop_run(unit, 0, "cannot write: the file is not open");
    output_unit& u = units[unit];
    return u.has_failed ? nullptr : &u;
}

void close_unit(output_unit& u) {
    if (!u.is_open) return;
    if (!u.has_failed) write_all(u.fd, u.buffer, u.record_start);
    ::close(u.fd);
    drop_buffer(u);
    u.is_open = false;
    u.has_failed = false;
    u.fd = -1;
}

// ---------------------------------------------------------------------------------------
// Item texts

// -42 -> "-42", 0 -> "0".
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

const char* item_chars(const record_item& item) { return item.text != nullptr ? item.text : ""; }

int32_t item_length(const record_item& item) {
    return item.text != nullptr && item.length > 0 ? item.length : 0;
}

// ---------------------------------------------------------------------------------------
// List-directed statements

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
        append(*s.out, text, s.room);
        text += s.room;
        length -= s.room;
        break_list_record(s);
    }
    write_pending_blanks(s);
    append(*s.out, text, length);
    s.room -= length;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

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
int32_t find_postscript_cut(const list_statement& s, const char* text, int32_t length, int32_t preferred,
                            int32_t next) {
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
            is_safe = next < 0 || (depth == 0 && !(!is_blank(before) && !is_blank(static_cast<char>(next))));
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
    append(*s.out, text, length);
    for (int32_t i = 0; i < length; ++i) scan_postscript_char(s.string_depth, s.escape_next, text[i]);
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

void place_list_item(list_statement& s, std::initializer_list<record_item> items, std::size_t index) {
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
                place_postscript_text(s, item_chars(item), item_length(item), next_statement_char(items, index));
            } else {
                place_plain_text(s, item_chars(item), item_length(item));
            }
            return;
    }
}

void write_list_statement(int32_t unit, std::initializer_list<record_item> items, bool keeps_postscript_words) {
    list_statement s;
    begin_list_statement(s, unit, keeps_postscript_words);
    if (s.out == nullptr) return;
    for (std::size_t i = 0; i < items.size(); ++i) place_list_item(s, items, i);
    end_list_statement(s);
}

// ---------------------------------------------------------------------------------------
// Formats

struct parsed_format {
    int32_t count;
    edit_descriptor descriptor[max_descriptors];
};

struct format_reader {
    std::string_view text;
    std::size_t at;
};

void skip_format_blanks(format_reader& r) {
    while (r.at < r.text.size() && r.text[r.at] == ' ') ++r.at;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char next_format_char(format_reader& r) {
    skip_format_blanks(r);
    return r.at < r.text.size() ? r.text[r.at] : '\0';
}

// Reads an unsigned count of up to three digits; -1 when there is none or it is too large.
int32_t read_format_number(format_reader& r) {
    if (!is_digit(next_format_char(r))) return -1;
    int32_t value = 0;
    while (r.at < r.text.size() && is_digit(r.text[r.at])) {
        value = value * 10 + (r.text[r.at] - '0');
        if (value > max_field_width) return -1;
        ++r.at;
    }
    return value;
}

[[noreturn]] void stop_on_format(int32_t unit, std::string_view format, const char* what) {
    stop_run(unit, 0, "cannot read the format \"" + std::string(format) + "\": " + what);
}

// Reads one descriptor such as "2f7.2", "a4", "I^" or "1x"; returns the problem or null.
const char* read_descriptor(format_reader& r, edit_descriptor& d) {
    int32_t repeat = read_format_number(r);
    if (repeat == 0) return "a repeat count of 0";
    d.repeat = repeat > 0 ? repeat : 1;
    d.width = 0;
    d.has_runtime_width = false;
    d.decimals = 0;
    char letter = next_format_char(r);
    ++r.at;
    switch (letter) {
        case 'a': case 'A':
            d.kind = edit_kind::text;
            if (is_digit(next_format_char(r)) && (d.width = read_format_number(r)) <= 0) return "a bad width";
            return nullptr;
        case 'i': case 'I':
            d.kind = edit_kind::integer;
            if (next_format_char(r) == '^') {
                ++r.at;
                d.has_runtime_width = true;
                return nullptr;
            }
            d.width = read_format_number(r);
            return d.width > 0 ? nullptr : "an I without a width";
        case 'f': case 'F':
            d.kind = edit_kind::real;
            d.width = read_format_number(r);
            if (d.width <= 0 || next_format_char(r) != '.') return "an F without a width and decimals";
            ++r.at;
            d.decimals = read_format_number(r);
            return d.decimals >= 0 ? nullptr : "an F without decimals";
        case 'x': case 'X':
            d.kind = edit_kind::blanks;
            d.width = d.repeat;
            d.repeat = 1;
            return nullptr;
        default:
            return "an edit descriptor it does not know";
    }
}

// "(1x,2f7.2,a4,i4,a4)": parenthesised, comma-separated descriptors, blanks ignored.
void parse_format(int32_t unit, std::string_view format, parsed_format& parsed) {
    format_reader r{format, 0};
    parsed.count = 0;
    if (next_format_char(r) != '(') stop_on_format(unit, format, "it does not start with \"(\"");
    ++r.at;
    if (next_format_char(r) == ')') {
        ++r.at;
    } else {
        while (true) {
            if (parsed.count == max_descriptors) stop_on_format(unit, format, "too many edit descriptors");
            const char* problem = read_descriptor(r, parsed.descriptor[parsed.count]);
            if (problem != nullptr) stop_on_format(unit, format, problem);
            ++parsed.count;
            char separator = next_format_char(r);
            ++r.at;
            if (separator == ')') break;
            if (separator != ',') stop_on_format(unit, format, "a descriptor is not followed by \",\" or \")\"");
        }
    }
    if (next_format_char(r) != '\0') stop_on_format(unit, format, "text follows its closing \")\"");
}

// Where a formatted record goes: a unit's buffer, or a text buffer whose characters past
// its end are cut off.
struct field_sink {
    output_unit* out;
    char* buffer;
    int32_t capacity;
    int32_t used;
};

void put_chars(field_sink& sink, const char* text, int32_t length) {
    if (sink.out != nullptr) {
        append(*sink.out, text, length);
        return;
    }
    int32_t room = sink.capacity - sink.used;
    int32_t count = length < room ? length : room;
    if (count > 0) std::memcpy(sink.buffer + sink.used, text, static_cast<std::size_t>(count));
    if (count > 0) sink.used += count;
}

void put_blanks(field_sink& sink, int32_t count) {
    if (sink.out != nullptr) {
        append_blanks(*sink.out, count);
        return;
    }
    int32_t room = sink.capacity - sink.used;
    if (count > room) count = room;
    if (count > 0) std::memset(sink.buffer + sink.used, ' ', static_cast<std::size_t>(count));
    if (count > 0) sink.used += count;
}

// Right-justifies a number's text in `width` columns, or fills them with asterisks.
void put_number_field(field_sink& sink, const char* text, int32_t length, int32_t width) {
    if (length > width) {
        char stars[max_field_width];
        std::memset(stars, '*', static_cast<std::size_t>(width));
        put_chars(sink, stars, width);
        return;
    }
    put_blanks(sink, width - length);
    put_chars(sink, text, length);
}

// "a4" with "gr" -> "  gr", with "abcdef" -> "abcd"; "a" -> the whole text.
void put_text_field(field_sink& sink, const record_item& item, const edit_descriptor& d) {
    int32_t length = item_length(item);
    if (d.width == 0) {
        put_chars(sink, item_chars(item), length);
    } else if (d.width < length) {
        put_chars(sink, item_chars(item), d.width);
    } else {
        put_blanks(sink, d.width - length);
        put_chars(sink, item_chars(item), length);
    }
}

// "i4" with -2 -> "  -2"; "I^" takes the width from the item, and a width of zero or less
// means the number's own width, so that no digit is lost.
void put_integer_field(field_sink& sink, int32_t unit, const record_item& item, const edit_descriptor& d) {
    char text[12];
    int32_t length = format_integer(item.integer, text);
    int32_t width = d.width;
    if (d.has_runtime_width) {
        width = item.width > 0 ? item.width : length;
        if (width > max_field_width) {
            if (sink.out != nullptr) abandon_record(*sink.out);
            stop_run(unit, 0, "an I^ field width of " + std::to_string(width) + " is too wide");
        }
    }
    put_number_field(sink, text, length, width);
}

void put_real_field(field_sink& sink, const record_item& item, const edit_descriptor& d) {
    char text[max_field_width];
    format_real_fixed(item.real, d.width, d.decimals, text);
    put_chars(sink, text, d.width);
}

edit_kind kind_for_item(item_kind kind) {
    switch (kind) {
        case item_kind::integer: return edit_kind::integer;
        case item_kind::real: return edit_kind::real;
        case item_kind::text: break;
    }
    return edit_kind::text;
}

[[noreturn]] void stop_on_items(field_sink& sink, int32_t unit, std::string_view format, const char* what) {
    if (sink.out != nullptr) abandon_record(*sink.out);
    stop_run(unit, 0, "the items do not match the format \"" + std::string(format) + "\": " + what);
}

// Works through the descriptors once, left to right; output stops at the first data
// descriptor for which no item is left.
void write_fields(field_sink& sink, int32_t unit, std::string_view format, const edit_descriptor* descriptors,
                  int32_t count, std::initializer_list<record_item> items) {
    std::size_t next_item = 0;
    for (int32_t i = 0; i < count; ++i) {
        const edit_descriptor& d = descriptors[i];
        if (d.kind == edit_kind::blanks) {
            put_blanks(sink, d.width);
            continue;
        }
        for (int32_t r = 0; r < d.repeat; ++r) {
            if (next_item == items.size()) return;
            const record_item& item = items.begin()[next_item++];
            if (kind_for_item(item.kind) != d.kind) stop_on_items(sink, unit, format, "an item of the wrong kind");
            switch (d.kind) {
                case edit_kind::text: put_text_field(sink, item, d); break;
                case edit_kind::integer: put_integer_field(sink, unit, item, d); break;
                case edit_kind::real: put_real_field(sink, item, d); break;
                case edit_kind::blanks: break;
            }
        }
    }
    if (next_item < items.size()) stop_on_items(sink, unit, format, "more items than fields");
}

void write_fields(field_sink& sink, int32_t unit, std::string_view format, std::initializer_list<record_item> items) {
    parsed_format parsed;
    parse_format(unit, format, parsed);
    write_fields(sink, unit, format, parsed.descriptor, parsed.count, items);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Items

record_item item_int(int32_t value) { return {item_kind::integer, value, 0.0f, nullptr, 0, 0}; }
record_item item_int(int32_t value, int32_t runtime_width) {
    return {item_kind::integer, value, 0.0f, nullptr, 0, runtime_width};
}
record_item item_real(float value) { return {item_kind::real, 0, value, nullptr, 0, 0}; }
record_item item_text(const char* text, int32_t length) { return {item_kind::text, 0, 0.0f, text, length, 0}; }
record_item item_text(std::string_view text) { return item_text(text.data(), static_cast<int32_t>(text.size())); }

// ---------------------------------------------------------------------------------------
// List-directed statement engine

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
        stop_run(s.unit, 0, "a list-directed field of " + std::to_string(field_width) +
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

// ---------------------------------------------------------------------------------------
// Statements

void write_list(int32_t unit, std::initializer_list<record_item> items) { write_list_statement(unit, items, false); }

void write_list_postscript(int32_t unit, std::initializer_list<record_item> items) {
    write_list_statement(unit, items, true);
}

void write_formatted(int32_t unit, std::string_view format, std::initializer_list<record_item> items) {
    output_unit* out = writable_unit(unit);
    if (out == nullptr) return;
    field_sink sink{out, nullptr, 0, 0};
    write_fields(sink, unit, format, items);
    end_record(*out);
}

edit_descriptor edit_blanks(int32_t count) { return {edit_kind::blanks, 1, count, false, 0}; }
edit_descriptor edit_text(int32_t width) { return {edit_kind::text, 1, width, false, 0}; }
edit_descriptor edit_int(int32_t width) { return {edit_kind::integer, 1, width, false, 0}; }
edit_descriptor edit_real(int32_t width, int32_t decimals) { return {edit_kind::real, 1, width, false, decimals}; }

void write_formatted(int32_t unit, std::initializer_list<edit_descriptor> descriptors,
                     std::initializer_list<record_item> items) {
    output_unit* out = writable_unit(unit);
    if (out == nullptr) return;
    field_sink sink{out, nullptr, 0, 0};
    write_fields(sink, unit, "given descriptors", descriptors.begin(), static_cast<int32_t>(descriptors.size()), items);
    end_record(*out);
}

void write_internal(text40& buffer, std::string_view format, std::initializer_list<record_item> items) {
    field_sink sink{nullptr, buffer.data(), static_cast<int32_t>(buffer.size()), 0};
    write_fields(sink, internal_unit, format, items);
    put_blanks(sink, sink.capacity - sink.used);
}

void write_raw_record(int32_t unit, std::string_view text) {
    output_unit* out = writable_unit(unit);
    if (out == nullptr) return;
    append(*out, text.data(), static_cast<int32_t>(text.size()));
    end_record(*out);
}

// ---------------------------------------------------------------------------------------
// Files

void open_output_unit(int32_t unit, const char* file_name) {
    if (!is_unit_number(unit)) stop_run(unit, 0, "there is no output unit with this number");
    output_unit& u = units[unit];
    close_unit(u);
    int fd = ::open(file_name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        int error = errno;
        stop_run(unit, 0, std::string("cannot create the file: ") + std::strerror(error));
    }
    u.number = unit;
    u.fd = fd;
    u.is_open = true;
    u.has_failed = false;
    drop_buffer(u);
}

bool is_unit_open(int32_t unit) { return is_unit_number(unit) && units[unit].is_open; }

// Writes every unit's finished records; the first unit that fails is reported once all
// have been tried.
void flush_output_units() {
    output_unit* failed = nullptr;
    int failed_error = 0;
    for (output_unit& u : units) {
        if (!u.is_open || u.has_failed) continue;
        int error = write_finished_records(u);
        if (error == 0) continue;
        u.has_failed = true;
        drop_buffer(u);
        if (failed == nullptr) {
            failed = &u;
            failed_error = error;
        }
    }
    if (failed != nullptr) stop_run(failed->number, 0, std::string("cannot write: ") + std::strerror(failed_error));
}

void close_all_units() {
    for (output_unit& u : units) close_unit(u);
    close_input_unit();
}
