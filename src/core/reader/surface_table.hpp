// The surfaces the reader reads and where it keeps them: the run state's table of 16, which is
// all the program has, and for a host that reads inputs of any number of surfaces for an engine
// of its own (read_every_surface, phasemap.hpp) also a sink, which gets every surface of the
// input as it is read. The reader's entry for surf, its checks and its warnings after "stop"
// take the surfaces from here alone, so they read, check and warn the same either way.
#pragma once

#include <cstdint>
#include <vector>

#include "phasemap.hpp"

// From now on every surface read goes to `sink` too, and a surf entry may declare any number
// of surfaces; nullptr, the program's way, the table alone.
void set_surface_sink(std::vector<surface_read>* sink);
bool has_surface_sink();

// The surfaces of the input as read so far: how many the last surf entry declared (0 before
// any), and each of them.
int32_t surfaces_read();
surface_read surface_read_at(int32_t index);

// A surf entry of `count` surfaces begins: the table counts as many as it holds.
void begin_surface_entry(int32_t count);

// Where surface `index` of the entry is read: row `index` of the table, or beyond it the
// sink's record of that index (blank the first time), so that a value left out keeps what the
// surface held before, as in the table.
surface_record& surface_to_read(int32_t index);

// Surface `index` once read and its plane derived: its line and plane go to the table where it
// has the row, and the whole surface to the sink when one is set.
void keep_surface(int32_t index, int32_t line, const surface_plane& plane);

// The end of a surf entry of `count` surfaces: the sink holds these alone.
void end_surface_entry(int32_t count);
