// Checks the input reader makes once "stop" has been read and the map and the files named
// after it have their names (core/outputs.hpp), before the map file is opened and before the
// echo: usable names for them (not blank, no control character, inside the run's folder, and
// none of the run's own files however spelt or linked), a window that can be drawn, and tick
// counts that keep the map small and every tick index and exponent inside a 32-bit integer.
// They only look: nothing of the run state is changed.
#pragma once

#include <cstdint>

#include "core/reader/keywords.hpp"

// Stops the run with a clear message when the input cannot be drawn.
void check_input_before_drawing(const entry_lines& lines);
