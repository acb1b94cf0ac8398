// What the maps share with the Python module's plots, which draw the same regions and labels:
// the regions' colours and the ^{superscript}, _{subscript} and stacked ^{..}_{..} markup of
// labels, with the levels it sets segments at. The module reaches it through phasemap.hpp.
#pragma once

#include <cstdint>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/fixed_text.hpp"

// Colours of the regions on the SVG map (and the module's plots), by surface number, cycled:
// a colour-blind-safe light qualitative palette.
constexpr int32_t palette_size = 9;
constexpr std::string_view region_palette[palette_size] = {"#77AADD", "#EE8866", "#EEDD88",
                                                           "#FFAABB", "#99DDFF", "#44BB99",
                                                           "#BBCC33", "#AAAA00", "#DDDDDD"};

// Two regions that share a side take colours whose CIEDE2000 difference is at least this:
// above the two light blues (14.2) and pear and olive (9.3), and the largest difference at
// which any five palette colours still leave one that differs from all five by as much.
constexpr double neighbour_colour_difference = 15.0;

// The CIEDE2000 difference of two sRGB colours written "#RRGGBB" (hexadecimal digits of either
// case; the caller checks the form), the measure neighbour_colour_difference is a bound of. The
// Python module's line plot tells its lines apart by it too.
double colour_difference(std::string_view first, std::string_view second);

// The one rule for region colours (maps/page/colours.cpp), for the SVG map and the Python module:
// for `count` regions of the surfaces `surfaces` (1-based), `pair_count` pairs of regions
// that share a side (`pairs`: the places of the two regions, 0-based, two entries a pair)
// and `corner_pair_count` pairs that meet at a corner only, the palette index of each region
// into `colours`. Each keeps its surface's colour, cycled, unless a neighbour's looks alike;
// then as few regions as the rule finds move, each to the colour farthest from its
// neighbours', unlike those it meets at a corner where it can. Deterministic, whatever the
// order of the pairs.
void choose_region_colours(int32_t count, const int32_t surfaces[], int32_t pair_count,
                           const int32_t pairs[], int32_t corner_pair_count,
                           const int32_t corner_pairs[], int32_t colours[]);

// Regions that a caller keeps in arrays of its own, any number of them (the Python module's
// exact engine gives thousands): region i is of surface surfaces[i] (1-based, at most
// name_count) and has the corners (x, y) at corners[2k], corners[2k + 1] for k from
// offsets[i] to offsets[i + 1] - 1 (offsets[0] = 0, never falling), in drawing order, every
// one finite; surface s is named names[s - 1] (UTF-8).
struct region_list {
    int32_t count;
    const int64_t* surfaces;
    const int64_t* offsets;
    const double* corners;
    int32_t name_count;
    const std::string_view* names;
};

// The pairs of places in `regions` (i < j, two entries a pair) of the regions that share a
// side, and of those that meet at one corner only, for choose_region_colours: two convex
// regions that share two distinct corners share the side between them. Corners are shared
// when exactly equal, as both of the module's engines give the corner of several regions.
void find_neighbour_pairs(const region_list& regions, std::vector<int32_t>& sides,
                          std::vector<int32_t>& corners);

// Dash patterns of the guide and equilibrium lines: lengths in points of dash and gap,
// alternating; the empty pattern is a solid line. The xbound, ybound and equi lines take the
// pattern of their place in their own table (from the fifth on, the last); equ2 lines are
// solid.
constexpr int32_t dash_pattern_count = 5;
constexpr std::string_view dash_patterns[dash_pattern_count] = {"", "8 4", "4 4", "2 4", "2 2"};

constexpr int32_t label_length = static_cast<int32_t>(std::tuple_size_v<text40>);  // characters
constexpr int32_t max_segments = 20;  // segments of one text, the first included
constexpr int32_t stacked_level = 9;  // +9 / -9 mark the two members of a stacked pair

// Segment j (0-based) is text[j], characters from[j]..to[j] of the label, at level[j]: 0
// baseline, +n superscript of depth n, -n subscript of depth n, +9/-9 the upper and lower
// member of a stacked pair.
struct label_segments {
    int32_t count;
    text40 text[max_segments];
    int32_t from[max_segments];
    int32_t to[max_segments];
    int32_t level[max_segments];
};

// Splits `text` at its ^{...}, _{...} and } markup.
label_segments scan_label(const text40& text);
