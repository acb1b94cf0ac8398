// The part of the extension phasemap._core that hands the package what it shares with the
// program's maps (_core_maps.cpp): the palette and the rule that colours neighbours apart,
// the markup's stacked level, the dash patterns and the pressure scales' constants, and the
// regions the package gives the maps as arrays of its own.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "phasemap.hpp"

// Regions from the package (an Envelope's arrays), copied and checked, as the maps take them
// (region_list): `list` points into the copies, which live as long as this record.
struct region_arrays {
    std::vector<int64_t> surfaces;
    std::vector<int64_t> offsets;
    std::vector<double> corners;
    std::vector<std::string> names;
    std::vector<std::string_view> name_views;
    region_list list;
};

// The regions of `surfaces` (n,) 1-based, `offsets` (n + 1,) and `corners` (m, 2) as the
// exact engine gives them (region i's corners are corners[offsets[i]:offsets[i + 1]]), and
// `names` (bytes) the names of the surfaces; without names (None) the surfaces are not
// checked against them, and without surfaces (None) every region is of surface 1. Raises ValueError
// for arrays that do not fit together, a surface without a name, or a corner that is not finite.
region_arrays checked_region_arrays(const pybind11::handle& surfaces,
                                    const pybind11::handle& offsets,
                                    const pybind11::handle& corners, const pybind11::handle& names);

// Defines the module's share of the maps on `m`: region_palette, stacked_level,
// neighbour_colour_difference, colour_difference, region_colours, neighbour_pairs,
// dash_patterns, boltzmann_ev and ln_ten.
void define_map_styles(pybind11::module_& m);
