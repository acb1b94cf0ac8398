// The input unit: input.txt, checked to be a plain file of sane size, held in memory as
// unit 1 and read record by record, with the keyword formats "(a8)" and "(a6,i20)" and
// backspace. Free-format statements (list_input.cpp) read it through the same records.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "records/fatal.hpp"
#include "records/input_records.hpp"

namespace {

constexpr int32_t max_line = std::numeric_limits<int32_t>::max();
constexpr off_t max_input_bytes = 16 * 1024 * 1024;  // a real input is a few KB
// Saved at the start of a file by some editors; it is skipped.
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// The whole of input.txt and where unit 1 stands in it.
struct input_unit {
    std::string content;
    std::size_t next_offset = 0;       // first byte of the record the next statement reads
    int32_t next_line = 1;             // its line number
    std::size_t statement_offset = 0;  // first byte of the record the last statement began with
    int32_t statement_line = 0;        // its line number; 0 before any statement
};

input_unit unit;
const std::string* input_text = nullptr;  // set_input_text; read instead of the file

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

}  // namespace

input_record begin_statement() {
    unit.statement_offset = unit.next_offset;
    unit.statement_line = unit.next_line;
    return record_at(unit.next_offset, unit.next_line);
}

void finish_statement(const input_record& record) {
    unit.next_offset = record.next_offset;
    unit.next_line = following_line(record.line);
}

input_record record_after(const input_record& record) {
    return record_at(record.next_offset, following_line(record.line));
}

void stop_on_end_of_file(int32_t line, const std::string& what_was_read) {
    stop_run(unit_input, line, "end of file while reading " + what_was_read);
}

namespace {

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
    if (!S_ISREG(info.st_mode))
        return std::string("it is ") + file_kind(info.st_mode) + ", not a regular file";
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

namespace {

// The checks and the start position shared by a file and an input text.
void finish_opening_input() {
    if (has_cr_line_ends_only(unit.content)) {
        close_input_unit();
        stop_run(unit_input, 0, "its line ends are CR only; save it with LF or CR LF line ends");
    }
    if (unit.content.starts_with(byte_order_mark)) unit.next_offset = byte_order_mark.size();
}

}  // namespace

void open_input_unit(const char* file_name) {
    close_input_unit();
    remember_unit_name(unit_input, file_name);
    if (input_text != nullptr) {
        if (input_text->size() > static_cast<std::size_t>(max_input_bytes)) {
            close_input_unit();
            stop_run(unit_input, 0,
                     "cannot read the file: it holds more than " + std::to_string(max_input_bytes) +
                         " bytes (16 MiB), far more than any input");
        }
        unit.content = *input_text;
        finish_opening_input();
        return;
    }
    // Non-blocking, so that a FIFO is refused at once instead of waiting for a writer.
    const int fd = ::openat(run_folder(), file_name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
    finish_opening_input();
}

void set_input_text(const std::string* text) { input_text = text; }

// Forgets the contents; the name stays for messages that come after.
void close_input_unit() { unit = input_unit{}; }

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
    std::string_view field =
        record.text.size() > 6 ? record.text.substr(6, 20) : std::string_view();
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

void stop_run_on_input(std::string_view what) { stop_run(unit_input, unit.statement_line, what); }

std::string_view input_record_text() {
    if (unit.statement_line == 0) return {};
    return record_at(unit.statement_offset, unit.statement_line).text;
}
