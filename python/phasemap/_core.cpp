// The extension behind the phasemap package: runs the program's reader, region search and
// whole runs inside the Python process, each call as _core_calls.hpp says.
#include <fenv.h>
#include <pthread.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <algorithm>
#include <atomic>
#include <ctime>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "_core_calls.hpp"
#include "_core_maps.hpp"
#include "phasemap.hpp"

namespace py = pybind11;

namespace {

// The optional outputs asked for by the names of their choices; an unknown name is refused.
output_choices choices_named(const py::iterable& names) {
    output_choices choices{};
    for (const py::handle name : names)
        if (!ask_for_output(choices, py::cast<std::string>(name)))
            throw py::value_error("no output is asked for by " +
                                  py::repr(name).cast<std::string>());
    return choices;
}

py::bytes as_bytes(const std::string& s) { return py::bytes(s); }

// The energy planes of the surfaces, each (a, b, c, d).
py::list surface_planes(const run_state& state) {
    py::list planes;
    for (int32_t i = 0; i < state.surface_count && i < max_plane_surfaces; ++i)
        planes.append(
            py::make_tuple(state.plane_a[i], state.plane_b[i], state.plane_c[i], state.plane_d[i]));
    return planes;
}

// The surfaces of the run state's table, as the reader read them.
std::vector<surface_read> table_surfaces(const run_state& state) {
    std::vector<surface_read> surfaces;
    for (int32_t i = 0; i < state.surface_count && i < max_plane_surfaces; ++i)
        surfaces.push_back({state.surfaces[i],
                            state.surface_lines[i],
                            {state.plane_a[i], state.plane_b[i], state.plane_d[i]}});
    return surfaces;
}

// The planes of `surfaces` as an (n, 4) array of rows (a, b, c, d), c = -1.
py::array_t<double> plane_rows(const std::vector<surface_read>& surfaces) {
    py::array_t<double> rows({static_cast<py::ssize_t>(surfaces.size()), py::ssize_t{4}});
    auto row = rows.mutable_unchecked<2>();
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
        const auto r = static_cast<py::ssize_t>(i);
        const surface_plane& plane = surfaces[i].plane;
        row(r, 0) = static_cast<double>(plane.a);
        row(r, 1) = static_cast<double>(plane.b);
        row(r, 2) = -1.0;
        row(r, 3) = static_cast<double>(plane.d);
    }
    return rows;
}

// The surfaces as (names, counts (n, 3), areas (n,), energies (n,)): arrays, so that inputs of
// any number of surfaces cross into Python quickly.
py::tuple surface_columns(const std::vector<surface_read>& surfaces) {
    const auto n = static_cast<py::ssize_t>(surfaces.size());
    py::list names;
    py::array_t<int32_t> counts({n, py::ssize_t{3}});
    py::array_t<double> areas(n);
    py::array_t<double> energies(n);
    auto count = counts.mutable_unchecked<2>();
    auto area = areas.mutable_unchecked<1>();
    auto energy = energies.mutable_unchecked<1>();
    for (py::ssize_t i = 0; i < n; ++i) {
        const surface_record& record = surfaces[static_cast<std::size_t>(i)].record;
        names.append(as_bytes(trimmed_text(record.name)));
        for (py::ssize_t k = 0; k < 3; ++k) count(i, k) = record.counts[k];
        area(i) = static_cast<double>(record.area);
        energy(i) = static_cast<double>(record.energy);
    }
    return py::make_tuple(names, counts, areas, energies);
}

// The area and centroid of every region of `state`, by surface; worked out in the call's
// floating-point environment, from the call's own copy of the run state.
std::vector<region_measures> region_measures_of(const run_state& state) {
    std::vector<region_measures> measures(static_cast<std::size_t>(state.surface_count));
    for (int32_t s = 0; s < state.surface_count; ++s)
        if (has_region(state.regions[s]))
            measures[static_cast<std::size_t>(s)] = measure_region(state, state.regions[s]);
    return measures;
}

// Every region phase.json lists, in its order: (surface index, name, corners in drawing
// order as an (n, 2) array of their single-precision values, centroid, area).
py::list stable_regions(const run_state& state, const std::vector<region_measures>& measured) {
    py::list regions;
    for (int32_t s = 0; s < state.surface_count; ++s) {
        const region_record& region = state.regions[s];
        if (!has_region(region)) continue;
        py::array_t<double> corners({static_cast<py::ssize_t>(region.n_vertices), py::ssize_t{2}});
        auto xy = corners.mutable_unchecked<2>();
        for (int32_t p = 0; p < region.n_vertices; ++p) {
            const vertex_row& corner = state.vertices[region.vertex_list[p] - 1];
            xy(p, 0) = static_cast<double>(corner.x);
            xy(p, 1) = static_cast<double>(corner.y);
        }
        const region_measures& measures = measured[static_cast<std::size_t>(s)];
        regions.append(py::make_tuple(
            s + 1, as_bytes(trimmed_text(state.surfaces[s].name)), corners,
            py::make_tuple(measures.centroid_x, measures.centroid_y), measures.area));
    }
    return regions;
}

// What the reader put into the run state: everything input.txt can hold, with the surfaces it
// read (those of the run state's table, or every one it handed to a sink) and their planes.
py::dict input_state(const run_state& state, const std::vector<surface_read>& read) {
    py::dict d;
    d["bulk"] = py::make_tuple(state.bulk_count_1, state.bulk_count_2, state.bulk_energy_total,
                               state.bulk_divisor);
    d["window"] = py::make_tuple(state.x_min, state.x_max, state.y_min, state.y_max);
    d["surfaces"] = surface_columns(read);
    py::list labels;
    for (int32_t i = 0; i < state.label_count; ++i) {
        const label_record& l = state.labels[i];
        labels.append(py::make_tuple(l.x, l.y, l.label_size, as_bytes(trimmed_text(l.text))));
    }
    d["labels"] = labels;
    d["x_title"] = as_bytes(trimmed_text(state.x_axis_title));
    d["y_title"] = as_bytes(trimmed_text(state.y_axis_title));
    d["map_name"] = as_bytes(trimmed_text(state.map_file_name));
    py::list xb, yb, equi, equ2, scales;
    for (int32_t i = 0; i < state.xbound_count; ++i) xb.append(state.xbound_values[i]);
    for (int32_t i = 0; i < state.ybound_count; ++i) yb.append(state.ybound_values[i]);
    for (int32_t i = 0; i < state.equi_count; ++i) {
        const equi_record& e = state.equi_lines[i];
        equi.append(py::make_tuple(e.coef_x, e.coef_y, e.line_constant));
    }
    for (int32_t i = 0; i < state.equ2_count; ++i) {
        const equ2_record& e = state.equ2_lines[i];
        equ2.append(py::make_tuple(e.coef_x, e.coef_y, e.line_constant, e.x_from, e.x_to, e.y_low,
                                   e.y_high));
    }
    for (const pressure_scale& s : state.scales)
        scales.append(py::make_tuple(s.temperature, s.x_origin, s.y_origin, s.x_step, s.y_step));
    d["x_guides"] = xb;
    d["y_guides"] = yb;
    d["equi"] = equi;
    d["equ2"] = equ2;
    d["scales"] = scales;
    d["shift"] = py::make_tuple(state.shift_x, state.shift_y);
    d["planes"] = plane_rows(read);
    // The names of the optional outputs, by their choices, as the run would name them.
    py::dict outputs;
    for (int32_t row = 0; row < max_outputs; ++row)
        if (!output_choice(row).empty())
            outputs[py::str(std::string(output_choice(row)))] =
                as_bytes(trimmed_text(state.outputs[row].name));
    d["outputs"] = outputs;
    return d;
}

// A reading of the input into the call's own copy of the run state and, with `every_surface`,
// of every surface into `surfaces`; `read` carries it out.
template <typename Read>
py::tuple read_call(Read read) {
    auto snapshot = std::make_unique<run_state>();
    std::vector<surface_read> surfaces;
    const call_outcome outcome = locked_call([&] {
        read(surfaces);
        *snapshot = run;
    });
    if (outcome.end != call_outcome::ending::complete) return finished(outcome, py::none());
    return finished(outcome, input_state(*snapshot, surfaces));
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    prepare_calls(m);
    // Every call below returns (value, messages), messages being the lines the core would
    // have written on standard error, as [(is_warning, text)]; one that stops raises
    // Stopped(message, unit, line, messages), a floating-point fault Fault(report, messages).

    // read(text, every_surface=False) -> input state: what the reader stores for the text; no
    // file is read or written. With every_surface, a surf entry may declare any number of
    // surfaces, and the state holds all of them (read_every_surface).
    m.def(
        "read",
        [](const std::string& text, bool every_surface) {
            return read_call([&](std::vector<surface_read>& surfaces) {
                if (every_surface) {
                    read_every_surface(text, surfaces);
                } else {
                    compute_from_text(text, true);
                    surfaces = table_surfaces(run);
                }
            });
        },
        py::arg("text"), py::arg("every_surface") = false);

    // read_in(folder, choices) -> input state: input.txt of `folder`, an open descriptor of it,
    // read with every surface as read() does, and its output names checked in the folder as a
    // run asked for the optional outputs `choices` names checks them; nothing is written.
    m.def("read_in", [](int folder, const py::iterable& names) {
        const output_choices choices = choices_named(names);
        return read_call([&](std::vector<surface_read>& surfaces) {
            read_every_surface_in(folder, choices, surfaces);
        });
    });

    // check(text) -> planes: reads the text as read(text, every_surface=True) does and only
    // refuses what the reader refuses; the planes of every surface as an (n, 4) array.
    m.def("check", [](const std::string& text) {
        std::vector<surface_read> surfaces;
        const call_outcome outcome = locked_call([&] { read_every_surface(text, surfaces); });
        return finished(outcome, plane_rows(surfaces));
    });

    // The run state a solve() left, kept for what is worked out from it only when asked for.
    py::class_<run_state>(m, "RunState");

    // solve(text) -> (planes, regions, run state): the regions found and reported for the
    // text, without a trace, every field from the call's own copy of the run state; no file
    // is read or written.
    m.def("solve", [](const std::string& text) {
        auto snapshot = std::make_unique<run_state>();
        std::vector<region_measures> measures;
        const call_outcome outcome = locked_call([&] {
            compute_from_text(text, false);
            *snapshot = run;
            measures = region_measures_of(*snapshot);
        });
        if (outcome.end != call_outcome::ending::complete) return finished(outcome, py::none());
        py::list planes = surface_planes(*snapshot);
        py::list regions = stable_regions(*snapshot, measures);
        return finished(outcome, py::make_tuple(planes, regions, std::move(snapshot)));
    });

    // phase_json(run state) -> the phase.json bytes of a solved run.
    m.def("phase_json", [](const run_state& solved) {
        std::string json;
        const call_outcome outcome = locked_call([&] { json = phase_json_of(solved); });
        return finished(outcome, py::bytes(json));
    });

    // text_in_phase_json(text) -> str: a stored text as phase.json shows it.
    m.def("text_in_phase_json", [](const std::string& text) {
        const std::string shown = text_in_phase_json(text);
        return py::str(shown.data(), static_cast<py::ssize_t>(shown.size()));
    });

    // label_segments(text) -> [(text, level)]: the ^{...}/_{...} markup of a label or title
    // (its first 40 bytes, as the maps draw it) split as the maps split it; a level is 0 on
    // the baseline, +n or -n n groups up or down, +9/-9 the two members of a stacked pair.
    m.def("label_segments", [](const std::string& text) {
        text40 field;
        set_text(field, text.substr(0, field.size()).c_str());
        const label_segments segments = scan_label(field);
        py::list result;
        for (int32_t j = 0; j < segments.count; ++j)
            result.append(
                py::make_tuple(as_bytes(trimmed_text(segments.text[j])), segments.level[j]));
        return result;
    });

    // _set_wait_hook(callable or None): for the tests, a callable that a call waiting for its
    // turn calls each time it looks again, after it has run the pending signal handlers; an
    // exception it raises ends the wait.
    m.def("_set_wait_hook", set_wait_hook);

    // svg_map(run state) -> the SVG map of a solved run, the bytes --svg writes.
    m.def("svg_map", [](const run_state& solved) {
        std::string svg;
        const call_outcome outcome = locked_call([&] { svg = svg_map_of(solved); });
        return finished(outcome, py::bytes(svg));
    });

    // svg_map_of_regions(text, surfaces, offsets, corners, names, symbol) -> the SVG map of
    // the page that `text` lays out (its surfaces play no part), filled with the regions the
    // arrays give (checked_region_arrays), with symbol 0 (mu), 1 (Delta mu) or 2 (none)
    // before each axis title.
    m.def("svg_map_of_regions", [](const std::string& text, const py::handle& surfaces,
                                   const py::handle& offsets, const py::handle& corners,
                                   const py::handle& names, int symbol) {
        const region_arrays regions = checked_region_arrays(surfaces, offsets, corners, names);
        if (symbol < 0 || symbol > 2) throw py::value_error("svg_map_of_regions: symbol 0, 1 or 2");
        std::string svg;
        const call_outcome outcome = locked_call([&] {
            svg = svg_map_of_regions(text, regions.list, static_cast<title_symbol>(symbol));
        });
        return finished(outcome, py::bytes(svg));
    });

    // run_in(folder, text, choices): a whole run of the program in `folder`, an open
    // descriptor of it (O_PATH will do), with `text` as its input.txt, which stays unwritten,
    // writing the optional outputs whose choices (among output_choices) are named. Every file
    // is opened, created, renamed and locked relative to `folder`. A Python signal handler
    // that raises while the run waits for another run's lock on the folder ends the call
    // with its exception, nothing written.
    m.def("run_in", [](int folder, const std::string& text, const py::iterable& names) {
        const output_choices choices = choices_named(names);
        int status = 0;
        const call_outcome outcome = locked_call([&] {
            status = run_phasemap_in(folder, choices, &text);
            if (status == 1) throw last_run_stop();
        });
        if (status == run_given_up) throw py::error_already_set();
        return finished(outcome, py::none());
    });

    // write_in(folder, map_name, outputs): the outputs the package made itself for the input
    // of `folder` (outputs: [(choice, text)], the texts' lines ended by "\n"), written and
    // moved into place as one set as a run's are, in the names a run gives them for the map
    // name; waits for the folder's lock as run_in does.
    m.def("write_in", [](int folder, const std::string& map_name, const py::iterable& items) {
        std::vector<std::pair<std::string, std::string>> texts;
        for (const py::handle item : items) {
            const auto pair = py::cast<py::tuple>(item);
            texts.emplace_back(py::cast<std::string>(pair[0]), py::cast<std::string>(pair[1]));
        }
        std::vector<host_output> outputs;
        for (const auto& [choice, text] : texts) outputs.push_back({choice, text});
        int status = 0;
        const call_outcome outcome = locked_call([&] {
            status = write_host_outputs_in(folder, map_name, outputs);
            if (status == 1) throw last_run_stop();
        });
        if (status == run_given_up) throw py::error_already_set();
        return finished(outcome, py::none());
    });

    // escape_control_bytes(bytes) -> bytes: a text with every control byte shown as \xNN, as
    // the program's messages show what they quote.
    m.def("escape_control_bytes",
          [](const std::string& text) { return py::bytes(escape_control_bytes(text)); });

    // texts_in_phase_json([bytes]) -> [str]: text_in_phase_json of each, in one call.
    m.def("texts_in_phase_json", [](const py::iterable& texts) {
        py::list shown;
        for (const py::handle text : texts) {
            const std::string json = text_in_phase_json(py::cast<std::string>(text));
            shown.append(py::str(json.data(), static_cast<py::ssize_t>(json.size())));
        }
        return shown;
    });

    // What the package shares with the program rather than restating it: the version, the
    // choices of the optional outputs and the share of the maps (_core_maps.hpp).
    m.doc() =
        "The program's core inside Python, behind the phasemap package; its names are private "
        "to the package. _set_wait_hook is a hook for the package's tests only.";
    m.attr("version") = py::str(phasemap_version);
    m.attr("max_surfaces") = max_plane_surfaces;
    py::list choices;
    for (int32_t row = 0; row < max_outputs; ++row)
        if (!output_choice(row).empty())
            choices.append(py::str(output_choice(row).data(), output_choice(row).size()));
    m.attr("output_choices") = py::tuple(choices);
    define_map_styles(m);
}
