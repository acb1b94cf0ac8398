// What the maps share with the Python module's plots, which draw the same regions and labels:
// the regions' colours and the ^{superscript}, _{subscript} and stacked ^{..}_{..} markup of
// labels, with the levels it sets segments at. The module reaches it through phasemap.hpp.
#pragma once

#include <cstdint>
#include <string_view>
#include <tuple>

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
