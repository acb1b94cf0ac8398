// Fatal errors, messages and warnings. A fatal error is the one way a run stops before its
// end: its message names the file, its unit, the input line where one applies and what was
// wrong, on one printable line, and is thrown to the driver, which prints it on standard
// error, adds it to log.out as the last record (every record completed before it is kept)
// and ends the run with exit status 1. Warnings tell likely slips in the input on standard
// error only, or to the sink of a host that shows them its own way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Thrown by stop_run; `message` is the whole line, `unit` and `line` what it names (0 when it
// names no unit or no input line). `is_fault` marks the report of a floating-point fault in
// the computation (stop_on_floating_point_fault) rather than something wrong with the input
// or the files.
struct run_stopped {
    std::string message;
    int32_t unit = 0;
    int32_t line = 0;
    bool is_fault = false;
};

// "phasemap: <file> (unit <unit>), line <line>: <what>"; ", line <line>" is left out when
// line is 0 or less; a control byte in it is shown as \xNN. Throws run_stopped.
[[noreturn]] void stop_run(int32_t unit, int32_t line, std::string_view what);

// Messages on standard error, one line each, written at once; a closed standard error is
// no failure (the message still goes to log.out where it belongs there). When phasemap runs
// in several folders, each is prefixed with the folder of its run: "d2: phasemap: ...".
void set_message_folder(std::string_view folder);  // "" for no prefix
void print_message(std::string_view line);
// For signal handlers, with async-signal-safe calls only: the prefix, then `line` as given
// (with its line feed). Nothing while a message sink is set.
void print_message_in_signal(const char* line, std::size_t length);

// A host that shows messages its own way (the Python module) sets a sink for the time of
// one call: every line print_message and warn_about_input would write on standard error is
// added to it instead, in order, without its line feed, and nothing reaches standard error.
struct message_line {
    bool is_warning;  // from warn_about_input (the line saying the rest are not shown too)
    std::string text;
};
void set_message_sink(std::vector<message_line>* sink);  // nullptr: standard error again

// The text with every control byte shown as \xNN, so that it prints as one line.
std::string escape_control_bytes(std::string_view text);

// Appends a byte as \xNN, the way messages show what they cannot print: 0x1B -> "\x1B".
void append_hex_escape(std::string& text, unsigned char byte);

// A likely slip in the input that still reads: "phasemap: warning: input.txt, line 7: ..." on
// standard error only, at most 20 in a run, then one line saying the rest are not shown.
// Nothing a warning says changes an output byte or the exit status.
void warn_about_input(int32_t line, std::string_view what);
void reset_warning_count();

// With strict warnings the first warning of a run stops it instead, as a fatal error whose
// message is the warning's without the word "warning": "phasemap: input.txt, line 7: ...".
void set_strict_warnings(bool strict);
