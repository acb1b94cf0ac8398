// The command line: phasemap [-h | --help | --version] [--json] [--svg] [--strict] [--]
// [FOLDER...]. Without a folder, one run in the current folder; with folders, one run in each
// in turn, exactly as if phasemap had been started there, each with a fresh run state, and a
// summary line after them. Every argument is checked before anything runs, and a usage error
// touches no file. --json and --svg ask for the optional outputs of those choices (the run's
// table of outputs, phasemap.hpp); --strict makes the first warning of each run its fatal
// error.
#pragma once

// Returns the exit status: 0 when every run is complete, 1 when any failed, 2 for a usage
// error; --help and --version print to standard output and return 0 (1 when standard output
// cannot be written).
int run_command_line(int argc, char** argv);
