// Whole runs compared byte for byte with hand-checked outputs. Each folder under
// tests/golden holds input.txt and every file the run must leave beside it (log.out,
// phase.out, the map), plus `status` when the run must fail and `stderr.txt` when it writes
// on standard error (an error, warnings); notes.md says what the case shows. The run must
// leave exactly those files. With PHASEMAP_UPDATE_GOLDEN=1 the actual outputs are written
// back into the folder, to be read in `git diff` before they are committed.
// The examples stay honest the same way: every examples/<name>/input.txt runs to its end
// without a warning and writes exactly the map committed as docs/examples/<name>.ps, which
// ghostscript accepts. With PHASEMAP_UPDATE_EXAMPLES=1 the produced maps are written back
// into docs/examples; render them again with tools/render-map and read the diff before
// committing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

const std::string golden_root = PHASEMAP_SOURCE_DIR "/tests/golden";
const std::set<std::string> case_metadata = {"input.txt", "status", "stderr.txt", "notes.md"};

class GoldenRun : public testing::TestWithParam<std::string> {};

TEST_P(GoldenRun, MatchesExpectedFiles) {
    const fs::path case_dir = golden_root + "/" + GetParam();
    std::string dir;
    const run_result result =
        run_program_on("golden_" + GetParam(), read_file(case_dir / "input.txt"), &dir);
    const std::set<std::string> produced = plain_files_in(dir, {"input.txt"});
    if (environment_is("PHASEMAP_UPDATE_GOLDEN")) {
        for (const std::string& name : plain_files_in(case_dir, {"input.txt", "notes.md"}))
            fs::remove(case_dir / name);
        for (const std::string& name : produced)
            fs::copy_file(fs::path(dir) / name, case_dir / name);
        if (result.status != 0)
            write_file(case_dir / "status", std::to_string(result.status) + "\n");
        if (!result.stderr_text.empty()) write_file(case_dir / "stderr.txt", result.stderr_text);
    }

    EXPECT_EQ(result.status, std::atoi(read_file(case_dir / "status").c_str()))
        << result.stderr_text;                                          // 0 without one
    EXPECT_EQ(result.stderr_text, read_file(case_dir / "stderr.txt"));  // empty when there is none
    const std::set<std::string> expected = plain_files_in(case_dir, case_metadata);
    EXPECT_EQ(produced, expected) << "the run left other files than the golden folder holds";
    for (const std::string& name : produced) {
        const std::string path = dir + "/" + name, content = read_file(path);
        if (expected.count(name) == 1) {
            EXPECT_EQ(first_difference(read_file(case_dir / name), content), "")
                << GetParam() << "/" << name;
        }
        if (content.starts_with(" %!PS")) expect_valid_postscript(path);
    }
}

// The cases are found by listing the folder, so a missing or emptied folder must fail
// rather than pass with nothing to run.
TEST(GoldenCases, AreAllPresent) {
    ASSERT_TRUE(fs::is_directory(golden_root)) << golden_root << " is missing";
    const std::vector<std::string> names = folders_in(golden_root);
    EXPECT_FALSE(names.empty());
    for (const std::string& name : names)
        EXPECT_TRUE(fs::exists(golden_root + "/" + name + "/input.txt")) << name;
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRun, testing::ValuesIn(folders_in(golden_root)),
                         folder_test_name);

const std::string examples_root = PHASEMAP_SOURCE_DIR "/examples";
const std::string pictures_root = PHASEMAP_SOURCE_DIR "/docs/examples";

// The examples written as input.txt; the Python studies beside them (study.py) are run by
// the module's tests.
std::vector<std::string> input_examples() {
    std::vector<std::string> names;
    for (const std::string& name : folders_in(examples_root))
        if (fs::exists(examples_root + "/" + name + "/input.txt")) names.push_back(name);
    return names;
}

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

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun, testing::ValuesIn(input_examples()),
                         folder_test_name);

}  // namespace
