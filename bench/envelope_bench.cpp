// The exact envelope engine alone: microseconds per envelope over four decades of planes,
// for each way of finding neighbours (all pairs up to a few thousand planes), on random
// terminations of an adsorbate-coverage study (many parallel planes) and on random planes.
//
//     cmake --build build --target envelope_bench && build/bench/envelope_bench
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/envelope.hpp"

namespace {

// Terminations with x and y counts on a grid over three cell areas, energies from a smooth
// trend with noise: the planes' slopes repeat, their constants differ.
std::vector<engine::plane> study(std::size_t n, std::mt19937_64& rng) {
    std::uniform_int_distribution<int> count_x(-12, 12), count_y(0, 24), cell(0, 2);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::vector<engine::plane> planes(n);
    for (engine::plane& p : planes) {
        const double area = 20.5 * (1 << cell(rng)), nx = count_x(rng), ny = count_y(rng);
        const double energy = 0.08 * nx * nx + 1.1 * nx + 1.4 * ny + noise(rng) * (1.0 + ny / 8);
        p = {-8.01 * nx / area, -8.01 * ny / area, 8.01 * (energy - 0.9 * nx - 1.3 * ny) / area};
    }
    return planes;
}

std::vector<engine::plane> uniform(std::size_t n, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<engine::plane> planes(n);
    for (engine::plane& p : planes) p = {u(rng), u(rng), u(rng)};
    return planes;
}

double microseconds(const std::vector<engine::plane>& planes, const engine::window& w,
                    engine::method how, std::size_t& regions) {
    std::size_t repeats = 1;
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < repeats; ++k)
            regions = engine::lower_envelope(planes, w, how).regions.size();
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed > 0.2) return elapsed / static_cast<double>(repeats) * 1e6;
        repeats *= 4;
    }
}

}  // namespace

int main() {
    std::mt19937_64 rng(27);
    const engine::window w{-2.0, 0.0, -1.5, 0.0};
    std::printf("%-8s %8s %8s %12s %12s\n", "planes", "kind", "regions", "pairs (us)", "hull (us)");
    for (const std::size_t n : {10, 16, 32, 48, 64, 100, 300, 1000, 3000, 10000, 100000}) {
        for (const bool coverage : {true, false}) {
            const auto planes = coverage ? study(n, rng) : uniform(n, rng);
            std::size_t regions = 0;
            const double pairs =
                n <= 3000 ? microseconds(planes, w, engine::method::all_pairs, regions) : -1.0;
            const double hull = microseconds(planes, w, engine::method::hull, regions);
            std::printf("%-8zu %8s %8zu %12.1f %12.1f\n", n, coverage ? "study" : "uniform",
                        regions, pairs, hull);
        }
    }
}
