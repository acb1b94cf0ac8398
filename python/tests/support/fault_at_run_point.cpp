// For the tests' own copy of the extension (never installed): a run or a computation divides
// by zero at the run point that the environment variable PHASEMAP_FAULT_AT names
// ("vertices_found"), as no input the reader accepts is known to make it do.
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/run_points.hpp"

void pass_run_point(run_point point) {
    static constexpr const char* phases[] = {"input_read", "vertices_found", "regions_reported",
                                             "map_written"};
    const char* chosen = std::getenv("PHASEMAP_FAULT_AT");
    const auto index = static_cast<std::size_t>(point);
    if (chosen == nullptr || index >= std::size(phases) || std::strcmp(chosen, phases[index]) != 0)
        return;
    volatile double zero = 0.0;
    volatile double quotient = 1.0 / zero;
    (void)quotient;
}
