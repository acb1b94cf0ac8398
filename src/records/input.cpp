// Input side of the record layer. input.txt is held in memory as unit 1 and read record by
// record: free-format statements (values separated by blanks, tabs, commas or record ends,
// with null values, slashes and repeat counts) and the keyword formats "(a8)" and
// "(a6,i20)". A value that cannot be converted, or an end of file inside a statement, stops
// the run with a message naming the item and the line where the problem is.
#include <cerrno>
#include <fcntl.h>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "fatal.hpp"
#include "internals.hpp"

namespace {

constexpr int32_t max_line = std::numeric_limits<int32_t>::max();
constexpr off_t max_input_bytes = 16 * 1024 * 1024;  // a real input is a few KB
// Saved at the start of a file by some editors; it is skipped.
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// The whole of input.txt and where unit 1 stands in it.
struct input_unit {
    std::string name;
    std::string content;
    std::size_t next_offset = 0;       // first byte of the record the next statement reads
    int32_t next_line = 1;             // its line number
    std::size_t statement_offset = 0;  // first byte of the record the last statement began with
    int32_t statement_line = 0;        // its line number; 0 before any statement
};

input_unit unit;

// One record without its end characters, its line and where the following record begins.
struct input_record {
    std::string_view text;
    int32_t line;
    std::size_t next_offset;
    bool exists;  // false at the end of the file
};

int32_t following_line(int32_t line) { return line < max_line ? line + 1 : line; }

// The record at `offset`: it ends at LF; a CR just before the LF, or a CR that is the last
// byte of a final record without LF, is dropped.
input_record record_at(std::size_t offset, int32_t line) {
    const std::string& content = unit.content;
    if (offset >= content.size()) return {std::string_view(), line, content.size(), false};
    const char* start = content.data() + offset;
    std::size_t rest = content.size() - offset;
    const void* lf = std::memchr(start, '\n', rest);
    std::size_t length =
        lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : rest;
    std::size_t next = offset + length + (lf != nullptr ? 1 : 0);
    if (length > 0 && start[length - 1] == '\r') --length;
    return {std::string_view(start, length), line, next, true};
}

// Starts a read statement at the next record and remembers it for backspace_input.
input_record begin_statement() {
    unit.statement_offset = unit.next_offset;
    unit.statement_line = unit.next_line;
    return record_at(unit.next_offset, unit.next_line);
}

// Ends a read statement: the rest of `record` is skipped.
void finish_statement(const input_record& record) {
    unit.next_offset = record.next_offset;
    unit.next_line = following_line(record.line);
}

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

[[noreturn]] void stop_on_end_of_file(int32_t line, const std::string& what_was_read) {
    stop_run(unit_input, line, "end of file while reading " + what_was_read);
}

// ---------------------------------------------------------------------------------------
// Text values

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

// ---------------------------------------------------------------------------------------
// Free-format statements

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
    return {rest.substr(0, prefix + value_length), rest.substr(prefix, value_length), cursor.record.line};
}

// Moves the cursor to the next value, null or slash of the statement, over as many
// records as it takes; an end of file on the way stops the run.
list_step advance_to_value(list_cursor& cursor, const std::string& what_is_read) {
    for (;;) {
        std::string_view text = cursor.record.text;
        while (cursor.position < text.size() && is_blank(text[cursor.position])) ++cursor.position;
        if (cursor.position == text.size()) {
            // A record end is one more blank: go on with the next record.
            cursor.record = record_at(cursor.record.next_offset, following_line(cursor.record.line));
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
void store_value(const input_item& item, const value_token& token, const std::string& what_is_read) {
    std::string_view value = token.value;
    bool is_quoted = is_quote(value[0]);
    switch (item.kind) {
        case item_kind::integer: {
            int32_t converted = 0;
            conversion result = is_quoted ? conversion::malformed : convert_integer(value, converted);
            if (result == conversion::out_of_range)
                stop_on_bad_value(token, "expected an integer from -2147483648 to 2147483647", what_is_read);
            if (result != conversion::done) stop_on_bad_value(token, "expected an integer", what_is_read);
            if (item.target != nullptr) *static_cast<int32_t*>(item.target) = converted;
            return;
        }
        case item_kind::real: {
            float converted = 0.0f;
            conversion result = is_quoted ? conversion::malformed : convert_real(value, converted);
            if (result == conversion::out_of_range)
                stop_on_bad_value(token, "expected a real number within single precision", what_is_read);
            if (result != conversion::done) stop_on_bad_value(token, "expected a real number", what_is_read);
            if (item.target != nullptr) *static_cast<float*>(item.target) = converted;
            return;
        }
        case item_kind::text: {
            if (is_quoted) {
                std::size_t closing = find_closing_quote(value);
                if (closing == std::string_view::npos)
                    stop_on_bad_value(token, "unterminated quoted text", what_is_read);
                if (closing + 1 != value.size())
                    stop_on_bad_value(token, "expected a blank, comma or slash after the closing quote",
                                      what_is_read);
            } else if (value[0] == '(') {
                stop_on_bad_value(token, "expected a text (quote a text that begins with '(')", what_is_read);
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

// ---------------------------------------------------------------------------------------
// Keyword formats

// The first `count` characters of a record into a 20-character text, blank padded.
void store_keyword(text20& keyword, std::string_view record, std::size_t count) {
    keyword.fill(' ');
    for (std::size_t i = 0; i < count && i < record.size(); ++i) keyword[i] = record[i];
}

// The integer field of columns 7 to 26: blanks and tabs are ignored wherever they stand, a
// sign may come before the digits, all blank is 0, and a comma or the record end ends the
// field early. " 1 2" -> 12, "  -3,x" -> -3, "" -> 0.
conversion convert_integer_field(std::string_view field, int32_t& value) {
    std::string digits;
    for (char c : field) {
        if (is_blank(c)) continue;
        bool sign_allowed = digits.empty();
        if (!is_digit(c) && !(is_sign(c) && sign_allowed)) return conversion::malformed;
        digits += c;
    }
    if (digits.empty()) {
        value = 0;
        return conversion::done;
    }
    return convert_integer(digits, value);
}

// What a file that is not a regular file is: "a FIFO", "a folder".
const char* file_kind(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a plain file";
}

// Reads a whole regular file of at most max_input_bytes into `content`; returns what is wrong
// with the file, or "" when it was read.
std::string read_whole_file(int fd, std::string& content) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return std::strerror(errno);
    if (!S_ISREG(info.st_mode)) return std::string("it is ") + file_kind(info.st_mode) + ", not a regular file";
    const std::string too_large = "it holds more than " + std::to_string(max_input_bytes) +
                                  " bytes (16 MiB), far more than any input";
    if (info.st_size > max_input_bytes) return too_large;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char block[65536];
    for (;;) {
        const ssize_t count = ::read(fd, block, sizeof block);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return std::strerror(errno);
        if (count == 0) return "";
        content.append(block, static_cast<std::size_t>(count));
        if (content.size() > static_cast<std::size_t>(max_input_bytes)) return too_large;
    }
}

// A file that holds CR bytes but no LF was saved with CR line ends and would read as one
// record; a lone CR at its very end is only the end of a one-record file.
bool has_cr_line_ends_only(const std::string& content) {
    if (content.find('\n') != std::string::npos) return false;
    const std::size_t cr = content.find('\r');
    return cr != std::string::npos && cr + 1 < content.size();
}

}  // namespace

input_item in_int(int32_t& target, const char* name) { return {item_kind::integer, &target, 0, name}; }
input_item in_real(float& target, const char* name) { return {item_kind::real, &target, 0, name}; }
input_item in_text(char* target, int32_t length, const char* name) {
    return {item_kind::text, target, length, name};
}

void open_input_unit(const char* file_name) {
    close_input_unit();
    unit.name = file_name;
    // Non-blocking, so that a FIFO is refused at once instead of waiting for a writer.
    const int fd = ::open(file_name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int reason = errno;
        stop_run(unit_input, 0, std::string("cannot open the file: ") + std::strerror(reason));
    }
    const std::string problem = read_whole_file(fd, unit.content);
    ::close(fd);
    if (!problem.empty()) {
        close_input_unit();
        stop_run(unit_input, 0, "cannot read the file: " + problem);
    }
    if (has_cr_line_ends_only(unit.content)) {
        close_input_unit();
        stop_run(unit_input, 0, "its line ends are CR only; save it with LF or CR LF line ends");
    }
    if (unit.content.starts_with(byte_order_mark)) unit.next_offset = byte_order_mark.size();
}

// Forgets the contents; the name stays for messages that come after.
void close_input_unit() {
    std::string name = std::move(unit.name);
    unit = input_unit{};
    unit.name = std::move(name);
}

std::string input_file_name() { return unit.name.empty() ? "unit 1" : unit.name; }

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

void read_keyword_a8(text20& keyword, std::string_view entry) {
    input_record record = begin_statement();
    if (!record.exists) stop_on_end_of_file(record.line, std::string(entry));
    store_keyword(keyword, record.text, 8);
    finish_statement(record);
}

void read_keyword_a6_i20(text20& keyword, int32_t& count, std::string_view entry) {
    input_record record = begin_statement();
    if (!record.exists) stop_on_end_of_file(record.line, std::string(entry));
    store_keyword(keyword, record.text, 6);
    std::string_view field = record.text.size() > 6 ? record.text.substr(6, 20) : std::string_view();
    field = field.substr(0, field.find(','));
    conversion result = convert_integer_field(field, count);
    if (result == conversion::out_of_range)
        stop_run(unit_input, record.line,
                 "expected an integer from -2147483648 to 2147483647 in columns 7 to 26 for " +
                     std::string(entry) + ", found " + quoted_for_message(field));
    if (result != conversion::done)
        stop_run(unit_input, record.line,
                 "expected an integer in columns 7 to 26 for " + std::string(entry) + ", found " +
                     quoted_for_message(field));
    finish_statement(record);
}

void backspace_input() {
    if (unit.statement_line == 0) return;
    unit.next_offset = unit.statement_offset;
    unit.next_line = unit.statement_line;
}

int32_t input_line_number() { return unit.statement_line; }

std::string_view input_record_text() {
    if (unit.statement_line == 0) return {};
    return record_at(unit.statement_offset, unit.statement_line).text;
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
        if (kind == item_kind::integer && convert_integer(value, integer) != conversion::done) return false;
        if (kind == item_kind::real && convert_real(value, real) != conversion::done) return false;
        if (kind == item_kind::text && is_quote(value[0]) && find_closing_quote(value) + 1 != value.size()) return false;
        if (kind == item_kind::text && value[0] == '(') return false;
    }
    return true;
}
