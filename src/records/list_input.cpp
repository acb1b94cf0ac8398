// Free-format read statements on input.txt: values separated by blanks, tabs, commas or
// record ends, with null values, slashes, repeat counts and quoted texts, each converted into
// its item. A value that cannot be converted, or an end of file inside a statement, stops
// the run with a message naming the item and the line where the problem is.
#include <string>
#include <string_view>

#include "records/fatal.hpp"
#include "records/internals.hpp"

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

// Stores `value` left-aligned in a text item: blank padded, cut to the item's length.
// With `quoted`, value still holds its delimiters and a doubled delimiter is stored once.
void store_text(const input_item& item, std::string_view value, bool quoted) {
    char* target = static_cast<char*>(item.target);
    if (target == nullptr || item.length <= 0) return;
    std::size_t length = static_cast<std::size_t>(item.length);
    std::size_t stored = 0;
    if (quoted) {
        char delimiter = value[0];
        for (std::size_t i = 1; i + 1 < value.size() && stored < length; ++i) {
            target[stored++] = value[i];
            if (value[i] == delimiter) ++i;  // the second of a doubled pair
        }
    } else {
        for (; stored < value.size() && stored < length; ++stored) target[stored] = value[stored];
    }
    for (; stored < length; ++stored) target[stored] = ' ';
}

// One value as written: `whole` is the token for messages (repeat count included),
// `value` the part that is converted (empty for "r*", a null repeated r times).
struct value_token {
    std::string_view whole;
    std::string_view value;
    int32_t line;
};

// Where a free-format statement stands.
struct list_cursor {
    input_record record;
    std::size_t position;
    bool follows_value;    // a value was just read, so one comma may follow as its separator
    int32_t repeats_left;  // further items that take `repeated`
    value_token repeated;
};

enum class list_step { value, null, slash };

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

// Moves the cursor to the next value, null or slash of the statement, over as many
// records as it takes; an end of file on the way stops the run.
list_step advance_to_value(list_cursor& cursor, const std::string& what_is_read) {
    for (;;) {
        std::string_view text = cursor.record.text;
        while (cursor.position < text.size() && is_blank(text[cursor.position])) ++cursor.position;
        if (cursor.position == text.size()) {
            // A record end is one more blank: go on with the next record.
            cursor.record = record_after(cursor.record);
            cursor.position = 0;
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

[[noreturn]] void stop_on_bad_value(const value_token& token, const std::string& expected,
                                    const std::string& what_is_read) {
    stop_run(unit_input, token.line,
             expected + " for " + what_is_read + ", found " + quoted_for_message(token.whole));
}

// Converts the value of `token` into its item; a value that does not fit stops the run.
void store_value(const input_item& item, const value_token& token,
                 const std::string& what_is_read) {
    std::string_view value = token.value;
    bool is_quoted = is_quote(value[0]);
    switch (item.kind) {
        case item_kind::integer: {
            int32_t converted = 0;
            conversion result =
                is_quoted ? conversion::malformed : convert_integer(value, converted);
            if (result == conversion::out_of_range)
                stop_on_bad_value(token, "expected an integer from -2147483648 to 2147483647",
                                  what_is_read);
            if (result != conversion::done)
                stop_on_bad_value(token, "expected an integer", what_is_read);
            if (item.target != nullptr) *static_cast<int32_t*>(item.target) = converted;
            return;
        }
        case item_kind::real: {
            float converted = 0.0f;
            conversion result = is_quoted ? conversion::malformed : convert_real(value, converted);
            if (result == conversion::out_of_range)
                stop_on_bad_value(token, "expected a real number within single precision",
                                  what_is_read);
            if (result != conversion::done)
                stop_on_bad_value(token, "expected a real number", what_is_read);
            if (item.target != nullptr) *static_cast<float*>(item.target) = converted;
            return;
        }
        case item_kind::text: {
            if (is_quoted) {
                std::size_t closing = find_closing_quote(value);
                if (closing == std::string_view::npos)
                    stop_on_bad_value(token, "unterminated quoted text", what_is_read);
                if (closing + 1 != value.size())
                    stop_on_bad_value(token,
                                      "expected a blank, comma or slash after the closing quote",
                                      what_is_read);
            } else if (value[0] == '(') {
                stop_on_bad_value(token, "expected a text (quote a text that begins with '(')",
                                  what_is_read);
            }
            store_text(item, value, is_quoted);
            return;
        }
    }
}

// Reads the repeat count of "r*v" or "r*"; it must be 1 or more and within 32 bits.
int32_t repeat_count_of(const value_token& token, const std::string& what_is_read) {
    std::string_view digits = token.whole.substr(0, token.whole.size() - token.value.size() - 1);
    int32_t count = 0;
    if (convert_integer(digits, count) != conversion::done || count < 1)
        stop_on_bad_value(token, "expected a repeat count from 1 to 2147483647", what_is_read);
    return count;
}

// Fills one item from the statement's input; false when a slash has ended the statement.
bool read_item(list_cursor& cursor, const input_item& item, std::string_view entry) {
    std::string what_is_read = describe_item(item, entry);
    if (cursor.repeats_left > 0) {
        --cursor.repeats_left;
        if (!cursor.repeated.value.empty()) store_value(item, cursor.repeated, what_is_read);
        return true;
    }
    list_step step = advance_to_value(cursor, what_is_read);
    if (step == list_step::slash) return false;
    if (step == list_step::null) return true;
    value_token token = take_token(cursor);
    if (token.whole.size() != token.value.size()) {
        cursor.repeats_left = repeat_count_of(token, what_is_read) - 1;
        cursor.repeated = token;
    }
    if (!token.value.empty()) store_value(item, token, what_is_read);
    return true;
}

}  // namespace

input_item in_int(int32_t& target, const char* name) {
    return {item_kind::integer, &target, 0, name};
}
input_item in_real(float& target, const char* name) { return {item_kind::real, &target, 0, name}; }
input_item in_text(char* target, int32_t length, const char* name) {
    return {item_kind::text, target, length, name};
}

void read_list(std::string_view entry, std::initializer_list<input_item> items) {
    list_cursor cursor{begin_statement(), 0, false, 0, {}};
    if (!cursor.record.exists) {
        std::string what_is_read =
            items.size() > 0 ? describe_item(*items.begin(), entry) : std::string(entry);
        stop_on_end_of_file(cursor.record.line, what_is_read);
    }
    for (const input_item& item : items)
        if (!read_item(cursor, item, entry)) break;
    finish_statement(cursor.record);
}

bool record_reads_as(std::string_view record, std::span<const item_kind> kinds) {
    std::size_t at = 0;
    for (item_kind kind : kinds) {
        while (at < record.size() && (is_blank(record[at]) || record[at] == ',')) ++at;
        if (at == record.size() || record[at] == '/') return false;
        const std::string_view value = record.substr(at, measure_value(record.substr(at)));
        at += value.size();
        int32_t integer = 0;
        float real = 0.0f;
        if (kind == item_kind::integer && convert_integer(value, integer) != conversion::done)
            return false;
        if (kind == item_kind::real && convert_real(value, real) != conversion::done) return false;
        if (kind == item_kind::text && is_quote(value[0]) &&
            find_closing_quote(value) + 1 != value.size())
            return false;
        if (kind == item_kind::text && value[0] == '(') return false;
    }
    return true;
}
