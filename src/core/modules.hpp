// Run state: the one program-wide record that every phase of a run reads and writes.
// All reals are IEEE single precision, all integers 32-bit; texts are fixed-length and
// blank-padded. Tables are indexed from 0 in code; every number the run writes (surface,
// plane row, vertex number) is the 1-based position, so vertex_list holds 1-based numbers.
// The driver sets up the table of outputs (core/outputs.hpp), the input reader fills the
// input part, the map's name in that table and the plane table, the vertex search fills
// vertices and regions, the region report reorders the lists, lay_out_page works out the
// page model of the maps from all that, and the map writers only read.
#pragma once

#include <cstdint>

#include "core/fixed_text.hpp"

constexpr int32_t max_surfaces = 20;  // rows of the surface table
constexpr int32_t max_planes = 20;    // plane rows: the surfaces and the four window edges
constexpr int32_t max_plane_surfaces = max_planes - 4;  // surfaces the plane table can hold: 16
constexpr int32_t max_vertices = 100;      // rows of the vertex table, entries of a region list
constexpr int32_t max_table_entries = 20;  // labels, guide values, equilibrium lines
constexpr int32_t max_scale_sets = 2;      // pressure-scale sets: temp1 and temp2
constexpr int32_t max_outputs =
    5;  // files a run may write: map, phase.json, SVG map, phase.out, log

#include "maps/page/page_layout.hpp"  // the map's page model, sized by the capacities above

// A candidate surface. Its counts are those of the bulk's first species, of the species of
// the x axis and of the species of the y axis (count_1, count_2, count_3 in messages).
struct surface_record {
    text40 name;
    int32_t counts[3];
    float area;
    float energy;
};

struct vertex_row {
    float x;
    float y;
    float energy;
};

struct region_record {
    int32_t n_vertices;
    int32_t vertex_list[max_vertices];  // 1-based vertex numbers, 0 beyond n_vertices
};

// A surface has a stable region when it has at least three corners: only such regions are
// reported in phase.out, drawn on the maps and listed in phase.json.
inline bool has_region(const region_record& region) { return region.n_vertices >= 3; }

struct label_record {
    float x;
    float y;
    float label_size;
    text40 text;
};

// The line coef_x * x + coef_y * y = line_constant.
struct equi_record {
    int32_t coef_x;
    int32_t coef_y;
    float line_constant;
};

// The same kind of line, confined to a box of its own.
struct equ2_record {
    int32_t coef_x;
    int32_t coef_y;
    float line_constant;
    float x_from;
    float x_to;
    float y_low;
    float y_high;
};

// One file of the run's table of outputs (core/outputs.hpp says which row is which).
struct output_record {
    text40 name;    // its file name in the run's folder; the map's once the input has named it
    int32_t unit;   // the unit it is written on
    bool is_asked;  // whether this run writes it
    bool is_log;    // log.out: the one output a failed run keeps, with the error
};

// One set of secondary pressure scales (keywords temp1, temp2): a right and a top axis
// outside the frame whose ticks mark the pressures 10^e at the temperature, where
// boltzmann_ev * T * ln_ten * e is the distance from the origin.
constexpr float boltzmann_ev = 8.617387e-05f;  // Boltzmann constant in eV/K
constexpr float ln_ten = 2.3025851f;           // ln(10) as the pressure scales use it
struct pressure_scale {
    float temperature;  // kelvin; the set is on only when it is positive (default -1)
    float x_origin;     // x0: the x at which the pressure is 1
    float y_origin;     // y0
    float x_step;       // decades of pressure from one tick of the top axis to the next
    float y_step;       // the same on the right axis
};

struct run_state {
    // Every file the run may write, in the order a complete run commits them (set up before
    // the reader, which names the map).
    output_record outputs[max_outputs];
    text20 map_file_name;  // as the input gives it (output entry)

    int32_t bulk_count_1;
    int32_t bulk_count_2;
    float bulk_energy;        // per unit cell once the bulk entry has been read
    float bulk_energy_total;  // the total bulk energy as the input gives it
    int32_t bulk_divisor;

    float x_min;
    float x_max;
    float y_min;
    float y_max;

    int32_t surface_count;
    surface_record surfaces[max_surfaces];
    int32_t surface_lines[max_surfaces];  // input line of each surface record, for messages

    // Row r is the plane a*x + b*y + c*g + d = 0; rows 0..n-1 are the surfaces (c = -1),
    // rows n..n+3 the window edges x = x_min, x = x_max, y = y_min, y = y_max (c = 0).
    float plane_a[max_planes];
    float plane_b[max_planes];
    float plane_c[max_planes];
    float plane_d[max_planes];

    int32_t vertex_count;
    vertex_row vertices[max_vertices];
    region_record regions[max_planes];

    int32_t label_count;
    label_record labels[max_table_entries];

    text40 x_axis_title;
    text40 y_axis_title;

    int32_t xbound_count;
    float xbound_values[max_table_entries];
    int32_t ybound_count;
    float ybound_values[max_table_entries];

    int32_t equi_count;
    equi_record equi_lines[max_table_entries];
    int32_t equ2_count;
    equ2_record equ2_lines[max_table_entries];

    pressure_scale scales[max_scale_sets];  // temp1, temp2

    float shift_x;
    float shift_y;

    page_layout page;  // what the maps show, laid out before they are written
};

extern run_state run;

// Whether pressure-scale set `set` (0 for temp1, 1 for temp2) is on: its temperature is
// positive. A set that is on takes room on the page, whether it is drawn or not.
inline bool is_scale_on(int32_t set) { return run.scales[set].temperature > 0.0f; }

// Whether set `set` is drawn: it is on, and the second set only together with the first.
inline bool is_scale_drawn(int32_t set) { return is_scale_on(set) && (set == 0 || is_scale_on(0)); }

// Zero every number and set every text to blanks, as at program start.
void reset_run_state();
