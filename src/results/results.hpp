// The stable regions as data, for scripts: phase.json, written from the run state once the
// regions are reported and ordered. It holds the window and axis titles as the input gave
// them, every surface with its counts, area, energy and energy plane, and every region that
// phase.out reports with its corners in the order the map draws them, its centroid and its
// area. Numbers are the shortest decimals that read back to the values the run holds; texts
// are JSON strings in UTF-8 as the SVG map shows them too (text_for_utf8_output). The face,
// phasemap.hpp, also gives the document of a solved run state (phase_json_of) and the measures
// of a region it holds.
#pragma once

// Writes the phase.json document of the run state to phase.json (unit_json), which must be
// open, one record a line. (The reader warns about names that phase.json cannot show as they
// are.)
void write_phase_json();
