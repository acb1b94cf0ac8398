// The extension behind the phasemap package: runs the program's reader, region search and
// whole runs inside the Python process. Every call is serialized by one lock (the core keeps
// one run state) and leaves the process as it found it: the floating-point environment, the
// SIGFPE handler and the signal mask are put back. A trapped floating-point fault cannot
// unwind through the computation that raised it: the core's handler reports it and passes
// the signal on to the handler installed here, which jumps back to the call with
// siglongjmp; the call then ends the run (abandon_run) and raises the core's report.
#include <fcntl.h>
#include <fenv.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <unistd.h>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "driver.hpp"
#include "modules.hpp"
#include "printps/label_scan.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "results/results.hpp"
#include "run_guards.hpp"

namespace py = pybind11;

namespace {

std::mutex run_lock;
sigjmp_buf fault_return;
int returning_folder = -1;  // the folder run_in changes back to

void return_to_folder() {
    if (returning_folder < 0) return;
    if (::fchdir(returning_folder) != 0) { /* the folder was open: fchdir cannot fail here */
    }
    ::close(returning_folder);
    returning_folder = -1;
}

// Reached from the core's SIGFPE handler, which raises the signal again once it has written
// its report; sigsetjmp saved the signal mask, which siglongjmp restores.
void on_passed_on_fault(int) { siglongjmp(fault_return, 1); }

struct stopped_error {
    std::string message;
    bool is_fault;
};

// Runs `work` with the fault handler of this module installed; false with `error` set when
// the run stopped or a floating-point fault ended it.
template <typename Work>
bool run_guarded(Work work, stopped_error& error) {
    fenv_t saved_environment;
    fegetenv(&saved_environment);
    struct sigaction action {
    }, previous{};
    action.sa_handler = on_passed_on_fault;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, &previous);
    bool ok = true;
    if (sigsetjmp(fault_return, 1) == 0) {
        try {
            work();
        } catch (const run_stopped& stop) {
            error = {stop.message, false};
            ok = false;
        }
    } else {
        abandon_run();
        return_to_folder();
        error = {last_fault_report(), true};
        ok = false;
    }
    sigaction(SIGFPE, &previous, nullptr);
    fesetenv(&saved_environment);
    return ok;
}

std::string trimmed(const char* text, std::size_t size) {
    std::string s(text, size);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}
template <std::size_t N>
std::string trimmed(const std::array<char, N>& text) {
    return trimmed(text.data(), N);
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

// Every region phase.json lists, in its order: (surface index, name, corners in drawing
// order as an (n, 2) array of their single-precision values, centroid, area).
py::list stable_regions(const run_state& state) {
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
        const region_measures measures = measure_region(region);
        regions.append(py::make_tuple(s + 1, as_bytes(trimmed(state.surfaces[s].name)), corners,
                                      py::make_tuple(measures.centroid_x, measures.centroid_y),
                                      measures.area));
    }
    return regions;
}

// What the reader put into the run state: everything input.txt can hold.
py::dict input_state(const run_state& state) {
    py::dict d;
    d["bulk"] = py::make_tuple(state.bulk_count_1, state.bulk_count_2, state.bulk_energy_total,
                               state.bulk_divisor);
    d["window"] = py::make_tuple(state.x_min, state.x_max, state.y_min, state.y_max);
    py::list surfaces;
    for (int32_t i = 0; i < state.surface_count; ++i) {
        const surface_record& s = state.surfaces[i];
        surfaces.append(py::make_tuple(as_bytes(trimmed(s.name)),
                                       py::make_tuple(s.counts[0], s.counts[1], s.counts[2]),
                                       s.area, s.energy));
    }
    d["surfaces"] = surfaces;
    py::list labels;
    for (int32_t i = 0; i < state.label_count; ++i) {
        const label_record& l = state.labels[i];
        labels.append(py::make_tuple(l.x, l.y, l.label_size, as_bytes(trimmed(l.text))));
    }
    d["labels"] = labels;
    d["x_title"] = as_bytes(trimmed(state.x_axis_title));
    d["y_title"] = as_bytes(trimmed(state.y_axis_title));
    d["map_name"] = as_bytes(trimmed(state.map_file_name));
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
    return d;
}

// Raises `error` as the module's Fault (a floating-point fault) or Stopped exception.
[[noreturn]] void raise_error(const stopped_error& error, PyObject* stopped, PyObject* fault) {
    PyErr_SetString(error.is_fault ? fault : stopped, error.message.c_str());
    throw py::error_already_set();
}

// Runs `work` under the module lock without the GIL, then raises what stopped it.
template <typename Work>
void locked_call(Work work, PyObject* stopped, PyObject* fault) {
    stopped_error error{};
    bool ok = false;
    {
        py::gil_scoped_release released;
        const std::lock_guard<std::mutex> held(run_lock);
        ok = run_guarded(work, error);
    }
    if (!ok) raise_error(error, stopped, fault);
}

// The run state that reading `text` (and, unless `stop_after_reading`, solving it) leaves,
// computed under the module lock; raises what stopped it.
std::unique_ptr<run_state> computed_state(const std::string& text, bool stop_after_reading,
                                          PyObject* stopped, PyObject* fault) {
    auto snapshot = std::make_unique<run_state>();
    locked_call(
        [&] {
            compute_from_text(text, stop_after_reading);
            *snapshot = run;
        },
        stopped, fault);
    return snapshot;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    // Python keeps its own SIGINT handling: a Ctrl-C during a run raises KeyboardInterrupt
    // once the run has ended, instead of ending the interpreter.
    leave_interruptions_to_host(true);
    static PyObject* stopped =
        PyErr_NewException("phasemap._core.Stopped", PyExc_ValueError, nullptr);
    static PyObject* fault =
        PyErr_NewException("phasemap._core.Fault", PyExc_ArithmeticError, nullptr);
    m.attr("Stopped") = py::handle(stopped);
    m.attr("Fault") = py::handle(fault);

    // read(text) -> input state: what the reader stores for the text; no file is read or
    // written.
    m.def("read", [](const std::string& text) {
        return input_state(*computed_state(text, true, stopped, fault));
    });

    // check(text): reads the text as read() does and only refuses what the reader refuses.
    m.def("check", [](const std::string& text) {
        locked_call([&] { compute_from_text(text, true); }, stopped, fault);
    });

    // The run state a solve() left, kept for what is worked out from it only when asked for.
    py::class_<run_state>(m, "RunState");

    // solve(text) -> (planes, regions, run state): the regions found and reported for the
    // text, without a trace; no file is read or written.
    m.def("solve", [](const std::string& text) {
        std::unique_ptr<run_state> snapshot = computed_state(text, false, stopped, fault);
        py::list planes = surface_planes(*snapshot);
        py::list regions = stable_regions(*snapshot);
        return py::make_tuple(planes, regions, std::move(snapshot));
    });

    // phase_json(run state) -> the phase.json bytes of a solved run.
    m.def("phase_json", [](const run_state& solved) {
        std::string json;
        locked_call(
            [&] {
                run = solved;
                json = phase_json_text();
            },
            stopped, fault);
        return py::bytes(json);
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

    // _divide_by_zero(): a division by zero under the traps of a run, for the tests of the
    // fault path (no input the reader accepts is known to raise one).
    m.def("_divide_by_zero", [] {
        locked_call(
            [] {
                begin_fp_traps();
                volatile float zero = 0.0f;
                volatile float quotient = 1.0f / zero;
                (void)quotient;
                end_fp_traps();
            },
            stopped, fault);
    });

    // run_in(folder, text, json): a whole run of the program in `folder` with `text` as its
    // input.txt, which stays unwritten. The run works in the current folder (its units, its
    // folder lock), so the call changes into `folder` while it holds the module lock and
    // changes back before it returns, also after a fault.
    m.def("run_in", [](const std::string& folder, const std::string& text, bool json) {
        locked_call(
            [&] {
                const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                const int there = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (here < 0 || there < 0 || ::fchdir(there) != 0) {
                    const std::string reason = std::strerror(errno);
                    if (here >= 0) ::close(here);
                    if (there >= 0) ::close(there);
                    throw run_stopped{"phasemap: cannot enter the folder " + folder + ": " +
                                      reason};
                }
                ::close(there);
                returning_folder = here;
                set_input_text(&text);
                const int status = run_phasemap({json, false});
                set_input_text(nullptr);
                return_to_folder();
                if (status != 0) throw last_run_stop();
            },
            stopped, fault);
    });
}
