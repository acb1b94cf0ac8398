// Fatal errors: the one way a run stops before its end. The message names the file, its
// unit, the input line where one applies and what was wrong, on one printable line; it
// becomes the last record of log.out (every record completed before it is kept) and is
// thrown to the driver, which prints it on standard error, keeps log.out and ends with exit
// status 1. Floating-point division by zero, overflow and invalid operations are trapped
// while a run is active and end it the same way. Interruptions end a run too (below).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Thrown by stop_run; `message` is the one line already written to log.out.
struct run_stopped {
    std::string message;
};

// "phasemap: <file> (unit <unit>), line <line>: <what>"; ", line <line>" is left out when
// line is 0 or less; a control byte in it is shown as \xNN. Writes it to log.out when that
// is open, then throws run_stopped.
[[noreturn]] void stop_run(int32_t unit, int32_t line, std::string_view what);

// The same for the record of input.txt that the last read statement began with.
[[noreturn]] void stop_run_on_input(std::string_view what);

// Traps division by zero, overflow and invalid operations until end_fp_traps; a trapped
// fault writes its report like stop_run and ends the process with status 1.
void begin_fp_traps();
void end_fp_traps();

// While a run is guarded, SIGINT, SIGTERM and SIGHUP remove its temporaries (every earlier
// output stays as it was), print one line and end the process with status 128 + the signal
// number; a signal the process ignored stays ignored. SIGXFSZ is ignored, so a file-size
// limit ends the run as a failed write.
void begin_interruption_guards();
void end_interruption_guards();

// Holds interruptions back while a run moves its outputs into place (all three, or log.out
// alone after an error); one that arrives meanwhile takes effect at end_interruption_guards,
// as the process handled it before.
void hold_interruptions();

// Messages on standard error, one line each, written at once. When phasemap runs in several
// folders, each is prefixed with the folder of its run: "d2: phasemap: input.txt ...".
void set_message_folder(std::string_view folder);  // "" for no prefix
void print_message(std::string_view line);

// The text with every control byte shown as \xNN, so that it prints as one line.
std::string escape_control_bytes(std::string_view text);

// A likely slip in the input that still reads: "phasemap: warning: input.txt, line 7: ..." on
// standard error only, at most 20 in a run, then one line saying the rest are not shown.
// Nothing a warning says changes an output byte or the exit status.
void warn_about_input(int32_t line, std::string_view what);
void reset_warning_count();

// Suspends the traps for the lifetime of the object, for code that probes values which may
// overflow on purpose (number conversion, range checks).
struct fp_trap_pause {
    int32_t saved;
    fp_trap_pause();
    ~fp_trap_pause();
    fp_trap_pause(const fp_trap_pause&) = delete;
    fp_trap_pause& operator=(const fp_trap_pause&) = delete;
};
