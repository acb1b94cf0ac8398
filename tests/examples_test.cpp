// The examples stay honest: every examples/<name>/input.txt runs to its end without a
// warning and writes exactly the map committed as docs/examples/<name>.ps, which ghostscript
// accepts. With PHASEMAP_UPDATE_EXAMPLES=1 the produced maps are written back into
// docs/examples; render them again with tools/render-map and read the diff before committing.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

const std::string examples_root = PHASEMAP_SOURCE_DIR "/examples";
const std::string pictures_root = PHASEMAP_SOURCE_DIR "/docs/examples";

class ExampleRun : public testing::TestWithParam<std::string> {};

TEST_P(ExampleRun, WritesTheCommittedMap) {
    const std::string name = GetParam(), committed = pictures_root + "/" + name + ".ps";
    std::string dir;
    const run_result result = run_program_on(
        "example_" + name, read_file(examples_root + "/" + name + "/input.txt"), &dir);
    ASSERT_EQ(result.status, 0) << result.stderr_text;
    EXPECT_EQ(result.stderr_text, "");

    // Besides the input, the log and the phase report, the run leaves one file: the map.
    const std::set<std::string> own = {"input.txt", "log.out", "phase.out"},
                                maps = plain_files_in(dir, own);
    EXPECT_EQ(plain_files_in(dir).size(), own.size() + maps.size())
        << "input.txt, log.out or phase.out is missing";
    ASSERT_EQ(maps.size(), 1u) << "expected exactly one map file";
    const std::string produced = dir + "/" + *maps.begin();
    if (environment_is("PHASEMAP_UPDATE_EXAMPLES"))
        fs::copy_file(produced, committed, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(fs::exists(committed)) << committed << " is missing";
    EXPECT_EQ(first_difference(read_file(committed), read_file(produced)), "")
        << name << ": the map differs from " << committed;
    expect_valid_postscript(produced);
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun, testing::ValuesIn(folders_in(examples_root)),
                         folder_test_name);

}  // namespace
