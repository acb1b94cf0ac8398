// The examples stay honest: every examples/<name>/input.txt runs to its end and writes
// exactly the map committed as docs/examples/<name>.ps, which ghostscript accepts.
// With PHASEMAP_UPDATE_EXAMPLES=1 the produced maps are written back into docs/examples;
// render them again with tools/render-map and read the diff before committing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path source_root = fs::path(PHASEMAP_SOURCE_DIR);
const fs::path examples_root = source_root / "examples";
const fs::path pictures_root = source_root / "docs" / "examples";

std::vector<std::string> example_names() {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(examples_root))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::set<std::string> names_in(const fs::path& dir) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    return names;
}

bool updating() {
    const char* flag = std::getenv("PHASEMAP_UPDATE_EXAMPLES");
    return flag != nullptr && std::string(flag) == "1";
}

class ExampleRun : public testing::TestWithParam<std::string> {};

TEST_P(ExampleRun, WritesTheCommittedMap) {
    const std::string name = GetParam();
    std::string dir;
    const run_result result = run_program_on("example_" + name, read_file((examples_root / name / "input.txt").string()), &dir);
    ASSERT_EQ(result.status, 0) << result.stderr_text;
    EXPECT_EQ(result.stderr_text, "");

    // Besides the input, the log and the phase report, the run leaves one file: the map.
    std::set<std::string> maps = names_in(dir);
    for (const char* own : {"input.txt", "log.out", "phase.out"}) {
        EXPECT_EQ(maps.count(own), 1u) << own << " is missing";
        maps.erase(own);
    }
    ASSERT_EQ(maps.size(), 1u) << "expected exactly one map file";
    const fs::path produced = fs::path(dir) / *maps.begin();

    const fs::path committed = pictures_root / (name + ".ps");
    if (updating()) {
        fs::create_directories(pictures_root);
        fs::copy_file(produced, committed, fs::copy_options::overwrite_existing);
    }
    ASSERT_TRUE(fs::exists(committed)) << committed << " is missing";
    const std::string difference = first_difference(read_file(committed.string()), read_file(produced.string()));
    EXPECT_TRUE(difference.empty()) << name << ": the map differs from " << committed << ": " << difference;
    expect_valid_postscript(produced.string());
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun, testing::ValuesIn(example_names()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                             std::string name = param_info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
