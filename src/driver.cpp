#include "driver.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <ctime>
#include <new>
#include <string>
#include <string_view>

#include "modules.hpp"
#include "ouvrir.hpp"
#include "printps/printps.hpp"
#include "printsvg/printsvg.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "regions/regions.hpp"
#include "results/results.hpp"
#include "run_guards.hpp"
#include "run_points.hpp"

namespace {

// A run that finds another run's lock on its folder says so once it has waited this long.
constexpr long lock_patience_ms = 1000;
constexpr long lock_poll_ms = 2;

int folder_lock = -1;  // the locked run folder, while a run holds it
run_stopped run_stop;  // last_run_stop()

// A standard stream that was closed when the process started would otherwise be taken by
// the first file the run opens, and messages meant for it would land in that file.
void keep_standard_streams_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        const int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0 && null_fd != fd) close(null_fd);
    }
}

long milliseconds_since(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// Runs in one folder take turns: a run holds an exclusive lock on the open folder itself
// (which creates no file) from before it reads input.txt until its outputs are in place,
// so two runs never mix their files. Returns the locked descriptor, or -1 where the folder
// cannot be locked (a file system without locks), in which case the run goes on unlocked.
int lock_run_folder() {
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return -1;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (flock(folder, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return close(folder), -1;
        if (milliseconds_since(start) >= lock_patience_ms) {
            print_message("phasemap: waiting for another phasemap run in this folder to finish");
            while (flock(folder, LOCK_EX) != 0)
                if (errno != EINTR) return close(folder), -1;
            return folder;
        }
        const timespec pause{0, lock_poll_ms * 1000000};
        nanosleep(&pause, nullptr);
    }
    return folder;
}

// The phases of one run, in their fixed order, and the extra outputs asked for.
void run_phases(const extra_outputs& extras) {
    read_input();
    pass_run_point(run_point::input_read);
    write_list(unit_log, {item_text("Start")});
    search_vertices();
    pass_run_point(run_point::vertices_found);
    report_regions();
    pass_run_point(run_point::regions_reported);
    write_map();
    pass_run_point(run_point::map_written);
    if (extras.svg) write_svg_map();
    if (extras.json) write_phase_json();
}

// A complete run replaces its outputs as one set, log.out last; an interruption waits until
// they are in place.
void commit_outputs(const extra_outputs& extras) {
    hold_interruptions();
    if (extras.json && extras.svg)
        commit_output_units({unit_map, unit_svg, unit_json, unit_phase, unit_log});
    else if (extras.json)
        commit_output_units({unit_map, unit_json, unit_phase, unit_log});
    else if (extras.svg)
        commit_output_units({unit_map, unit_svg, unit_phase, unit_log});
    else
        commit_output_units({unit_map, unit_phase, unit_log});
}

// A failed run keeps log.out, with the error as its last record, and leaves phase.out and the
// map as they were. When log.out cannot be written either, the earlier one stays too, and
// standard error is told why.
void keep_log_of_failed_run(const run_stopped& stop) {
    run_stop = stop;
    const std::string& message = stop.message;
    hold_interruptions();
    print_message(message);
    for (int32_t unit : {unit_phase, unit_map, unit_json, unit_svg}) discard_output_unit(unit);
    if (!is_unit_open(unit_log)) return;
    try {
        write_raw_record(unit_log, message);
        commit_output_units({unit_log});
    } catch (const run_stopped& log_failure) {
        if (log_failure.message != message) print_message(log_failure.message);
    }
}

// Everything a run carries from phase to phase starts afresh here, so that one process can
// run in many folders or be called many times: the run state, the count of warnings and the
// run's last message. (The reader keeps its own state on its stack; the map writer sets its
// page geometry before it draws.)
void start_afresh() {
    reset_run_state();
    reset_warning_count();
    run_stop = {};
}

}  // namespace

int run_phasemap(const extra_outputs& extras) {
    keep_standard_streams_open();
    start_afresh();
    run.writes_json = extras.json;
    run.writes_svg = extras.svg;
    int status = 0;
    begin_interruption_guards();
    folder_lock = lock_run_folder();
    begin_fp_traps();
    try {
        run_phases(extras);
        commit_outputs(extras);
    } catch (const run_stopped& stop) {
        keep_log_of_failed_run(stop);
        status = 1;
    } catch (const std::bad_alloc&) {
        keep_log_of_failed_run({"phasemap: out of memory"});
        status = 1;
    }
    end_fp_traps();
    close_all_units();
    if (folder_lock >= 0) close(folder_lock);
    folder_lock = -1;
    end_interruption_guards();
    return status;
}

const run_stopped& last_run_stop() { return run_stop; }

void compute_from_text(const std::string& text, bool stop_after_reading) {
    start_afresh();
    set_input_text(&text);
    set_output_discard(true);
    begin_fp_traps();
    try {
        read_input();
        if (!stop_after_reading) {
            search_vertices();
            report_regions();
        }
    } catch (...) {
        abandon_run();
        throw;
    }
    abandon_run();
}

void abandon_run() {
    end_fp_traps();
    close_all_units();
    set_input_text(nullptr);
    set_output_discard(false);
    if (folder_lock >= 0) close(folder_lock);
    folder_lock = -1;
    end_interruption_guards();
}

void forget_run_after_fork() {
    forget_guards_after_fork();
    forget_units_after_fork();
    set_input_text(nullptr);
    set_output_discard(false);
    set_message_sink(nullptr);
    if (folder_lock >= 0) close(folder_lock);
    folder_lock = -1;
}
