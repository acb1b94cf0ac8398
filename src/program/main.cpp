// phasemap: reads input.txt and writes log.out, phase.out and the map, in the current folder
// or in each folder named on the command line (see program/command_line.hpp).
#include "program/command_line.hpp"

int main(int argc, char** argv) { return run_command_line(argc, argv); }
