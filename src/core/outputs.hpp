// The run's outputs: one table of every file a run may write, in the order a complete run
// commits them, log.out last. Its static part (output_kinds) says what each is and who writes
// it; the run's part (run.outputs, core/modules.hpp) its name, unit and whether this run
// writes it. The driver opens, writes and commits the files asked for by walking it and, after
// a failure, keeps the log alone; the reader names the map and the files named after it and
// checks those names against the run's own files; the command line and the Python module ask
// for the optional files by the names of their choices (phasemap.hpp). A new output is a row
// here, a unit number (records/records.hpp) and its writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "phasemap.hpp"

// The rows of the table, in order.
enum class output_id : int32_t { map, json, svg_map, phase, log };

struct output_kind {
    int32_t unit;           // the unit it is written on
    const char* file_name;  // its own name in the run's folder; null for the map, whose name the
                            // input gives, and for the files named after the map
    const char* ending;     // named after the map: the ending that takes the place of the map's
    const char* choice;     // the name of the choice that asks for it; null: every run writes it
    const char* title;      // as messages name it: "the SVG map", "phase.json"
    bool holds_utf8_text;   // shows texts as UTF-8, with U+FFFD for what it cannot hold
    bool is_log;            // the one a failed run keeps, with the error as its last record
    // Writes it once the page is laid out, after the map; null for those a phase of their own
    // writes (the map, opened by the reader, phase.out, log.out).
    void (*write)();
};

extern const output_kind output_kinds[max_outputs];

// Sets up the run's table for a run asked for `choices`: every output's unit and fixed name,
// and whether it is written. The map and the files named after it have no name yet.
void set_up_outputs(const output_choices& choices);

// Sets up the run's table for outputs a host made itself (write_host_outputs_in): only those
// `choices` asks for are written, not even log.out.
void set_up_host_outputs(const output_choices& choices);

// Names the map as the input gives it ("maps/oxide.ps") and the files named after it, which
// take its ending's place with theirs ("maps/oxide.svg"; a name without an ending in its last
// part gets theirs added).
void name_outputs_after_map(std::string_view map_name);

bool is_output_asked(output_id id);

// The file name of row `row`, without its trailing blanks.
std::string output_name(int32_t row);

// Opens the unit of an output on a temporary beside its file (open_output_unit).
void open_output(output_id id);

// Writes every output asked for that has a writer, in table order, each opened first and
// followed by the check for a floating-point fault (in a host).
void write_asked_outputs();

// Opens the unit of every output a host made and writes its text, one record a line.
void write_host_outputs(std::span<const host_output> outputs);

// Commits every output asked for as one set, in table order (log.out last).
void commit_asked_outputs();

// After a failed run that stopped with `message`: every output but the log is discarded, its
// earlier file left as it was, and the log, when it is open, gets the message as its last
// record and is committed alone. When that fails too, the earlier log stays, and standard
// error is told why.
void keep_log_alone(const std::string& message);

// The titles of the outputs asked for that hold texts as UTF-8, "phase.json and the SVG map"
// ("" for none), for the reader's warnings about characters they replace.
std::string utf8_output_titles();
