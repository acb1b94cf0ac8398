// The guards the process keeps around one run. Floating-point division by zero, overflow and
// invalid operations are trapped: a fault writes its report to standard error and as the
// last record of log.out, which is kept, and ends the process with status 1. SIGINT, SIGTERM
// and SIGHUP remove the run's temporaries (every earlier output stays as it was), print one
// line and end the process with status 128 + the signal number; a signal the process ignored
// stays ignored. SIGXFSZ is ignored, so that a file-size limit ends the run as a failed
// write, and SIGPIPE, so that a closed standard error never ends it. Everything is put back
// as it was when the guards end.
//
// A host process that calls runs as a library (the Python module; run_inside_host,
// phasemap.hpp) keeps all of its own: the
// guards then change nothing that another thread of the host could see. No signal handler
// is installed and no signal's handling is changed (an interruption takes effect as the host
// decides, after the run has ended and its temporaries are gone; the host is expected to
// ignore SIGPIPE and SIGXFSZ, as Python does). Nothing is trapped: the run computes with the
// floating-point exceptions masked on its own thread, and at the end of each phase
// stop_on_floating_point_fault stops it with the report a trapped fault gives, which then
// ends the run like any fatal error.
#pragma once

// Traps the faults, or in a host masks them and clears the thread's exception flags; the
// thread's flags and traps are put back as they were when the guards end.
void begin_fp_traps();
void end_fp_traps();

// In a host, between begin_fp_traps and end_fp_traps: when the exception flag of a division
// by zero, an overflow or an invalid operation is raised, stops the run with the report a
// trapped fault gives, "phasemap: input.txt (unit 1): floating-point division by zero in the
// computation of this input" (a run_stopped with is_fault set); several raised flags are
// named by the first of these, the likely cause of the others. Does nothing otherwise.
void stop_on_floating_point_fault();

void begin_interruption_guards();
void end_interruption_guards();

// In a child forked while a run of the parent had its guards up: puts back the handlers the
// process had before the run, leaving the child's own signal mask and floating-point
// environment (those of the thread that forked) as they are.
void forget_guards_after_fork();

// Holds interruptions back on the run's thread while a run moves its outputs into place (all
// of them, or log.out alone after an error); one that arrives meanwhile takes effect at
// end_interruption_guards, as the process handled it before.
void hold_interruptions();
