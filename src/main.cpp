// phasemap: reads input.txt in the working directory and writes log.out, phase.out and the
// map. No arguments; exit status 0 after a complete run, 1 after a fatal input error.
#include "driver.hpp"

int main() { return run_phasemap(); }
