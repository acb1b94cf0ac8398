// Formatted records: every column comes from edit descriptors, given as a format text such
// as "(1x,2f7.2,a4,i4,a4)" or directly: A, Aw, Iw, I^ (width supplied with the item), Fw.d
// and nX, with repeat counts. A number too wide for its field is written as asterisks. An
// internal write puts one such record into a 40-character text instead of a file.
#include <cstring>
#include <string>

#include "records/fatal.hpp"
#include "records/statements.hpp"

namespace {

constexpr int32_t max_descriptors = 40;   // edit descriptors in one format text
constexpr int32_t max_field_width = 999;  // widths, decimals and counts in a format
constexpr int32_t internal_unit = 0;      // the unit named when an internal write fails

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
        case 'a':
        case 'A':
            d.kind = edit_kind::text;
            if (is_digit(next_format_char(r)) && (d.width = read_format_number(r)) <= 0)
                return "a bad width";
            return nullptr;
        case 'i':
        case 'I':
            d.kind = edit_kind::integer;
            if (next_format_char(r) == '^') {
                ++r.at;
                d.has_runtime_width = true;
                return nullptr;
            }
            d.width = read_format_number(r);
            return d.width > 0 ? nullptr : "an I without a width";
        case 'f':
        case 'F':
            d.kind = edit_kind::real;
            d.width = read_format_number(r);
            if (d.width <= 0 || next_format_char(r) != '.')
                return "an F without a width and decimals";
            ++r.at;
            d.decimals = read_format_number(r);
            return d.decimals >= 0 ? nullptr : "an F without decimals";
        case 'x':
        case 'X':
            d.kind = edit_kind::blanks;
            d.width = d.repeat;
            d.repeat = 1;
            return nullptr;
        default: return "an edit descriptor it does not know";
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
            if (parsed.count == max_descriptors)
                stop_on_format(unit, format, "too many edit descriptors");
            const char* problem = read_descriptor(r, parsed.descriptor[parsed.count]);
            if (problem != nullptr) stop_on_format(unit, format, problem);
            ++parsed.count;
            char separator = next_format_char(r);
            ++r.at;
            if (separator == ')') break;
            if (separator != ',')
                stop_on_format(unit, format, "a descriptor is not followed by \",\" or \")\"");
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
        append_text(*sink.out, text, length);
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
void put_integer_field(field_sink& sink, int32_t unit, const record_item& item,
                       const edit_descriptor& d) {
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

[[noreturn]] void stop_on_items(field_sink& sink, int32_t unit, std::string_view format,
                                const char* what) {
    if (sink.out != nullptr) abandon_record(*sink.out);
    stop_run(unit, 0, "the items do not match the format \"" + std::string(format) + "\": " + what);
}

// Works through the descriptors once, left to right; output stops at the first data
// descriptor for which no item is left.
void write_fields(field_sink& sink, int32_t unit, std::string_view format,
                  const edit_descriptor* descriptors, int32_t count,
                  std::initializer_list<record_item> items) {
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
            if (kind_for_item(item.kind) != d.kind)
                stop_on_items(sink, unit, format, "an item of the wrong kind");
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

void write_fields(field_sink& sink, int32_t unit, std::string_view format,
                  std::initializer_list<record_item> items) {
    parsed_format parsed;
    parse_format(unit, format, parsed);
    write_fields(sink, unit, format, parsed.descriptor, parsed.count, items);
}

}  // namespace

void write_formatted(int32_t unit, std::string_view format,
                     std::initializer_list<record_item> items) {
    output_unit* out = writable_unit(unit);
    if (out == nullptr) return;
    field_sink sink{out, nullptr, 0, 0};
    write_fields(sink, unit, format, items);
    end_record(*out);
}

edit_descriptor edit_blanks(int32_t count) { return {edit_kind::blanks, 1, count, false, 0}; }
edit_descriptor edit_text(int32_t width) { return {edit_kind::text, 1, width, false, 0}; }
edit_descriptor edit_int(int32_t width) { return {edit_kind::integer, 1, width, false, 0}; }
edit_descriptor edit_real(int32_t width, int32_t decimals) {
    return {edit_kind::real, 1, width, false, decimals};
}

void write_formatted(int32_t unit, std::initializer_list<edit_descriptor> descriptors,
                     std::initializer_list<record_item> items) {
    output_unit* out = writable_unit(unit);
    if (out == nullptr) return;
    field_sink sink{out, nullptr, 0, 0};
    write_fields(sink, unit, "given descriptors", descriptors.begin(),
                 static_cast<int32_t>(descriptors.size()), items);
    end_record(*out);
}

void write_internal(text40& buffer, std::string_view format,
                    std::initializer_list<record_item> items) {
    field_sink sink{nullptr, buffer.data(), static_cast<int32_t>(buffer.size()), 0};
    write_fields(sink, internal_unit, format, items);
    put_blanks(sink, sink.capacity - sink.used);
}
