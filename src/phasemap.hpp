// phasemap's face: everything the program's command line (src/program/) and the Python
// extension (python/phasemap/_core.cpp) call of the computing core, and the one header of the
// core they include. A run is one of two kinds: a whole run in a folder, which reads input.txt
// (or a given text) and writes the outputs there as one set; or a computation of the run
// state alone, which reads a text and looks at no folder. Both leave their results in the run
// state (`run`, core/modules.hpp) and stop, when something is wrong, with a run_stopped: the
// one-line report of what (records/fatal.hpp, with the message sink below). One run at a time
// per process: the core keeps one run state. Each is defined where its work is done.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/modules.hpp"      // the run state, its table of outputs among it
#include "maps/page/styles.hpp"  // the region palette and the label markup's levels
#include "records/fatal.hpp"     // run_stopped and messages: print_message, set_message_sink

// The program's version, as the file VERSION gives it.
extern const char phasemap_version[];

// ---------------------------------------------------------------------------------------
// The outputs of a run (core/outputs.cpp): log.out, phase.out and the map always, and the
// optional ones it is asked for, each by the name of its choice ("json": phase.json; "svg":
// the map as SVG), which the command line takes as --json and the module as write(json=True).

struct output_choices {
    bool asked[max_outputs];  // by row of the run's table of outputs
};

// Asks for the optional output named `choice`; false when no output has that name.
bool ask_for_output(output_choices& choices, std::string_view choice);

// The name of the choice that asks for row `row` of the table of outputs; "" for one that
// every run writes.
std::string_view output_choice(int32_t row);

// ---------------------------------------------------------------------------------------
// Whole runs (core/driver.cpp)

// One run in `folder`, an open descriptor of the run's folder (O_PATH will do; the caller
// keeps and closes it), writing the outputs `choices` asks for besides those every run
// writes: waits for any other run in the folder to finish, reads input.txt (or, given
// `input_text`, that text under the same name, input.txt being neither read nor written),
// searches the vertices, reports the regions, writes the maps and moves the outputs into
// place as one set. Every file is opened, created, renamed and locked relative to `folder`
// (a map name such as 'maps/oxide.ps' is resolved beneath it); the process's working folder
// is neither used nor changed. Returns 0 after a complete run, 1 after a fatal error (its
// one-line message has then been printed, and is the last record of log.out and
// last_run_stop()), or run_given_up. The run state is reset at the start, so a process may
// run many.
int run_phasemap_in(int folder, const output_choices& choices = {},
                    const std::string* input_text = nullptr);

// run_phasemap_in's result when the host's lock-wait hook ended the wait for the folder's
// lock: nothing was read or written, not even log.out.
constexpr int run_given_up = -1;

// run_phasemap_in the process's working folder, opened once when the run starts.
int run_phasemap(const output_choices& choices = {});

// What stopped the last run that failed (an empty message after a complete one).
const run_stopped& last_run_stop();

// Opens /dev/null on any of the standard streams that is closed, so that a file opened later
// never takes its number and catches messages meant for it. Every run does this first; a
// caller that opens descriptors before the run (the folders of the command line) does it
// before them.
void keep_standard_streams_open();

// ---------------------------------------------------------------------------------------
// Computations without files (core/driver.cpp, results/phase_json.cpp)

// The run state computed from the input text `text` as input.txt, with every output unit
// discarded, so no file is read or written and no folder is looked at: the map's name gets
// only the checks that need none. `stop_after_reading` ends it once the input is read;
// otherwise the vertices are searched and the regions reported and ordered. Throws
// run_stopped as a run would fail.
void compute_from_text(const std::string& text, bool stop_after_reading);

// The phase.json document of a solved run state, lines ended by "\n".
std::string phase_json_of(const run_state& solved);

// A text of the run (a name, a title) as phase.json holds it once its string is read: UTF-8,
// with U+FFFD for what it cannot hold as it is (text_for_utf8_output).
std::string text_in_phase_json(std::string_view text);

// The area and centroid of a region of `state`, its corners taken in order; a region of no
// area has the mean of its corners as centroid. Worked out in double precision.
struct region_measures {
    double area;
    double centroid_x;
    double centroid_y;
};
region_measures measure_region(const run_state& state, const region_record& region);

// The SVG map of a solved run state, byte for byte as --svg writes it (records ended by CR LF).
std::string svg_map_of(const run_state& solved);

// The SVG map, records ended by CR LF, of the page that the input text `text` lays out (its
// window, titles, shift, pressure scales, lines and labels; its surfaces play no part), with
// `symbol` before each title, filled with `regions` (region_list, maps/page/styles.hpp) and
// coloured by the maps' one rule. Throws run_stopped as compute_from_text would for the text.
std::string svg_map_of_regions(const std::string& text, const region_list& regions,
                               title_symbol symbol);

// ---------------------------------------------------------------------------------------
// Inputs of any number of surfaces, for a host's engine of its own (core/driver.cpp)
//
// The program holds 16 surfaces, and input.txt means no more for it. A host that solves the
// planes with an engine of its own (the Python module's read_input(path, limits=False) and
// python3 -m phasemap) reads an input of any number with the program's reader all the same:
// the reader hands it every surface as it reads it, and reads everything else, with every
// check and warning, as always.

// The energy plane g = a·x + b·y + d of a surface (c = -1), in single precision.
struct surface_plane {
    float a;
    float b;
    float d;
};

// A surface as the reader read it: the record, the input line it ends on, and the plane it
// derived with the bulk values in force then (what plane_a, plane_b and plane_d of the run
// state hold for a surface of its table).
struct surface_read {
    surface_record record;
    int32_t line;
    surface_plane plane;
};

// Reads `text` as compute_from_text(text, true) does, with one difference: a surf entry may
// declare any number of surfaces, and `surfaces` gets every surface of the input, in order (the
// run state's table holds the first 16 as always). Records come one a line at least, so
// `surfaces` grows with the input, whatever count it declares. Throws run_stopped as a run
// would fail.
void read_every_surface(const std::string& text, std::vector<surface_read>& surfaces);

// The same with input.txt of `folder` (as run_phasemap_in takes it), read as a run reads it
// and its output names checked in the folder as a run asked for `choices` checks them, yet
// nothing is written, created or locked.
void read_every_surface_in(int folder, const output_choices& choices,
                           std::vector<surface_read>& surfaces);

// A text a host made itself for one of the optional outputs: `choice` names it as
// ask_for_output takes it ("json", "svg"); its lines each end with "\n".
struct host_output {
    std::string_view choice;
    std::string_view text;
};

// Writes the outputs a host made itself for the input of `folder` as a run writes its own:
// waits for the folder's lock, names them as a run does for the map name `map_name` (the
// input's) and checks those names, writes each under a temporary beside its name, one record
// a line, and moves them into place as one set; nothing else is written, not even log.out.
// Returns 0 after a complete commit, 1 after a fatal error (its message has then been printed
// and is last_run_stop()), or run_given_up. A choice no output has stops it as an error.
int write_host_outputs_in(int folder, std::string_view map_name,
                          std::span<const host_output> outputs);

// ---------------------------------------------------------------------------------------
// Hosts: a process that runs phasemap as a library (the Python module)

// Whether runs are hosted; the program's own are not, the default. A hosted run changes
// nothing that another thread of the host could see: it installs no signal handler and
// changes no signal's handling, and it traps nothing (it computes with the floating-point
// exceptions masked and stops, is_fault set, when it finds a fault's flag raised at the end
// of a phase), putting its thread's floating-point flags and traps back after (core/
// run_guards.cpp).
void run_inside_host(bool host);

// Lets a run that waits for another run's lock on its folder give up: while it waits,
// `give_up` is asked every few milliseconds (with nothing else of the run going on), and when
// it returns true the run ends at once with run_given_up. nullptr, the default, waits as long
// as it takes. The hook stays set for every later run until it is set again.
void set_lock_wait_hook(bool (*give_up)());

// For a host that may fork while one of its threads is inside a run or a computation: in the
// child, forgets that run without touching its files (which are the parent's) and puts the
// signal handlers back, so that the child can run afresh at once.
void forget_run_after_fork();
