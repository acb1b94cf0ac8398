// What the package shares with the program's maps rather than restating it (_core_maps.hpp):
// every name here is worked out by the program's own code, and none needs the module's lock
// (they read no run state).
#include "_core_maps.hpp"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace py = pybind11;

namespace {

template <typename T>
using array = py::array_t<T, py::array::c_style | py::array::forcecast>;

// The values of a one- or two-dimensional array with `columns` columns, copied.
template <typename T>
std::vector<T> copied(const py::handle& values, py::ssize_t columns, const char* what) {
    const array<T> a = array<T>::ensure(values);
    const bool fits =
        a && (columns == 0 ? a.ndim() == 1
                           : (a.size() == 0 || (a.ndim() == 2 && a.shape(1) == columns)));
    if (!fits) throw py::value_error(std::string("regions: ") + what);
    return std::vector<T>(a.data(), a.data() + a.size());
}

// Pairs of places (two entries a pair) as an (m, 2) array.
py::array_t<int32_t> pair_array(const std::vector<int32_t>& pairs) {
    py::array_t<int32_t> out({static_cast<py::ssize_t>(pairs.size() / 2), py::ssize_t{2}});
    std::copy(pairs.begin(), pairs.end(), out.mutable_data());
    return out;
}

// A table of the maps' texts (colours, dash patterns) as a tuple of str.
template <std::size_t n>
py::tuple text_tuple(const std::string_view (&texts)[n]) {
    py::list list;
    for (const std::string_view text : texts) list.append(py::str(text.data(), text.size()));
    return py::tuple(list);
}

}  // namespace

region_arrays checked_region_arrays(const py::handle& surfaces, const py::handle& offsets,
                                    const py::handle& corners, const py::handle& names) {
    region_arrays r;
    r.offsets = copied<int64_t>(offsets, 0, "offsets must be an (n + 1,) array of integers");
    if (surfaces.is_none())
        r.surfaces.assign(r.offsets.empty() ? 0 : r.offsets.size() - 1, 1);
    else
        r.surfaces = copied<int64_t>(surfaces, 0, "surfaces must be an (n,) array of integers");
    r.corners = copied<double>(corners, 2, "corners must be an (m, 2) array of numbers");
    if (!names.is_none())
        for (const py::handle name : py::reinterpret_borrow<py::sequence>(names))
            r.names.push_back(py::cast<std::string>(name));
    const std::size_t count = r.surfaces.size();
    const int64_t corner_count = static_cast<int64_t>(r.corners.size() / 2);
    const int64_t largest = std::numeric_limits<int32_t>::max();
    const int64_t name_count = names.is_none() ? largest : static_cast<int64_t>(r.names.size());
    bool fits = r.offsets.size() == count + 1 && r.offsets.front() == 0 && count < largest &&
                r.offsets.back() == corner_count && corner_count < largest;
    for (std::size_t i = 0; fits && i < count; ++i)
        fits =
            r.offsets[i] <= r.offsets[i + 1] && r.surfaces[i] >= 1 && r.surfaces[i] <= name_count;
    if (!fits)
        throw py::value_error(
            "regions: offsets must rise from 0 to the number of corners, one more than the "
            "surfaces, and each surface must be named");
    if (!std::all_of(r.corners.begin(), r.corners.end(), [](double v) { return std::isfinite(v); }))
        throw py::value_error("regions: every corner must be finite");
    r.name_views.assign(r.names.begin(), r.names.end());
    r.list = {static_cast<int32_t>(count),
              r.surfaces.data(),
              r.offsets.data(),
              r.corners.data(),
              static_cast<int32_t>(r.name_views.size()),
              r.name_views.data()};
    return r;
}

void define_map_styles(py::module_& m) {
    // The SVG map's region colours (by surface number, cycled) and the level that marks the
    // upper member of a stacked pair in label_segments (the lower one has its negative).
    m.attr("region_palette") = text_tuple(region_palette);
    m.attr("stacked_level") = stacked_level;

    // The plots' share of the maps' rules: the least colour difference of two neighbouring
    // regions, region_colours(surfaces, sides, corners) -> the palette index of each region
    // by the maps' one rule (surfaces: (n,) 1-based; sides and corners: (m, 2) places of
    // regions that share a side, and of those that meet at a corner only),
    // the dash patterns of the guide lines (lengths in points, as the SVG map writes them) and
    // the constants of the pressure scales (a tick per ln_ten * boltzmann_ev * T * step).
    m.attr("neighbour_colour_difference") = neighbour_colour_difference;
    // colour_difference(first, second) -> the CIEDE2000 difference of two "#RRGGBB" colours.
    m.def("colour_difference", [](const std::string& first, const std::string& second) {
        auto rgb = [](const std::string& colour) {
            return colour.size() == 7 && colour[0] == '#' &&
                   std::all_of(colour.begin() + 1, colour.end(),
                               [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
        };
        if (!rgb(first) || !rgb(second))
            throw py::value_error("colour_difference: give two colours as \"#RRGGBB\"");
        return colour_difference(first, second);
    });
    m.def("region_colours", [](array<int32_t> surfaces, array<int32_t> sides,
                               array<int32_t> corners) {
        const auto count = static_cast<int32_t>(surfaces.size());
        const int32_t* s = surfaces.data();
        auto pairs_fit = [count](const array<int32_t>& pairs) {
            return (pairs.size() == 0 || (pairs.ndim() == 2 && pairs.shape(1) == 2)) &&
                   std::all_of(pairs.data(), pairs.data() + pairs.size(),
                               [count](int32_t v) { return v >= 0 && v < count; });
        };
        if (surfaces.ndim() != 1 || std::any_of(s, s + count, [](int32_t v) { return v < 1; }) ||
            !pairs_fit(sides) || !pairs_fit(corners))
            throw py::value_error(
                "region_colours: surfaces (n,) from 1, pairs (m, 2) of places below n");
        py::array_t<int32_t> chosen(count);
        choose_region_colours(count, s, static_cast<int32_t>(sides.size() / 2), sides.data(),
                              static_cast<int32_t>(corners.size() / 2), corners.data(),
                              chosen.mutable_data());
        return chosen;
    });
    // neighbour_pairs(offsets, corners) -> (sides, corners): the (m, 2) places (i < j) of the
    // regions that share a side and of those that meet at a corner only, for region_colours;
    // region i's corners are corners[offsets[i]:offsets[i + 1]] (the maps' find_neighbour_pairs).
    m.def("neighbour_pairs", [](const py::handle& offsets, const py::handle& corners) {
        const region_arrays regions =
            checked_region_arrays(py::none(), offsets, corners, py::none());
        std::vector<int32_t> sides;
        std::vector<int32_t> corner_pairs;
        find_neighbour_pairs(regions.list, sides, corner_pairs);
        return py::make_tuple(pair_array(sides), pair_array(corner_pairs));
    });
    m.attr("dash_patterns") = text_tuple(dash_patterns);
    m.attr("boltzmann_ev") = boltzmann_ev;
    m.attr("ln_ten") = ln_ten;
}
