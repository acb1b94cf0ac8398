// Fuzz target: one whole run on arbitrary bytes as input.txt, in a scratch folder. Every
// input must end in a complete run or in one clean fatal error, within bounded output and
// without leaving a temporary behind. The same bytes are then read as a host reads inputs of
// any number of surfaces, which must end as cleanly, with every surface the run state's table
// holds handed over as the table holds it.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "phasemap.hpp"

namespace {

// A complete run at full capacity writes a little over 1 MB; far more means a runaway.
constexpr std::uintmax_t max_output_bytes = 8u * 1024u * 1024u;

// Reads the input as read_every_surface does; a surface of the table that the sink does not
// hold as the table holds it aborts.
void check_every_surface(const uint8_t* data, size_t size) {
    std::vector<surface_read> surfaces;
    try {
        read_every_surface(std::string(reinterpret_cast<const char*>(data), size), surfaces);
    } catch (const run_stopped&) {
        return;
    }
    if (surfaces.size() < static_cast<std::size_t>(run.surface_count)) std::abort();
    for (int32_t i = 0; i < run.surface_count; ++i) {
        const surface_read& kept = surfaces[static_cast<std::size_t>(i)];
        const float plane[3] = {run.plane_a[i], run.plane_b[i], run.plane_d[i]};
        const float handed[3] = {kept.plane.a, kept.plane.b, kept.plane.d};
        if (std::memcmp(&kept.record, &run.surfaces[i], sizeof kept.record) != 0 ||
            std::memcmp(plane, handed, sizeof plane) != 0 || kept.line != run.surface_lines[i])
            std::abort();
    }
}

void check_output_size(const std::filesystem::path& file) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > max_output_bytes) {
        std::fprintf(stderr, "output %s has %ju bytes\n", file.c_str(), size);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("phasemap-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    if (chdir(dir.c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator("."))
        std::filesystem::remove_all(entry.path());
    FILE* input = std::fopen("input.txt", "wb");
    if (input == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, input) != size) std::abort();
    std::fclose(input);

    int status = run_phasemap();
    if (status != 0 && status != 1) std::abort();
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(".")) {
        if (entry.is_regular_file()) check_output_size(entry.path());
        if (entry.path().filename().string().find(".partial-") != std::string::npos) {
            std::fprintf(stderr, "the run left its temporary %s\n", entry.path().c_str());
            std::abort();
        }
    }
    check_every_surface(data, size);
    return 0;
}
