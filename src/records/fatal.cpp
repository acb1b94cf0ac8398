#include "records/fatal.hpp"

#include <unistd.h>
#include <algorithm>
#include <cfenv>
#include <csignal>
#include <cstring>

#include "records/internals.hpp"

namespace {

constexpr int trapped_faults = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

bool traps_active = false;
struct sigaction previous_fpe_action;

// The signals that interrupt a run, with the handling the process had before it.
constexpr int interruptions[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int interruption_count = 3;
struct sigaction previous_interruption_actions[interruption_count];
struct sigaction previous_file_size_action;
bool interruption_guards_active = false;
bool interruptions_held = false;

constexpr int32_t max_warnings = 20;  // warnings shown in one run
int32_t warning_count = 0;

// The prefix of every message line, "d2: " or empty; a plain array, since the signal
// handlers write it too.
constexpr std::size_t max_prefix = 4096;
char message_prefix[max_prefix + 3];
std::size_t message_prefix_length = 0;

std::string compose_message(int32_t unit, int32_t line, std::string_view what) {
    std::string message =
        "phasemap: " + unit_file_name(unit) + " (unit " + std::to_string(unit) + ")";
    if (line > 0) message += ", line " + std::to_string(line);
    message += ": ";
    message += what;
    return message;
}

// The report becomes the last record of log.out, which the run then keeps.
void report_in_log(const std::string& message) {
    if (is_unit_open(unit_log)) write_raw_record(unit_log, message);
}

void write_to_standard_error(const char* text, std::size_t length) {
    ssize_t ignored = ::write(2, text, length);
    (void)ignored;
}

// Only async-signal-safe calls.
void print_message_in_signal(const char* line, std::size_t length) {
    write_to_standard_error(message_prefix, message_prefix_length);
    write_to_standard_error(line, length);
}

const char* fault_name(int code) {
    switch (code) {
        case FPE_FLTDIV: return "division by zero";
        case FPE_FLTOVF: return "overflow";
        case FPE_FLTINV: return "invalid operation";
        default: return "arithmetic fault";
    }
}

// Whether the process had its own SIGFPE handler before the run (a fuzzer or a debugger
// harness), which then gets the fault after the report, to record the input that caused it.
bool has_host_handler() {
    if ((previous_fpe_action.sa_flags & SA_SIGINFO) != 0)
        return previous_fpe_action.sa_sigaction != nullptr;
    return previous_fpe_action.sa_handler != SIG_DFL && previous_fpe_action.sa_handler != SIG_IGN;
}

// A trapped floating-point fault cannot unwind through the computation that raised it: the
// report goes to log.out, which is kept, and to standard error from here, the other
// temporaries are removed and the process ends at once.
void on_floating_point_fault(int, siginfo_t* info, void*) {
    std::string message =
        compose_message(unit_input, 0,
                        std::string("floating-point ") + fault_name(info->si_code) +
                            " in the computation of this input");
    report_in_log(message);
    commit_unit_in_signal(unit_log);
    remove_temporaries_in_signal();
    message += '\n';
    print_message_in_signal(message.data(), message.size());
    if (has_host_handler()) {
        // SIGFPE stays blocked while its handler runs: unblock it, or the raised signal would
        // wait for a return that never comes.
        sigaction(SIGFPE, &previous_fpe_action, nullptr);
        sigset_t fpe;
        sigemptyset(&fpe);
        sigaddset(&fpe, SIGFPE);
        sigprocmask(SIG_UNBLOCK, &fpe, nullptr);
        raise(SIGFPE);
    }
    _exit(1);
}

// Only async-signal-safe calls: the temporaries go, one line is written, the process ends.
void on_interruption(int signal) {
    remove_temporaries_in_signal();
    const char* line =
        signal == SIGINT    ? "phasemap: interrupted by SIGINT; earlier outputs are unchanged\n"
        : signal == SIGTERM ? "phasemap: interrupted by SIGTERM; earlier outputs are unchanged\n"
                            : "phasemap: interrupted by SIGHUP; earlier outputs are unchanged\n";
    print_message_in_signal(line, std::strlen(line));
    _exit(128 + signal);
}

sigset_t interruption_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : interruptions) sigaddset(&set, signal);
    return set;
}

}  // namespace

void stop_run(int32_t unit, int32_t line, std::string_view what) {
    const std::string message = escape_control_bytes(compose_message(unit, line, what));
    report_in_log(message);
    throw run_stopped{message};
}

void stop_run_on_input(std::string_view what) { stop_run(unit_input, input_line_number(), what); }

std::string escape_control_bytes(std::string_view message) {
    std::string shown;
    shown.reserve(message.size());
    for (char c : message) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
            continue;
        }
        append_hex_escape(shown, byte);
    }
    return shown;
}

void set_message_folder(std::string_view folder) {
    message_prefix_length = 0;
    if (folder.empty()) return;
    const std::size_t length = std::min(folder.size(), max_prefix);
    std::memcpy(message_prefix, folder.data(), length);
    std::memcpy(message_prefix + length, ": ", 2);
    message_prefix_length = length + 2;
}

void print_message(std::string_view line) {
    std::string text(message_prefix, message_prefix_length);
    text += line;
    text += '\n';
    write_to_standard_error(text.data(), text.size());
}

void warn_about_input(int32_t line, std::string_view what) {
    ++warning_count;
    const std::string where = "phasemap: warning: " + unit_file_name(unit_input);
    if (warning_count == max_warnings + 1)
        print_message(where + ": more than " + std::to_string(max_warnings) +
                      " warnings; the rest are not shown");
    if (warning_count > max_warnings) return;
    print_message(
        escape_control_bytes(where + ", line " + std::to_string(line) + ": " + std::string(what)));
}

void reset_warning_count() { warning_count = 0; }

void begin_fp_traps() {
    struct sigaction action {};
    action.sa_sigaction = on_floating_point_fault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, &previous_fpe_action);
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(trapped_faults);
    traps_active = true;
}

void end_fp_traps() {
    if (!traps_active) return;
    fedisableexcept(trapped_faults);
    std::feclearexcept(FE_ALL_EXCEPT);
    sigaction(SIGFPE, &previous_fpe_action, nullptr);
    traps_active = false;
}

fp_trap_pause::fp_trap_pause() : saved(fedisableexcept(trapped_faults)) {}

fp_trap_pause::~fp_trap_pause() {
    std::feclearexcept(FE_ALL_EXCEPT);
    if (saved > 0) feenableexcept(saved & trapped_faults);
}

void begin_interruption_guards() {
    struct sigaction action {};
    action.sa_handler = on_interruption;
    action.sa_mask = interruption_set();
    for (int i = 0; i < interruption_count; ++i) {
        sigaction(interruptions[i], nullptr, &previous_interruption_actions[i]);
        // A signal the process was told to ignore (nohup, a background job) stays ignored.
        if (previous_interruption_actions[i].sa_handler != SIG_IGN)
            sigaction(interruptions[i], &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previous_file_size_action);
    interruption_guards_active = true;
}

void hold_interruptions() {
    const sigset_t set = interruption_set();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    interruptions_held = true;
}

void end_interruption_guards() {
    if (!interruption_guards_active) return;
    for (int i = 0; i < interruption_count; ++i)
        sigaction(interruptions[i], &previous_interruption_actions[i], nullptr);
    sigaction(SIGXFSZ, &previous_file_size_action, nullptr);
    if (interruptions_held) {
        const sigset_t set = interruption_set();
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
        interruptions_held = false;
    }
    interruption_guards_active = false;
}
