#include "driver.hpp"

#include <cstdio>

#include "modules.hpp"
#include "ouvrir.hpp"
#include "printps/printps.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "regions/regions.hpp"

[[gnu::weak]] void pass_run_point(run_point) {}

int run_phasemap() {
    reset_run_state();
    int status = 0;
    begin_fp_traps();
    try {
        read_input();
        pass_run_point(run_point::input_read);
        write_list(unit_log, {item_text("Start")});
        search_vertices();
        pass_run_point(run_point::vertices_found);
        report_regions();
        pass_run_point(run_point::regions_reported);
        write_map();
        pass_run_point(run_point::map_written);
        flush_output_units();
    } catch (const run_stopped& stop) {
        std::fprintf(stderr, "%s\n", stop.message.c_str());
        status = 1;
    }
    end_fp_traps();
    close_all_units();
    return status;
}
