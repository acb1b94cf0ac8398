// Inside the record layer: what its files share. Output units are filled through append and
// finished with end_record (units.cpp); integers and items are turned into text once for
// both kinds of write statement; a list-directed statement keeps its state in
// list_statement, declared here so that tests can drive field widths the program never
// uses; and the input side converts value texts with the conversions below.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "records/records.hpp"

// ---------------------------------------------------------------------------------------
// Unit names (names.cpp) and output units (units.cpp)

constexpr int32_t max_units = 10;            // unit numbers 0..9
constexpr int32_t unit_buffer_size = 65536;  // bytes buffered per unit before a write(2)
constexpr std::size_t max_file_name = 4096;  // bytes of a file name a unit keeps
// A base name with ".", ".partial-<pid>-<n>" or ".previous-<pid>-<n>"
constexpr std::size_t max_temporary_name = max_file_name + 64;

// Remembers the name a unit's file is opened under, for messages.
void remember_unit_name(int32_t unit, std::string_view name);

// How a file of a committed set is moved onto its name, and so how it is put back when a
// later file of the set cannot be moved.
enum class file_move : int32_t {
    onto_free_name,  // no file had the name: put back by removing the new one
    over_kept_file,  // the earlier file is kept under a second name: put back by renaming it
    exchanged,       // the names were exchanged: put back by exchanging them again
    renamed_aside,   // the earlier file was renamed to a second name first (a file system
                     // without hard links or name exchange): put back by renaming it
};

// One output file of the run and its buffer. Declared here so that the statements append to
// the buffer without a call; the files and temporaries are units.cpp's alone.
struct output_unit {
    int32_t number;
    int fd;      // the temporary, open for writing; -1 once it is written out and closed
    int folder;  // the folder the file is in (O_PATH), -1 when the unit is not open
    bool is_open;
    bool has_failed;      // a write failed: the unit drops everything from then on
    bool discards;        // opened on /dev/null (set_output_discard): statements skip it
    bool record_spilled;  // part of the current record already went to the file
    int32_t used;
    int32_t record_start;  // where the record being built begins in the buffer
    int failure;           // errno of the write that failed, 0 while none has
    // Set once temporary_name names a file on disk, cleared before it is renamed or removed;
    // read by the signal handlers, which remove it.
    volatile sig_atomic_t has_temporary;
    bool has_kept_file;  // kept_name names the earlier file, to be removed once the set is in
                         // place (during a commit)
    file_move move;
    char base_name[max_file_name + 1];  // the file's name within `folder`
    char temporary_name[max_temporary_name + 1];
    char kept_name[max_temporary_name + 1];
    char buffer[unit_buffer_size];
};

// The folder part of an output file name opened beneath the run's folder (O_PATH), never
// through a symbolic link that leads out of it; "" is the run's folder itself. -1 with errno
// EXDEV for a folder outside. An absolute folder, which the program's own code may name but
// the input reader never passes on, is opened as it stands. Where the kernel cannot resolve
// beneath a folder itself (no openat2, or a container that refuses it), the folder is opened
// as named and then walked up, through "..", until the run's folder (beneath) or the root
// (outside) is met.
int open_folder_beneath(std::string_view folder);
int open_folder_beneath_by_walking(int base, const char* folder);

// The unit a statement writes to: null when a write to it has failed and its output is
// dropped; a unit that is not open stops the run.
output_unit* writable_unit(int32_t unit);

// Appending when the buffer is full: finished records go to the file first.
void append_in_chunks(output_unit& u, const char* data, int32_t length);
void append_blanks_in_chunks(output_unit& u, int32_t count);

// The usual case: it fits. A negative length fails the unsigned test and writes nothing.
inline void append(output_unit& u, const char* data, int32_t length) {
    if (static_cast<uint32_t>(length) > static_cast<uint32_t>(unit_buffer_size - u.used)) {
        append_in_chunks(u, data, length);
        return;
    }
    std::memcpy(u.buffer + u.used, data, static_cast<std::size_t>(length));
    u.used += length;
}

inline void append_blanks(output_unit& u, int32_t count) {
    if (static_cast<uint32_t>(count) > static_cast<uint32_t>(unit_buffer_size - u.used)) {
        append_blanks_in_chunks(u, count);
        return;
    }
    std::memset(u.buffer + u.used, ' ', static_cast<std::size_t>(count));
    u.used += count;
}

// Appends the characters of a text item with one "?" for each byte of a control character
// but the tab (below 32, DEL, U+0080 to U+009F) and of U+2028 and U+2029, so that no text
// taken from the input ends or starts a line for any reader of a record.
void append_text(output_unit& u, const char* text, int32_t length);

// Ends the record being built with CR LF.
inline void end_record(output_unit& u) {
    append(u, "\r\n", 2);
    u.record_start = u.used;
    u.record_spilled = false;
}

// Before a fatal error in the middle of a record: nothing of it is kept in the buffer, and a
// part that already reached the file is ended so that the report starts a line of its own.
void abandon_record(output_unit& u);

// ---------------------------------------------------------------------------------------
// Items (list_output.cpp)

// -42 -> "-42", 0 -> "0"; `out` holds at least 12 characters.
int32_t format_integer(int32_t value, char* out);

// The characters of a text item, "" for none, and how many there are.
const char* item_chars(const record_item& item);
int32_t item_length(const record_item& item);

// Appends a byte as \xNN, the way messages show what they cannot print: 0x1B -> "\x1B".
inline void append_hex_escape(std::string& text, unsigned char byte) {
    constexpr char hex[] = "0123456789ABCDEF";
    text += "\\x";
    text += hex[byte >> 4];
    text += hex[byte & 0x0F];
}

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_sign(char c) { return c == '+' || c == '-'; }

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

// ---------------------------------------------------------------------------------------
// The input (input.cpp, value_text.cpp)

// One record without its end characters, its line and where the following record begins.
struct input_record {
    std::string_view text;
    int32_t line;
    std::size_t next_offset;
    bool exists;  // false at the end of the file
};

// Starts a read statement at the next record and remembers it for backspace_input.
input_record begin_statement();

// The record after `record`, for a statement that runs on over records.
input_record record_after(const input_record& record);

// Ends a read statement: the rest of `record` is skipped.
void finish_statement(const input_record& record);

[[noreturn]] void stop_on_end_of_file(int32_t line, const std::string& what_was_read);

enum class conversion { done, malformed, out_of_range };

// "+12", "-7", "42": an optional sign and decimal digits, within 32 bits.
conversion convert_integer(std::string_view text, int32_t& value);

// "1.5", "-7", ".5", "2.", "1.5e3", "1.5D-3", "1.5-3" (= 0.0015), "+4E+2": converted from the
// decimal text straight to the nearest single-precision value. Anything else (inf, nan,
// "1e", "1.5-", ".") is malformed; a value too large for single precision is out of range,
// one too small becomes a subnormal or zero.
conversion convert_real(std::string_view text, float& value);
