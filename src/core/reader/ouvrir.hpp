// Input reader: opens the run's files, reads the keyword file input.txt into the run state,
// derives the energy plane of every surface as it is read, names the map and the files named
// after it in the run's table of outputs after "stop", appends the four window-edge planes,
// opens the map file and echoes what it read to log.out.
// Reads unit 1; writes only to log.out (unit 2); opens units 1, 2, 4 and then 3. The table of
// outputs must be set up (set_up_outputs) before it starts.
#pragma once

// The input's name in the run's folder.
constexpr char input_file_name[] = "input.txt";

void read_input();

// Appends the four window-edge planes x = x_min, x = x_max, y = y_min, y = y_max after the
// surfaces of the run state (what read_input does at "stop").
void append_window_edges();
