#include "fatal.hpp"

#include <cfenv>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "records.hpp"

namespace {

constexpr int trapped_faults = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

bool traps_active = false;
struct sigaction previous_fpe_action;

std::string compose_message(int32_t unit, int32_t line, std::string_view what) {
    std::string message = "phasemap: " + unit_file_name(unit) + " (unit " + std::to_string(unit) + ")";
    if (line > 0) message += ", line " + std::to_string(line);
    message += ": ";
    message += what;
    return message;
}

// Keeps the report on one line whatever the text it quotes.
void flatten_to_one_line(std::string& message) {
    for (char& c : message)
        if (c == '\r' || c == '\n') c = ' ';
}

void report_in_log(const std::string& message) {
    if (!is_unit_open(unit_log)) return;
    write_raw_record(unit_log, message);
    flush_output_units();
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
    if ((previous_fpe_action.sa_flags & SA_SIGINFO) != 0) return previous_fpe_action.sa_sigaction != nullptr;
    return previous_fpe_action.sa_handler != SIG_DFL && previous_fpe_action.sa_handler != SIG_IGN;
}

// A trapped floating-point fault cannot unwind through the computation that raised it: the
// report goes to log.out and standard error from here and the process ends at once.
void on_floating_point_fault(int, siginfo_t* info, void*) {
    std::string message = compose_message(unit_input, 0, std::string("floating-point ") +
                                                             fault_name(info->si_code) +
                                                             " in the computation of this input");
    report_in_log(message);
    message += '\n';
    ssize_t ignored = ::write(2, message.data(), message.size());
    (void)ignored;
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

}  // namespace

void stop_run(int32_t unit, int32_t line, std::string_view what) {
    std::string message = compose_message(unit, line, what);
    flatten_to_one_line(message);
    report_in_log(message);
    throw run_stopped{message};
}

void stop_run_on_input(std::string_view what) {
    stop_run(unit_input, input_line_number(), what);
}

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
