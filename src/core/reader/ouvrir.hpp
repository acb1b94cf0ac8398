// Input reader: opens the run's files, reads the keyword file input.txt into the run state,
// derives the energy plane of every surface as it is read, appends the four window-edge
// planes after "stop", opens the map file and echoes what it read to log.out.
// Reads unit 1; writes only to log.out (unit 2); opens units 1, 2, 4 and then 3.
#pragma once

// The input's name in the run's folder.
constexpr char input_file_name[] = "input.txt";

void read_input();

// Appends the four window-edge planes x = x_min, x = x_max, y = y_min, y = y_max after the
// surfaces of the run state (what read_input does at "stop").
void append_window_edges();
