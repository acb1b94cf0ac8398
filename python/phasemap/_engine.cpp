// phasemap._engine: the exact lower-envelope engine (src/engine) for Python, apart from the
// program's core. Every call copies its inputs, computes without the GIL and returns flat
// numpy arrays; invalid input raises ValueError.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/envelope.hpp"

namespace py = pybind11;

namespace {

using doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::string shape_text(const py::array& a) {
    std::string text = "(";
    for (py::ssize_t k = 0; k < a.ndim(); ++k) text += (k ? ", " : "") + std::to_string(a.shape(k));
    return text + (a.ndim() == 1 ? ",)" : ")");
}

// Rows (a, b, d) or (a, b, c, d) with c = -1.
std::vector<engine::plane> planes_from(const doubles& rows) {
    if (rows.ndim() != 2 || (rows.shape(1) != 3 && rows.shape(1) != 4))
        throw std::invalid_argument(
            "planes must be an (n, 3) array of (a, b, d) or an (n, 4) "
            "array of (a, b, c, d) with c = -1; got shape " +
            shape_text(rows));
    const auto r = rows.unchecked<2>();
    const bool with_c = rows.shape(1) == 4;
    std::vector<engine::plane> planes(static_cast<std::size_t>(rows.shape(0)));
    for (py::ssize_t i = 0; i < rows.shape(0); ++i) {
        if (with_c && r(i, 2) != -1.0)
            throw std::invalid_argument("planes[" + std::to_string(i) + "] has c = " +
                                        py::str(py::float_(r(i, 2))).cast<std::string>() +
                                        "; (a, b, c, d) rows must have c = -1");
        planes[static_cast<std::size_t>(i)] = {r(i, 0), r(i, 1), r(i, with_c ? 3 : 2)};
    }
    return planes;
}

engine::window window_from(const py::handle& given) {
    const auto wrong = [&]() {
        return std::invalid_argument(
            "window must be four numbers (x_min, x_max, y_min, y_max); got " +
            py::repr(given).cast<std::string>());
    };
    if (!py::isinstance<py::sequence>(given) || py::isinstance<py::str>(given)) throw wrong();
    const auto values = py::reinterpret_borrow<py::sequence>(given);
    if (values.size() != 4) throw wrong();
    double v[4];
    try {
        for (std::size_t k = 0; k < 4; ++k) v[k] = values[k].cast<double>();
    } catch (const py::cast_error&) {
        throw wrong();
    }
    return {v[0], v[1], v[2], v[3]};
}

std::vector<engine::point> points_from(const doubles& x, const doubles& y) {
    if (x.ndim() != 1 || y.ndim() != 1 || x.shape(0) != y.shape(0))
        throw std::invalid_argument("x and y must be flat arrays of one length");
    std::vector<engine::point> points(static_cast<std::size_t>(x.shape(0)));
    for (std::size_t k = 0; k < points.size(); ++k) points[k] = {x.data()[k], y.data()[k]};
    return points;
}

template <typename T>
py::array_t<T> array_of(std::size_t rows, std::size_t columns = 0) {
    if (columns == 0) return py::array_t<T>(static_cast<py::ssize_t>(rows));
    return py::array_t<T>({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
}

// solve(planes, window, method) -> (window, surfaces, offsets, corners, areas, centroids,
// never_stable): surfaces and never_stable 1-based, region r's corners
// corners[offsets[r]:offsets[r + 1]].
py::tuple solve(const doubles& rows, const py::handle& given_window, int how) {
    if (how < 0 || how > 2) throw std::invalid_argument("method must be 0, 1 or 2");
    const std::vector<engine::plane> planes = planes_from(rows);
    const engine::window w = window_from(given_window);
    engine::envelope e;
    {
        py::gil_scoped_release released;
        e = engine::lower_envelope(planes, w, static_cast<engine::method>(how));
    }
    const std::size_t k = e.regions.size();
    auto surfaces = array_of<std::int64_t>(k);
    auto offsets = array_of<std::int64_t>(k + 1);
    auto corners = array_of<double>(e.corners.size(), 2);
    auto areas = array_of<double>(k);
    auto centroids = array_of<double>(k, 2);
    auto never = array_of<std::int64_t>(e.never_stable.size());
    std::int64_t* s = surfaces.mutable_data();
    std::int64_t* o = offsets.mutable_data();
    double* a = areas.mutable_data();
    double* c = centroids.mutable_data();
    for (std::size_t r = 0; r < k; ++r) {
        const engine::region& region = e.regions[r];
        s[r] = static_cast<std::int64_t>(region.plane) + 1;
        o[r] = static_cast<std::int64_t>(region.first_corner);
        a[r] = region.area;
        c[2 * r] = region.centroid.x;
        c[2 * r + 1] = region.centroid.y;
    }
    o[k] = static_cast<std::int64_t>(e.corners.size());
    double* xy = corners.mutable_data();
    for (std::size_t p = 0; p < e.corners.size(); ++p) {
        xy[2 * p] = e.corners[p].x;
        xy[2 * p + 1] = e.corners[p].y;
    }
    std::int64_t* n = never.mutable_data();
    for (std::size_t i = 0; i < e.never_stable.size(); ++i)
        n[i] = static_cast<std::int64_t>(e.never_stable[i]) + 1;
    return py::make_tuple(py::make_tuple(w.x_min, w.x_max, w.y_min, w.y_max), surfaces, offsets,
                          corners, areas, centroids, never);
}

// lowest_at(planes, x, y) -> the 1-based index of the lowest plane at each point.
py::array_t<std::int64_t> lowest_at(const doubles& rows, const doubles& x, const doubles& y) {
    const std::vector<engine::plane> planes = planes_from(rows);
    const std::vector<engine::point> points = points_from(x, y);
    auto lowest = array_of<std::int64_t>(points.size());
    const std::span<std::int64_t> out(lowest.mutable_data(), points.size());
    {
        py::gil_scoped_release released;
        engine::lowest_at(planes, points, out);
        for (std::int64_t& i : out) ++i;
    }
    return lowest;
}

// energy_at(planes, x, y) -> the lowest energy at each point.
py::array_t<double> energy_at(const doubles& rows, const doubles& x, const doubles& y) {
    const std::vector<engine::plane> planes = planes_from(rows);
    const std::vector<engine::point> points = points_from(x, y);
    auto energy = array_of<double>(points.size());
    const std::span<double> out(energy.mutable_data(), points.size());
    {
        py::gil_scoped_release released;
        engine::energy_at(planes, points, out);
    }
    return energy;
}

// sweep(slopes, d, window, probes, centroids) -> (areas, stable, centroids or None, lowest
// or None), lowest 1-based.
py::tuple sweep(const doubles& slopes, const doubles& d, const py::handle& given_window,
                const py::object& probes, bool with_centroids) {
    if (slopes.ndim() != 2 || slopes.shape(1) != 2)
        throw std::invalid_argument("slopes must be an (n, 2) array of (a, b); got shape " +
                                    shape_text(slopes));
    const auto n = static_cast<std::size_t>(slopes.shape(0));
    if (d.ndim() != 2 || static_cast<std::size_t>(d.shape(1)) != n)
        throw std::invalid_argument("d must be an (m, " + std::to_string(n) +
                                    ") array, one row of d per diagram; got shape " +
                                    shape_text(d));
    const auto m = static_cast<std::size_t>(d.shape(0));
    std::vector<engine::slope> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = {slopes.data()[2 * i], slopes.data()[2 * i + 1]};
    const engine::window w = window_from(given_window);
    std::vector<engine::point> at;
    const bool probed = !probes.is_none();
    if (probed) {
        const auto p = doubles::ensure(probes);
        if (!p || p.ndim() != 2 || p.shape(1) != 2)
            throw std::invalid_argument("points must be a (p, 2) array of (x, y)");
        at.resize(static_cast<std::size_t>(p.shape(0)));
        for (std::size_t k = 0; k < at.size(); ++k) at[k] = {p.data()[2 * k], p.data()[2 * k + 1]};
    }
    auto areas = array_of<double>(m, n);
    auto stable = array_of<bool>(m, n);
    py::object centroids = py::none(), lowest = py::none();
    engine::sweep_outputs out{{areas.mutable_data(), m * n},
                              {reinterpret_cast<std::uint8_t*>(stable.mutable_data()), m * n},
                              {},
                              {}};
    if (with_centroids) {
        auto c = py::array_t<double>(
            {static_cast<py::ssize_t>(m), static_cast<py::ssize_t>(n), py::ssize_t{2}});
        out.centroids = {c.mutable_data(), m * n * 2};
        centroids = c;
    }
    if (probed) {
        auto l = array_of<std::int64_t>(m, at.size());
        out.lowest = {l.mutable_data(), m * at.size()};
        lowest = l;
    }
    {
        py::gil_scoped_release released;
        engine::sweep(s, std::span<const double>(d.data(), m * n), w, at, out);
        for (std::int64_t& i : out.lowest) ++i;
    }
    return py::make_tuple(areas, stable, centroids, lowest);
}

}  // namespace

PYBIND11_MODULE(_engine, m) {
    m.attr("version") = PHASEMAP_VERSION;
    m.def("solve", &solve);
    m.def("lowest_at", &lowest_at);
    m.def("energy_at", &energy_at);
    m.def("sweep", &sweep);
}
