// The driver: whole runs in a folder and computations without files (phasemap.hpp), the
// phases of each in their fixed order.
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/folder_lock.hpp"
#include "core/modules.hpp"
#include "core/outputs.hpp"
#include "core/reader/ouvrir.hpp"
#include "core/reader/ouvrir_checks.hpp"
#include "core/reader/surface_table.hpp"
#include "core/regions/regions.hpp"
#include "core/run_guards.hpp"
#include "core/run_points.hpp"
#include "maps/page/page.hpp"
#include "maps/printps/printps.hpp"
#include "maps/printsvg/printsvg.hpp"
#include "phasemap.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

const char phasemap_version[] = PHASEMAP_VERSION;

namespace {

folder_lock run_lock{-1, -1};        // the run folder's lock, while a run holds it
bool (*lock_wait_hook)() = nullptr;  // set_lock_wait_hook
run_stopped run_stop;                // last_run_stop()

// The end of a phase: its run point, then, in a host, the check for a floating-point fault.
void end_phase(run_point point) {
    pass_run_point(point);
    stop_on_floating_point_fault();
}

// The phases that find the regions, which whole runs and computations share.
void find_regions() {
    search_vertices();
    end_phase(run_point::vertices_found);
    report_regions();
    end_phase(run_point::regions_reported);
}

// The phases of one run, in their fixed order, and the optional outputs asked for.
void run_phases() {
    read_input();
    end_phase(run_point::input_read);
    write_list(unit_log, {item_text("Start")});
    find_regions();
    lay_out_page();
    stop_on_floating_point_fault();
    write_map();
    end_phase(run_point::map_written);
    write_asked_outputs();
}

// A complete run replaces its outputs as one set, log.out last; an interruption waits until
// they are in place.
void commit_outputs() {
    hold_interruptions();
    commit_asked_outputs();
}

// A failed run keeps log.out, with the error as its last record, and leaves every other
// output as it was.
void keep_log_of_failed_run(const run_stopped& stop) {
    run_stop = stop;
    hold_interruptions();
    print_message(stop.message);
    keep_log_alone(stop.message);
}

// Everything a run carries from phase to phase starts afresh here, so that one process can
// run in many folders or be called many times: the run state, the count of warnings and the
// run's last message. (The reader keeps its own state on its stack; the page model is laid
// out afresh before the maps are written.)
void start_afresh() {
    reset_run_state();
    reset_warning_count();
    run_stop = {};
}

// The end of a computation, however it ends.
void end_computation() {
    end_fp_traps();
    close_all_units();
    set_input_text(nullptr);
    set_output_discard(false);
    set_surface_sink(nullptr);
}

// A run in `folder` once the run state and its table of outputs are set up: waits for the
// folder's lock, carries out `phases` and commits the outputs asked for as one set, or after
// a fatal error keeps log.out alone (when it is open) with the message. Returns as
// run_phasemap_in does.
template <typename Phases>
int run_locked_in(int folder, const std::string* input_text, Phases phases) {
    int status = 0;
    begin_interruption_guards();
    if (lock_folder(folder, lock_wait_hook, run_lock) == lock_outcome::given_up) {
        end_interruption_guards();
        return run_given_up;
    }
    set_run_folder(folder);
    set_input_text(input_text);
    begin_fp_traps();
    try {
        phases();
        commit_outputs();
    } catch (const run_stopped& stop) {
        keep_log_of_failed_run(stop);
        status = 1;
    } catch (const std::bad_alloc&) {
        keep_log_of_failed_run({"phasemap: out of memory"});
        status = 1;
    }
    end_fp_traps();
    close_all_units();
    set_input_text(nullptr);
    set_run_folder(AT_FDCWD);
    unlock_folder(run_lock);
    end_interruption_guards();
    return status;
}

// A computation of the run state without files: reads the input, from `text` or else from
// input.txt of the run's folder, with every output discarded and, with `surfaces`, every
// surface handed to it; then, `with_regions`, searches the vertices and reports the regions.
void compute(const std::string* text, std::vector<surface_read>* surfaces, bool with_regions) {
    set_input_text(text);
    set_output_discard(true);
    set_surface_sink(surfaces);
    begin_fp_traps();
    try {
        read_input();
        end_phase(run_point::input_read);
        if (with_regions) find_regions();
    } catch (...) {
        end_computation();
        throw;
    }
    end_computation();
}

}  // namespace

void keep_standard_streams_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        const int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0 && null_fd != fd) close(null_fd);
    }
}

void set_lock_wait_hook(bool (*give_up)()) { lock_wait_hook = give_up; }

int run_phasemap_in(int folder, const output_choices& choices, const std::string* input_text) {
    keep_standard_streams_open();
    start_afresh();
    set_up_outputs(choices);
    return run_locked_in(folder, input_text, run_phases);
}

int run_phasemap(const output_choices& choices) {
    keep_standard_streams_open();
    const int here = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (here < 0) {
        print_message("phasemap: cannot open the current folder: " +
                      std::string(std::strerror(errno)));
        return 1;
    }
    const int status = run_phasemap_in(here, choices);
    close(here);
    return status;
}

const run_stopped& last_run_stop() { return run_stop; }

void compute_from_text(const std::string& text, bool stop_after_reading) {
    start_afresh();
    set_up_outputs({});
    compute(&text, nullptr, !stop_after_reading);
}

void read_every_surface(const std::string& text, std::vector<surface_read>& surfaces) {
    start_afresh();
    set_up_outputs({});
    surfaces.clear();
    compute(&text, &surfaces, false);
}

void read_every_surface_in(int folder, const output_choices& choices,
                           std::vector<surface_read>& surfaces) {
    start_afresh();
    set_up_outputs(choices);
    surfaces.clear();
    set_run_folder(folder);
    try {
        compute(nullptr, &surfaces, false);
    } catch (...) {
        set_run_folder(AT_FDCWD);
        throw;
    }
    set_run_folder(AT_FDCWD);
}

int write_host_outputs_in(int folder, std::string_view map_name,
                          std::span<const host_output> outputs) {
    keep_standard_streams_open();
    start_afresh();
    output_choices choices{};
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string_view choice = outputs[i].choice;
        const bool is_repeated =
            std::any_of(outputs.begin(), outputs.begin() + static_cast<std::ptrdiff_t>(i),
                        [&](const host_output& earlier) { return earlier.choice == choice; });
        if (!is_repeated && ask_for_output(choices, choice)) continue;
        run_stop = {"phasemap: no output, or one given twice, is asked for by '" +
                    escape_control_bytes(choice) + "'"};
        print_message(run_stop.message);
        return 1;
    }
    set_up_host_outputs(choices);
    return run_locked_in(folder, nullptr, [&] {
        name_outputs_after_map(map_name);
        check_output_names(entry_lines{});
        write_host_outputs(outputs);
    });
}

std::string svg_map_of(const run_state& solved) {
    run = solved;
    std::string svg;
    begin_fp_traps();
    try {
        lay_out_page();
        stop_on_floating_point_fault();
        svg = text_as_records(run_svg_map());
    } catch (...) {
        end_fp_traps();
        throw;
    }
    end_fp_traps();
    return svg;
}

std::string svg_map_of_regions(const std::string& text, const region_list& regions,
                               title_symbol symbol) {
    compute_from_text(text, true);
    std::string svg;
    std::vector<page_region> filled;
    std::vector<page_point> corners;
    std::vector<std::string_view> names(static_cast<std::size_t>(regions.count));
    for (int32_t i = 0; i < regions.count; ++i)
        names[static_cast<std::size_t>(i)] = regions.names[regions.surfaces[i] - 1];
    begin_fp_traps();
    try {
        lay_out_page(symbol);
        lay_out_given_regions(regions, filled, corners);
        stop_on_floating_point_fault();
        svg = text_as_records(
            svg_map_text({regions.count, filled.data(), corners.data(), names.data()}));
    } catch (...) {
        end_fp_traps();
        throw;
    }
    end_fp_traps();
    return svg;
}

void forget_run_after_fork() {
    forget_guards_after_fork();
    forget_units_after_fork();
    set_input_text(nullptr);
    set_output_discard(false);
    set_surface_sink(nullptr);
    set_message_sink(nullptr);
    set_run_folder(AT_FDCWD);
    unlock_folder(run_lock);
}
