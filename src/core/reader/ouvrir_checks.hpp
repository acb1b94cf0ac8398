// Checks the input reader makes once "stop" has been read, before the map file is opened and
// before the echo. They only look: nothing of the run state is changed, and a check that
// fails stops the run with a clear message.
#pragma once

#include <cstdint>

#include "core/reader/keywords.hpp"

// The names of the map and of the files named after it (core/outputs.hpp), which must have
// been named: usable (not blank, no control character, not the form of the run's hidden
// files), inside the run's folder, and none of the run's own files however spelt or linked
// (ouvrir_name_checks.cpp).
void check_output_names(const entry_lines& lines);

// A window that can be drawn, and tick counts that keep the map small and every tick index
// and exponent inside a 32-bit integer (ouvrir_checks.cpp).
void check_input_before_drawing(const entry_lines& lines);
