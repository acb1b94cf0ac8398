// Checks the input reader makes once "stop" has been read, before the map file is opened
// and before the echo: a usable map file name (not blank, no control character, inside the
// run's folder, and none of the run's own files however spelt or linked), a window that can
// be drawn, and tick counts that keep the map small and every tick index and exponent inside
// a 32-bit integer.
#pragma once

#include <cstdint>

#include "modules.hpp"

// Input lines of the entries the messages name (0 where the entry was not given).
struct entry_lines {
    int32_t labels[max_table_entries];  // where each label of the text entry begins
    int32_t x_axis_title;
    int32_t y_axis_title;
    int32_t bound;
    int32_t output;
    int32_t temp1;
    int32_t temp2;
    int32_t shift_x;
    int32_t shift_y;
    int32_t stop;
};

// Stops the run with a clear message when the input cannot be drawn.
void check_input_before_drawing(const entry_lines& lines);
