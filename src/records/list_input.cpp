// Free-format read statements on input.txt: values separated by blanks, tabs, commas or
// record ends, with null values, slashes, repeat counts and quoted texts, each converted into
// its item. A value that cannot be converted, or an end of file inside a statement, stops
// the run with a message naming the item and the line where the problem is. The same cursor
// also tries a single record on its own, storing and stopping nothing, for the warnings
// about records the reader takes as comments.
#include <string>
#include <string_view>

#include "records/fatal.hpp"
#include "records/input_records.hpp"

namespace {

bool is_quote(char c) { return c == '\'' || c == '"'; }
bool ends_unquoted_value(char c) { return is_blank(c) || c == ',' || c == '/'; }

// "count_1 of surface 2"
std::string describe_item(const input_item& item, std::string_view entry) {
    std::string text = item.name != nullptr ? item.name : "a value";
    if (!entry.empty()) {
        text += " of ";
        text += entry;
    }
    return text;
}

// Where a quoted value starting at text[0] closes: the index of the closing delimiter, or
// npos when the record ends first. A doubled delimiter inside stands for one.
std::size_t find_closing_quote(std::string_view text) {
    char delimiter = text[0];
    std::size_t i = 1;
    while (i < text.size()) {
        if (text[i] == delimiter) {
            if (i + 1 < text.size() && text[i + 1] == delimiter) {
                i += 2;
                continue;
            }
            return i;
        }
        ++i;
    }
    return std::string_view::npos;
}

// Whether `rest` holds more than blanks.
bool holds_more_than_blanks(std::string_view rest) {
    return rest.find_first_not_of(' ') != std::string_view::npos;
}

// Stores `value` left-aligned in a text item: blank padded, cut to the item's length; true
// when characters other than blanks were cut off. With `quoted`, value still holds its
// delimiters and a doubled delimiter is stored once.
bool store_text(const input_item& item, std::string_view value, bool quoted) {
    char* target = static_cast<char*>(item.target);
    if (target == nullptr || item.length <= 0) return false;
    std::size_t length = static_cast<std::size_t>(item.length);
    std::size_t stored = 0;
    bool is_cut = false;
    if (quoted) {
        char delimiter = value[0];
        std::size_t i = 1;
        for (; i + 1 < value.size() && stored < length; ++i) {
            target[stored++] = value[i];
            if (value[i] == delimiter) ++i;  // the second of a doubled pair
        }
        is_cut =
            i + 1 < value.size() && holds_more_than_blanks(value.substr(i, value.size() - 1 - i));
    } else {
        for (; stored < value.size() && stored < length; ++stored) target[stored] = value[stored];
        is_cut = stored < value.size();
    }
    for (; stored < length; ++stored) target[stored] = ' ';
    return is_cut;
}

// One value as written: `whole` is the token for messages (repeat count included),
// `value` the part that is converted (empty for "r*", a null repeated r times).
struct value_token {
    std::string_view whole;
    std::string_view value;
    int32_t line;
};

// How a statement reads: from the input unit, storing every value and stopping the run at a
// value that does not convert or at the end of the file; or trying one record on its own,
// which stores nothing, stops nothing and ends at the end of the record.
enum class read_mode : int32_t { store, try_record };

// Where a free-format statement stands.
struct list_cursor {
    input_record record;
    std::size_t position;
    bool follows_value;    // a value was just read, so one comma may follow as its separator
    int32_t repeats_left;  // further items that take `repeated`
    value_token repeated;
    read_mode mode;
    // For the report of what the statement leaves unread: the values it took from the
    // record it stands in, where the last of them ends, and whether that was a text without
    // quotes.
    int32_t values_taken;
    std::size_t last_value_end;
    bool last_is_unquoted_text;
    // The first text the statement cut to the length of its item.
    std::string_view cut_text;
    int32_t cut_line;
    const char* cut_item;
    int32_t cut_length;
};

list_cursor cursor_on(const input_record& record, read_mode mode) {
    return {record, 0, false, 0, {}, mode, 0, 0, false, {}, 0, nullptr, 0};
}

enum class list_step { value, null, slash, record_end };

// Length of a value starting at text[0]: a quoted value runs to its closing delimiter and
// then, like an unquoted one, to the next blank, tab, comma, slash or record end (anything
// in that stretch makes it unconvertible). An unclosed quote takes the rest of the record.
std::size_t measure_value(std::string_view text) {
    std::size_t i = 0;
    if (!text.empty() && is_quote(text[0])) {
        std::size_t closing = find_closing_quote(text);
        if (closing == std::string_view::npos) return text.size();
        i = closing + 1;
    }
    while (i < text.size() && !ends_unquoted_value(text[i])) ++i;
    return i;
}

// Length of the repeat count "r*" that opens `text`, or 0 when there is none.
std::size_t measure_repeat_prefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_digit(text[i])) ++i;
    return i > 0 && i < text.size() && text[i] == '*' ? i + 1 : 0;
}

// Cuts the token at the cursor: "3*0.5" -> repeat 3 of "0.5", "2*" -> 2 nulls, "'a b'".
value_token take_token(list_cursor& cursor) {
    std::string_view rest = cursor.record.text.substr(cursor.position);
    std::size_t prefix = measure_repeat_prefix(rest);
    std::size_t value_length = measure_value(rest.substr(prefix));
    cursor.position += prefix + value_length;
    return {rest.substr(0, prefix + value_length), rest.substr(prefix, value_length),
            cursor.record.line};
}

// Moves the cursor to the next value, null or slash of the statement, over as many records
// as it takes (an end of file on the way stops the run); a record tried on its own ends at
// its end.
list_step advance_to_value(list_cursor& cursor, const std::string& what_is_read) {
    for (;;) {
        std::string_view text = cursor.record.text;
        while (cursor.position < text.size() && is_blank(text[cursor.position])) ++cursor.position;
        if (cursor.position == text.size()) {
            if (cursor.mode == read_mode::try_record) return list_step::record_end;
            // A record end is one more blank: go on with the next record.
            cursor.record = record_after(cursor.record);
            cursor.position = 0;
            cursor.values_taken = 0;
            if (!cursor.record.exists) stop_on_end_of_file(cursor.record.line, what_is_read);
            continue;
        }
        char c = text[cursor.position];
        if (c == ',') {
            ++cursor.position;
            if (cursor.follows_value) {
                cursor.follows_value = false;  // "1 , 2": the separator after a value
                continue;
            }
            return list_step::null;  // ",," or a comma first in the statement
        }
        if (c == '/') {
            ++cursor.position;
            return list_step::slash;
        }
        cursor.follows_value = true;
        return list_step::value;
    }
}

// What is wrong with `value` for an item of `kind`, as the start of the message ("expected an
// integer"), or null when it converts. The converted number goes to `integer` or `real`.
const char* value_problem(item_kind kind, std::string_view value, int32_t& integer, float& real) {
    const bool is_quoted = is_quote(value[0]);
    switch (kind) {
        case item_kind::integer: {
            const conversion result =
                is_quoted ? conversion::malformed : convert_integer(value, integer);
            if (result == conversion::out_of_range)
                return "expected an integer from -2147483648 to 2147483647";
            return result == conversion::done ? nullptr : "expected an integer";
        }
        case item_kind::real: {
            const conversion result = is_quoted ? conversion::malformed : convert_real(value, real);
            if (result == conversion::out_of_range)
                return "expected a real number within single precision";
            return result == conversion::done ? nullptr : "expected a real number";
        }
        case item_kind::text: {
            if (!is_quoted)
                return value[0] == '(' ? "expected a text (quote a text that begins with '(')"
                                       : nullptr;
            const std::size_t closing = find_closing_quote(value);
            if (closing == std::string_view::npos) return "unterminated quoted text";
            return closing + 1 == value.size()
                       ? nullptr
                       : "expected a blank, comma or slash after the closing quote";
        }
    }
    return nullptr;
}

// Converts the value of `token` into its item: true when it converts. A value that does not
// stops a storing statement with a message naming the item.
bool take_value(list_cursor& cursor, const input_item& item, const value_token& token,
                const std::string& what_is_read) {
    int32_t integer = 0;
    float real = 0.0f;
    const char* problem = value_problem(item.kind, token.value, integer, real);
    if (cursor.mode == read_mode::try_record) return problem == nullptr;
    if (problem != nullptr)
        stop_run(unit_input, token.line,
                 std::string(problem) + " for " + what_is_read + ", found " +
                     quoted_for_message(token.whole));
    if (item.target == nullptr) return true;
    if (item.kind == item_kind::integer) *static_cast<int32_t*>(item.target) = integer;
    if (item.kind == item_kind::real) *static_cast<float*>(item.target) = real;
    if (item.kind == item_kind::text && store_text(item, token.value, is_quote(token.value[0])) &&
        cursor.cut_text.empty()) {
        cursor.cut_text = std::string_view(static_cast<const char*>(item.target),
                                           static_cast<std::size_t>(item.length));
        cursor.cut_line = token.line;
        cursor.cut_item = item.name;
        cursor.cut_length = item.length;
    }
    return true;
}

// The repeat count of "r*v" or "r*": it must be 1 or more and within 32 bits; 0 when it is
// not (a storing statement stops there).
int32_t repeat_count_of(const list_cursor& cursor, const value_token& token,
                        const std::string& what_is_read) {
    std::string_view digits = token.whole.substr(0, token.whole.size() - token.value.size() - 1);
    int32_t count = 0;
    if (convert_integer(digits, count) == conversion::done && count >= 1) return count;
    if (cursor.mode == read_mode::try_record) return 0;
    stop_run(unit_input, token.line,
             "expected a repeat count from 1 to 2147483647 for " + what_is_read + ", found " +
                 quoted_for_message(token.whole));
}

// What one item got: a value, a null (which keeps what the item held), or nothing because a
// slash ended the statement; a record tried on its own may also end, or hold a value that
// does not convert.
enum class item_outcome { value, null, slash, record_end, bad_value };

// Notes a value taken from the record, for the report of what stays unread.
item_outcome note_value(list_cursor& cursor, const input_item& item, const value_token& token) {
    ++cursor.values_taken;
    cursor.last_value_end = cursor.position;
    cursor.last_is_unquoted_text = item.kind == item_kind::text && !is_quote(token.value[0]);
    return item_outcome::value;
}

item_outcome read_item(list_cursor& cursor, const input_item& item, std::string_view entry) {
    const std::string what_is_read =
        cursor.mode == read_mode::store ? describe_item(item, entry) : std::string();
    if (cursor.repeats_left > 0) {
        --cursor.repeats_left;
        if (cursor.repeated.value.empty()) return item_outcome::null;
        return take_value(cursor, item, cursor.repeated, what_is_read)
                   ? note_value(cursor, item, cursor.repeated)
                   : item_outcome::bad_value;
    }
    switch (advance_to_value(cursor, what_is_read)) {
        case list_step::slash: return item_outcome::slash;
        case list_step::record_end: return item_outcome::record_end;
        case list_step::null: return item_outcome::null;
        case list_step::value: break;
    }
    value_token token = take_token(cursor);
    if (token.whole.size() != token.value.size()) {
        const int32_t repeats = repeat_count_of(cursor, token, what_is_read);
        if (repeats == 0) return item_outcome::bad_value;
        cursor.repeats_left = repeats - 1;
        cursor.repeated = token;
    }
    if (token.value.empty()) return item_outcome::null;
    return take_value(cursor, item, token, what_is_read) ? note_value(cursor, item, token)
                                                         : item_outcome::bad_value;
}

// The values of `text` up to its end or a slash, each copy of a repeat count counted (a count
// that does not convert as one), and in `first` the first of them as written. The count
// takes 64 bits: a record of 16 MiB holds at most 8 million counts below 2^31 each.
int64_t count_values(std::string_view text, std::string_view& first) {
    list_cursor cursor = cursor_on({text, 0, 0, true}, read_mode::try_record);
    int64_t count = 0;
    first = {};
    for (;;) {
        const list_step step = advance_to_value(cursor, std::string());
        if (step == list_step::slash || step == list_step::record_end) return count;
        if (step == list_step::null) continue;
        const value_token token = take_token(cursor);
        if (token.value.empty()) continue;  // "r*" stands for r nulls
        if (first.empty()) first = token.whole;
        const std::string_view prefix =
            token.whole.substr(0, token.whole.size() - token.value.size());
        int32_t repeats = 1;
        if (!prefix.empty() &&
            (convert_integer(prefix.substr(0, prefix.size() - 1), repeats) != conversion::done ||
             repeats < 1))
            repeats = 1;
        count += repeats;
    }
}

// "19,24": the first comma between two digits in `text`, with the number text on either side
// of it; empty when there is none.
std::string_view comma_between_digits(std::string_view text) {
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] != ',' || !is_digit(text[i - 1]) || !is_digit(text[i + 1])) continue;
        std::size_t from = i;
        std::size_t to = i + 1;
        while (from > 0 && (is_digit(text[from - 1]) || text[from - 1] == '.')) --from;
        if (from > 0 && is_sign(text[from - 1])) --from;
        while (to < text.size() && (is_digit(text[to]) || text[to] == '.')) ++to;
        return text.substr(from, to - from);
    }
    return {};
}

void note_cut_text(const list_cursor& cursor, read_report& report) {
    report.cut_text = cursor.cut_text;
    report.cut_line = cursor.cut_line;
    report.cut_item = cursor.cut_item;
    report.cut_length = cursor.cut_length;
}

// What a statement whose items are all filled leaves of the record it ends in.
read_report unread_rest(const list_cursor& cursor) {
    read_report rest{};
    note_cut_text(cursor, rest);
    rest.line = cursor.record.line;
    rest.values_read = cursor.values_taken;
    rest.last_is_unquoted_text = cursor.last_is_unquoted_text;
    const std::string_view text = cursor.record.text;
    std::size_t at = cursor.position;
    rest.decimal_comma = comma_between_digits(text);
    if (cursor.last_is_unquoted_text && at < text.size() && text[at] == '/' &&
        cursor.last_value_end == at) {
        rest.text_ends_at_slash = true;
        rest.first_unread = text.substr(at);
        return rest;
    }
    while (at < text.size() && is_blank(text[at])) ++at;
    rest.follows_comma = at < text.size() && text[at] == ',';
    if (rest.follows_comma) ++at;
    rest.values_unread = count_values(text.substr(at), rest.first_unread);
    if (cursor.repeats_left > 0 && !cursor.repeated.value.empty()) {
        rest.values_unread += cursor.repeats_left;
        rest.first_unread = cursor.repeated.value;
    }
    return rest;
}

}  // namespace

input_item in_int(int32_t& target, const char* name) {
    return {item_kind::integer, &target, 0, name};
}
input_item in_real(float& target, const char* name) { return {item_kind::real, &target, 0, name}; }
input_item in_text(char* target, int32_t length, const char* name) {
    return {item_kind::text, target, length, name};
}

read_report read_list(std::string_view entry, std::initializer_list<input_item> items) {
    list_cursor cursor = cursor_on(begin_statement(), read_mode::store);
    if (!cursor.record.exists) {
        std::string what_is_read =
            items.size() > 0 ? describe_item(*items.begin(), entry) : std::string(entry);
        stop_on_end_of_file(cursor.record.line, what_is_read);
    }
    for (const input_item& item : items) {
        if (read_item(cursor, item, entry) == item_outcome::slash) {
            finish_statement(cursor.record);
            read_report report{};
            report.line = cursor.record.line;
            report.values_read = cursor.values_taken;
            note_cut_text(cursor, report);
            return report;
        }
    }
    finish_statement(cursor.record);
    return unread_rest(cursor);
}

bool record_reads_as(std::string_view record, std::span<const item_kind> kinds) {
    list_cursor cursor = cursor_on({record, 0, 0, true}, read_mode::try_record);
    for (item_kind kind : kinds)
        if (read_item(cursor, {kind, nullptr, 0, nullptr}, {}) != item_outcome::value) return false;
    return true;
}

std::string_view first_value_of(std::string_view record, std::size_t& start) {
    start = 0;
    while (start < record.size() && is_blank(record[start])) ++start;
    return record.substr(start, measure_value(record.substr(start)));
}
