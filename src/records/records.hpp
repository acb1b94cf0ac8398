// Record layer: every byte the run reads from input.txt or writes to its output files goes
// through here. Files are addressed by fixed unit numbers. Output records end with CR LF;
// a list-directed record starts with one blank and holds at most 79 columns before it is
// continued on a new record. Input is read record by record, in free format (values
// separated by blanks, tabs, commas or record ends) or with the keyword formats "(a8)" and
// "(a6,i20)". Numbers are rendered from correctly rounded digits, never through iostream.
// An output file is written under a temporary name and replaces the file only when the run
// commits it, complete.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "core/fixed_text.hpp"

constexpr int32_t unit_input = 1;  // input.txt
constexpr int32_t unit_log = 2;    // log.out
constexpr int32_t unit_map = 3;    // the map file
constexpr int32_t unit_phase = 4;  // phase.out
constexpr int32_t unit_json = 5;   // phase.json, with --json
constexpr int32_t unit_svg = 6;    // the map as SVG, with --svg

// ---------------------------------------------------------------------------------------
// Output items and statements

enum class item_kind : int32_t { integer, real, text };

// One item of a write statement. `width` is the run-time width of an "I^" descriptor.
struct record_item {
    item_kind kind;
    int32_t integer;
    float real;
    const char* text;
    int32_t length;
    int32_t width;
};

record_item item_int(int32_t value);
record_item item_int(int32_t value, int32_t runtime_width);  // for "I^"
record_item item_real(float value);
record_item item_text(const char* text, int32_t length);
record_item item_text(std::string_view text);
template <std::size_t N>
record_item item_text(const std::array<char, N>& text) {
    return item_text(text.data(), static_cast<int32_t>(N));
}

// One list-directed write statement: leading blank, integers in 11 columns (12 after a
// number), reals in 15 (16 after a number), texts unseparated, split at 79 columns.
void write_list(int32_t unit, std::initializer_list<record_item> items);

// write_list for PostScript records: a record is never cut inside a string "(...)" or an
// operator word; such a cut moves back to the last safe place within the text item, or
// else on to the next safe place, and the record may then run past 79 columns.
void write_list_postscript(int32_t unit, std::initializer_list<record_item> items);

// One formatted write statement with a format text such as "(1x,2f7.2,a4,i4,a4)"
// (descriptors A, Aw, Iw, I^, Fw.d, nX with repeat counts; overflow gives asterisks).
void write_formatted(int32_t unit, std::string_view format,
                     std::initializer_list<record_item> items);

// One edit descriptor given directly, for a formatted record whose field widths are worked
// out at run time: {edit_blanks(1), edit_real(7, 2), edit_text(4), edit_int(4)} writes what
// the format text "(1x,f7.2,a4,i4)" writes.
enum class edit_kind : int32_t { text, integer, real, blanks };

struct edit_descriptor {
    edit_kind kind;
    int32_t repeat;
    int32_t width;  // 0 for a plain "A"; the blank count of nX
    bool has_runtime_width;
    int32_t decimals;
};

edit_descriptor edit_blanks(int32_t count);                  // nX
edit_descriptor edit_text(int32_t width);                    // Aw; 0 for A, the whole text
edit_descriptor edit_int(int32_t width);                     // Iw
edit_descriptor edit_real(int32_t width, int32_t decimals);  // Fw.d

void write_formatted(int32_t unit, std::initializer_list<edit_descriptor> descriptors,
                     std::initializer_list<record_item> items);

// A formatted write into a 40-character buffer (internal write): the buffer is the one
// record, blank after the last character written.
void write_internal(text40& buffer, std::string_view format,
                    std::initializer_list<record_item> items);

// Writes one record exactly as given (no leading blank, no splitting), then CR LF.
void write_raw_record(int32_t unit, std::string_view text);

// Writes a text of lines as records, one a line, each with write_raw_record: a line ends at
// "\n" or at the text's end, and the "\n" that ends the text starts no record of its own
// ("a\nb\n" and "a\nb" give the records "a" and "b"; "" gives none).
void write_text_records(int32_t unit, std::string_view text);

// The bytes write_text_records writes for `text`: its lines, each ended by CR LF.
std::string text_as_records(std::string_view text);

// Text of a real in list-directed form: "1.000000", "5.000000E-01", "-3.000000".
// Writes into `out` (at least 32 chars) and returns the length; or gives it as a string.
int32_t format_real_list(float value, char* out);
std::string real_list_text(float value);

// Text of a real with the Fw.d descriptor, right-justified in w columns, or w asterisks.
// Writes exactly w characters into `out` and returns w.
int32_t format_real_fixed(float value, int32_t w, int32_t d, char* out);

// The shortest decimal text that reads back to the same value, for the outputs that hold
// numbers as data (phase.json, the SVG map): 0.5f -> "0.5", 300.0f -> "300", 1e-7f -> "1e-07".
std::string shortest_real_text(float value);
std::string shortest_real_text(double value);

// ---------------------------------------------------------------------------------------
// Output files

// The run's folder: every file name of the record layer (input.txt, the outputs, the map
// name's folders) is taken relative to this open descriptor (O_PATH will do), never to the
// process's working folder, which no run reads or changes. AT_FDCWD, the default, stands for
// the working folder.
void set_run_folder(int folder);
int run_folder();
// Whether a run's folder is set: a whole run, or a reading in a folder that writes nothing,
// has one; a computation of the run state from a text has none, and looks at no folder.
bool has_run_folder();

// An output unit writes a temporary beside its file (".log.out.partial-<pid>"), in the
// file's folder opened beneath the run's folder, and replaces the file only when the run
// commits its outputs, all together, so a failed run leaves every earlier output as it was.

// Opens an output unit on a fresh temporary beside `file_name`; a failure stops the run.
void open_output_unit(int32_t unit, const char* file_name);
bool is_unit_open(int32_t unit);
// Whether what is written to the unit can reach its file: false while the unit is open but
// discards (set_output_discard) or has failed, so that a caller may skip building a trace
// nobody keeps; true for a unit that is not open, whose writes stop the run as always.
bool is_unit_kept(int32_t unit);
// The name the unit's file was last opened under ("log.out", "map1.ps"), kept after it is
// closed; "unit N" for a unit never opened. unit_name_chars gives it without allocating (for
// signal handlers), or null.
std::string unit_file_name(int32_t unit);
const char* unit_name_chars(int32_t unit);
// Whether the last part of `name` has the form of the hidden files a run keeps beside its
// outputs while it writes and commits them (".log.out.partial-4711", ".map1.ps.previous-9"),
// whatever the process number: an output of such a name could overwrite one of them.
bool is_hidden_run_file_name(std::string_view name);
// Whether the folder part of the relative `file_name` ("maps" of "maps/oxide.ps") lies
// outside the run's folder, for example through a symbolic link; such a file is never
// opened.
bool is_folder_outside(std::string_view file_name);
// Writes every completed record still buffered to the unit's temporary.
void flush_output_units();
// Commits a set of open units as one: every file is written out and closed, then each is
// moved onto its name in the order given (a symbolic link there is replaced, not followed).
// When one cannot be moved, those moved before it are put back, the units stay open and the
// run stops; the caller then discards them, or commits the log alone. An earlier file that
// cannot be put back is kept under a hidden name that the message gives, never removed.
void commit_output_units(std::span<const int32_t> units);
inline void commit_output_units(std::initializer_list<int32_t> units) {
    commit_output_units(std::span<const int32_t>(units.begin(), units.size()));
}
// While on, output units open on /dev/null: no file is created, no folder is opened or
// looked at (a name is checked only as far as it can be without one) and nothing that is
// written is kept (a run computed for its state, which has no folder).
void set_output_discard(bool discard);
bool are_outputs_discarded();
// Closes a unit without a trace: its temporary is removed, its file stays as it was.
void discard_output_unit(int32_t unit);
// For signal handlers, with async-signal-safe calls only: commit one unit with its finished
// records and `last_record` after them (no record being built), or remove every temporary
// still on disk.
void commit_unit_in_signal(int32_t unit, const char* last_record, std::size_t length);
void remove_temporaries_in_signal();
// Closes every unit, input included, discarding those not committed (end of a run).
void close_all_units();
// In a child forked while a run of the parent had units open: closes the child's copies of
// their descriptors and forgets them, leaving their temporaries and second names on disk,
// which are the parent's; the child may then run afresh.
void forget_units_after_fork();

// ---------------------------------------------------------------------------------------
// Input (unit 1, input.txt)

// One item of a read statement: where the value goes and what it is called in messages.
struct input_item {
    item_kind kind;
    void* target;  // int32_t*, float* or char* (text of `length` characters)
    int32_t length;
    const char* name;
};

input_item in_int(int32_t& target, const char* name);
input_item in_real(float& target, const char* name);
input_item in_text(char* target, int32_t length, const char* name);
template <std::size_t N>
input_item in_text(std::array<char, N>& target, const char* name) {
    return in_text(target.data(), static_cast<int32_t>(N), name);
}

// Opens input.txt (in the run's folder) as unit 1; a missing or unreadable file stops the run.
// While an input text is set, unit 1 reads that text instead, under the same name and with the same
// checks.
void open_input_unit(const char* file_name);
void set_input_text(const std::string* text);  // nullptr: read the file again
// Forgets unit 1 and its contents; the next open starts afresh (used by close_all_units).
void close_input_unit();

// What a read statement dropped that the free-format rules drop silently, for the warnings
// about misread input: the values left unread of the record it ended in, after its last item
// (each copy of a repeat count one value), and a text cut to the length of its item.
struct read_report {
    int32_t line;                    // the record the statement ended in
    int32_t values_read;             // values the statement took from that record
    int64_t values_unread;           // values after them, up to the record's end or a slash
                                     // (repeat counts of 2147483647 add up past 32 bits)
    std::string_view first_unread;   // the first of them as written
    std::string_view decimal_comma;  // "19,24": the first comma between digits in the record
    bool follows_comma;              // a comma separates the values read from the rest
    bool last_is_unquoted_text;      // the last value read was a text without quotes
    bool text_ends_at_slash;         // ... and a slash right after it ended it (first_unread
                                     // is then the rest of the record from the slash)
    // The first text longer than its item: what the item kept (all of it), the line the
    // text stands on, the name of the item and its length; cut_text is empty when no text
    // was cut.
    std::string_view cut_text;
    int32_t cut_line;
    const char* cut_item;
    int32_t cut_length;
};

// One free-format read statement, starting at the next record. `entry` names what is read
// for error messages ("surface 2", "bound entry"). A statement that a slash ended leaves
// nothing unread.
read_report read_list(std::string_view entry, std::initializer_list<input_item> items);

// "(a8)": the first 8 characters of the next record, then 12 blanks. `entry` says what
// was expected there, for the end-of-file message.
void read_keyword_a8(text20& keyword, std::string_view entry);

// "(a6,i20)": the first 6 characters of the next record and the integer of columns 7-26.
void read_keyword_a6_i20(text20& keyword, int32_t& count, std::string_view entry);

// A text quoted in a message (a value found, a name): between apostrophes, cut after 40
// characters and marked "...", and with every byte that is not printable ASCII shown as
// \xNN, so that the message stays one printable line. "1.5x" -> "'1.5x'", "a<TAB>b" ->
// "'a\x09b'".
std::string quoted_for_message(std::string_view text);

// Moves back so that the next read starts again at the record the last read began with.
void backspace_input();

// Line number (1-based) of the record the last read statement began with; 0 before any.
int32_t input_line_number();

// Stops the run (as stop_run) naming the record the last read statement began with.
[[noreturn]] void stop_run_on_input(std::string_view what);

// The whole record the last read statement began with, without its line end.
std::string_view input_record_text();

// Whether `record` alone, read in free format as a read statement would read it (repeat
// counts, nulls and slashes included), gives every item of these kinds a value that converts.
// Stores nothing and stops nothing: "1 2 3.5" and "2*1 3.5" read as integer, integer, real;
// "a b" and "1,,3.5" do not.
bool record_reads_as(std::string_view record, std::span<const item_kind> kinds);

// The first value of `record` as a read statement would cut it (after blanks and tabs, up to
// the next separator; a quoted value to its closing quote), and in `start` where it begins.
std::string_view first_value_of(std::string_view record, std::size_t& start);
