// Time of the text side of a run in process: the vertex search and the region report on the
// sixteen-surface input, with log.out and phase.out written through real units onto
// /dev/null. Build Release and run from the source folder: build/bench/regions_bench
// [input.txt] [passes]. Reads the plane table once with the input reader, then repeats
// search and report on it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/modules.hpp"
#include "core/outputs.hpp"
#include "core/reader/ouvrir.hpp"
#include "core/regions/regions.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const fs::path input = fs::absolute(argc > 1 ? argv[1] : "bench/inputs/sixteen-surfaces.txt");
    const int32_t passes = argc > 2 ? std::atoi(argv[2]) : 200;
    const fs::path scratch = fs::temp_directory_path() / "phasemap-regions-bench";
    fs::create_directories(scratch);
    fs::copy_file(input, scratch / "input.txt", fs::copy_options::overwrite_existing);
    fs::current_path(scratch);

    std::vector<double> times;
    try {
        reset_run_state();
        set_up_outputs({});
        read_input();
        const run_state planes = run;
        for (int32_t pass = 0; pass < passes; ++pass) {
            run = planes;
            open_output_unit(unit_log, "log.out");  // temporaries in the scratch folder, never kept
            open_output_unit(unit_phase, "phase.out");
            const auto start = std::chrono::steady_clock::now();
            search_vertices();
            report_regions();
            flush_output_units();
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
    } catch (const run_stopped& stop) {
        std::fprintf(stderr, "%s\n", stop.message.c_str());
        return 1;
    }
    close_all_units();
    std::sort(times.begin(), times.end());
    std::printf(
        "search and report of %s: median %.3f ms, best %.3f ms over %d passes (%d vertices)\n",
        input.filename().c_str(), times[times.size() / 2], times.front(), passes, run.vertex_count);
    return 0;
}
