// Throughput of the list-directed layer on the mix of records a full vertex search writes to
// log.out: plane triples with their point ("i, j, k, x, y, g"), single reals, "+++" markers
// and "m, e, g" lines. Output goes through a real unit onto /dev/null (or the file named by
// the first argument). Build Release and run: build/bench/records_bench
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "records/records.hpp"

namespace {

constexpr int32_t rounds_per_pass = 200000;
constexpr int32_t passes = 5;
constexpr int32_t reals_per_round = 6;

uint32_t random_state = 12345u;

// A value of the magnitudes the trace holds: energies of a few eV, coordinates, small and
// large numbers for both real forms.
float next_value() {
    random_state = random_state * 1664525u + 1013904223u;
    float unit = static_cast<float>(random_state >> 8) / 16777216.0f;
    switch (random_state & 3u) {
        case 0: return unit * 20.0f - 10.0f;
        case 1: return unit * 0.9f;
        case 2: return unit * 3000.0f;
        default: return -unit * 1.0e-3f;
    }
}

int32_t next_index() {
    random_state = random_state * 1664525u + 1013904223u;
    return static_cast<int32_t>(random_state >> 28) + 1;
}

void write_round() {
    write_list(unit_log,
               {item_int(next_index()), item_int(next_index()), item_int(next_index()),
                item_real(next_value()), item_real(next_value()), item_real(next_value())});
    write_list(unit_log, {item_real(next_value())});
    write_list(unit_log, {item_text("+++")});
    write_list(unit_log,
               {item_int(next_index()), item_real(next_value()), item_real(next_value())});
}

}  // namespace

int main(int argc, char** argv) {
    // The unit writes a temporary beside this name, removed again at the end.
    const std::string path =
        argc > 1 ? argv[1]
                 : (std::filesystem::temp_directory_path() / "records-bench.out").string();
    open_output_unit(unit_log, path.c_str());
    for (int32_t i = 0; i < rounds_per_pass / 10; ++i) write_round();  // warm up
    double best_seconds = 1.0e30;
    for (int32_t pass = 0; pass < passes; ++pass) {
        auto start = std::chrono::steady_clock::now();
        for (int32_t i = 0; i < rounds_per_pass; ++i) write_round();
        flush_output_units();
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() < best_seconds) best_seconds = elapsed.count();
    }
    close_all_units();
    // List fields have fixed widths, so a round is always 158 bytes: records of 68 and 16
    // columns (the sixth field moves on), 16, 4 and 44 columns, each followed by CR LF.
    double reals = static_cast<double>(rounds_per_pass) * reals_per_round;
    double bytes = static_cast<double>(rounds_per_pass) * 158.0;
    std::printf(
        "list-directed records: %.1f million reals/s, %.0f MB/s of log (best of %d passes)\n",
        reals / best_seconds / 1.0e6, bytes / best_seconds / 1.0e6, passes);
    return 0;
}
