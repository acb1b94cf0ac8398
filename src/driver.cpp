#include "driver.hpp"

#include <fcntl.h>
#include <unistd.h>
#include <new>
#include <string>
#include <string_view>

#include "modules.hpp"
#include "ouvrir.hpp"
#include "printps/printps.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "regions/regions.hpp"

namespace {

// A standard stream that was closed when the process started would otherwise be taken by
// the first file the run opens, and messages meant for it would land in that file.
void keep_standard_streams_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        const int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0 && null_fd != fd) close(null_fd);
    }
}

// The phases of one run, in their fixed order.
void run_phases() {
    read_input();
    pass_run_point(run_point::input_read);
    write_list(unit_log, {item_text("Start")});
    search_vertices();
    pass_run_point(run_point::vertices_found);
    report_regions();
    pass_run_point(run_point::regions_reported);
    write_map();
    pass_run_point(run_point::map_written);
}

// A complete run replaces all three outputs; an interruption waits until they are in place.
void commit_outputs() {
    hold_interruptions();
    commit_output_unit(unit_map);
    pass_run_point(run_point::outputs_moving);
    commit_output_unit(unit_phase);
    commit_output_unit(unit_log);
}

// A failed run keeps log.out, with the error as its last record, and leaves phase.out and the
// map as they were. When log.out cannot be written either, the earlier one stays too, and
// standard error is told why.
void keep_log_of_failed_run(std::string_view message) {
    hold_interruptions();
    print_message(message);
    discard_output_unit(unit_phase);
    discard_output_unit(unit_map);
    if (!is_unit_open(unit_log)) return;
    try {
        commit_output_unit(unit_log);
    } catch (const run_stopped& log_failure) {
        if (log_failure.message != message) print_message(log_failure.message);
    }
}

}  // namespace

[[gnu::weak]] void pass_run_point(run_point) {}

int run_phasemap() {
    keep_standard_streams_open();
    reset_run_state();
    reset_warning_count();
    int status = 0;
    begin_fp_traps();
    begin_interruption_guards();
    try {
        run_phases();
        commit_outputs();
    } catch (const run_stopped& stop) {
        keep_log_of_failed_run(stop.message);
        status = 1;
    } catch (const std::bad_alloc&) {
        constexpr std::string_view message = "phasemap: out of memory";
        if (is_unit_open(unit_log)) write_raw_record(unit_log, message);
        keep_log_of_failed_run(message);
        status = 1;
    }
    end_fp_traps();
    end_interruption_guards();
    close_all_units();
    return status;
}
