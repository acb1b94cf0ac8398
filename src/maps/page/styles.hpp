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
