#include "core/run_guards.hpp"

#include <fenv.h>
#include <unistd.h>
#include <csignal>
#include <cstring>

#include "core/numbers.hpp"
#include "phasemap.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

bool traps_active = false;
char fault_report[512];  // a handler may not allocate
struct sigaction previous_fpe_action;
// A hosted run: what its thread's floating-point environment was before the run, and
// whether the run is watching the exception flags.
bool runs_inside_host = false;
bool flags_watched = false;
fexcept_t flags_before;
int traps_before = 0;

// The signals that interrupt a run, with the handling the process had before it.
constexpr int interruptions[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int interruption_count = 3;
struct sigaction previous_interruption_actions[interruption_count];
// Signals that would end the process where a failed write should end the run instead.
constexpr int quiet_signals[] = {SIGXFSZ, SIGPIPE};
constexpr int quiet_signal_count = 2;
struct sigaction previous_quiet_actions[quiet_signal_count];
bool interruption_guards_active = false;
bool interruption_handlers_set = false;  // outside a host: the handlers above were changed
bool interruptions_held = false;
sigset_t mask_before_hold;

const char* fault_name(int code) {
    switch (code) {
        case FPE_FLTDIV: return "division by zero";
        case FPE_FLTOVF: return "overflow";
        case FPE_FLTINV: return "invalid operation";
        default: return "arithmetic fault";
    }
}

// Appends `text` to the fixed buffer `line` of `capacity` bytes, as much as fits.
void append_text(char* line, std::size_t& length, std::size_t capacity, const char* text) {
    for (; *text != '\0' && length < capacity; ++text) line[length++] = *text;
}

// The report of a fault named `fault` in the fixed buffer fault_report, without its line end
// (room for one is left); its length. A handler may call it: it does not allocate.
std::size_t compose_fault_report(const char* fault) {
    char* report = fault_report;
    std::size_t length = 0;
    constexpr std::size_t capacity = sizeof fault_report - 2;
    const char* input_name = unit_name_chars(unit_input);
    append_text(report, length, capacity, "phasemap: ");
    append_text(report, length, capacity, input_name != nullptr ? input_name : "unit 1");
    append_text(report, length, capacity, " (unit 1): floating-point ");
    append_text(report, length, capacity, fault);
    append_text(report, length, capacity, " in the computation of this input");
    return length;
}

// Whether the process had its own SIGFPE handler before the run (a fuzzer or a debugger
// harness), which then gets the fault after the report, to record the input that caused it.
bool has_host_handler() {
    if ((previous_fpe_action.sa_flags & SA_SIGINFO) != 0)
        return previous_fpe_action.sa_sigaction != nullptr;
    return previous_fpe_action.sa_handler != SIG_DFL && previous_fpe_action.sa_handler != SIG_IGN;
}

// A trapped floating-point fault cannot unwind through the computation that raised it: the
// report is composed in a fixed buffer (a handler may not allocate), goes to log.out, which
// is kept, and to standard error, the other temporaries are removed and the process ends.
void on_floating_point_fault(int, siginfo_t* info, void*) {
    char* report = fault_report;
    const std::size_t length = compose_fault_report(fault_name(info->si_code));
    commit_unit_in_signal(unit_log, report, length);
    remove_temporaries_in_signal();
    report[length] = '\n';
    print_message_in_signal(report, length + 1);
    report[length] = '\0';
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

// The handling of the interruptions and the quiet signals as it was before the guards.
void put_back_signal_handlers() {
    if (!interruption_handlers_set) return;
    for (int i = 0; i < interruption_count; ++i)
        sigaction(interruptions[i], &previous_interruption_actions[i], nullptr);
    for (int i = 0; i < quiet_signal_count; ++i)
        sigaction(quiet_signals[i], &previous_quiet_actions[i], nullptr);
    interruption_handlers_set = false;
}

sigset_t interruption_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : interruptions) sigaddset(&set, signal);
    return set;
}

}  // namespace

void run_inside_host(bool host) { runs_inside_host = host; }

void begin_fp_traps() {
    if (runs_inside_host) {
        fegetexceptflag(&flags_before, FE_ALL_EXCEPT);
        traps_before = fedisableexcept(FE_ALL_EXCEPT);
        feclearexcept(FE_ALL_EXCEPT);
        flags_watched = true;
        return;
    }
    struct sigaction action {};
    action.sa_sigaction = on_floating_point_fault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, &previous_fpe_action);
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(trapped_fp_faults);
    traps_active = true;
}

void end_fp_traps() {
    if (flags_watched) {
        fesetexceptflag(&flags_before, FE_ALL_EXCEPT);
        if (traps_before > 0) feenableexcept(traps_before);
        flags_watched = false;
    }
    if (!traps_active) return;
    fedisableexcept(trapped_fp_faults);
    feclearexcept(FE_ALL_EXCEPT);
    sigaction(SIGFPE, &previous_fpe_action, nullptr);
    traps_active = false;
}

void stop_on_floating_point_fault() {
    if (!flags_watched) return;
    const int raised = fetestexcept(trapped_fp_faults);
    if (raised == 0) return;
    // A division by zero or an overflow gives infinities, from which invalid operations
    // may follow: the flag of the cause is named.
    const int code = (raised & FE_DIVBYZERO) != 0  ? FPE_FLTDIV
                     : (raised & FE_OVERFLOW) != 0 ? FPE_FLTOVF
                                                   : FPE_FLTINV;
    const std::size_t length = compose_fault_report(fault_name(code));
    run_stopped stop{std::string(fault_report, length), unit_input, 0};
    stop.is_fault = true;
    throw stop;
}

void begin_interruption_guards() {
    interruption_guards_active = true;
    if (runs_inside_host) return;
    interruption_handlers_set = true;
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
    for (int i = 0; i < quiet_signal_count; ++i)
        sigaction(quiet_signals[i], &ignore, &previous_quiet_actions[i]);
}

void hold_interruptions() {
    if (interruptions_held) return;
    const sigset_t set = interruption_set();
    pthread_sigmask(SIG_BLOCK, &set, &mask_before_hold);
    interruptions_held = true;
}

void end_interruption_guards() {
    if (!interruption_guards_active) return;
    put_back_signal_handlers();
    if (interruptions_held) {
        pthread_sigmask(SIG_SETMASK, &mask_before_hold, nullptr);
        interruptions_held = false;
    }
    interruption_guards_active = false;
}

void forget_guards_after_fork() {
    if (traps_active) sigaction(SIGFPE, &previous_fpe_action, nullptr);
    traps_active = false;
    flags_watched = false;
    put_back_signal_handlers();
    interruption_guards_active = false;
    interruptions_held = false;
}
