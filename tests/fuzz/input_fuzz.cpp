// Fuzz target: one whole run on arbitrary bytes as input.txt, in a scratch folder. Every
// input must end in a complete run or in one clean fatal error, within bounded output and
// without leaving a temporary behind.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "phasemap.hpp"

namespace {

// A complete run at full capacity writes a little over 1 MB; far more means a runaway.
constexpr std::uintmax_t max_output_bytes = 8u * 1024u * 1024u;

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
    return 0;
}
