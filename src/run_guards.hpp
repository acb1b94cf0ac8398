// The guards the process keeps around one run. Floating-point division by zero, overflow and
// invalid operations are trapped: a fault writes its report to standard error and as the
// last record of log.out, which is kept, and ends the process with status 1. SIGINT, SIGTERM
// and SIGHUP remove the run's temporaries (every earlier output stays as it was), print one
// line and end the process with status 128 + the signal number; a signal the process ignored
// stays ignored. SIGXFSZ is ignored, so that a file-size limit ends the run as a failed
// write, and SIGPIPE, so that a closed standard error never ends it. Everything is put back
// as it was when the guards end.
#pragma once

void begin_fp_traps();
void end_fp_traps();
// The report of the last trapped fault, for a SIGFPE handler of the process that the fault
// is passed on to; "" before any.
const char* last_fault_report();

// A host process that calls runs as a library (the Python module) keeps its own handling of
// SIGINT, SIGTERM and SIGHUP: an interruption then takes effect as the host decides, after
// the run has ended and its temporaries are gone; the quiet signals are still ignored.
void leave_interruptions_to_host(bool host);

void begin_interruption_guards();
void end_interruption_guards();

// In a child forked while a run of the parent had its guards up: puts back the handlers the
// process had before the run, leaving the child's own signal mask and floating-point
// environment (those of the thread that forked) as they are.
void forget_guards_after_fork();

// Holds interruptions back while a run moves its outputs into place (all of them, or log.out
// alone after an error); one that arrives meanwhile takes effect at end_interruption_guards,
// as the process handled it before.
void hold_interruptions();
