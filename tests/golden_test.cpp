// Whole runs compared byte for byte with hand-checked outputs. Each folder under
// tests/golden holds input.txt and every file the run must leave beside it (log.out,
// phase.out, the map), plus `status` when the run must fail and `stderr.txt` when it writes
// on standard error (an error, warnings); notes.md says what the case shows. The run must
// leave exactly those files. With PHASEMAP_UPDATE_GOLDEN=1 the actual outputs are written
// back into the folder, to be read in `git diff` before they are committed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path golden_root = fs::path(PHASEMAP_SOURCE_DIR) / "tests" / "golden";
const std::set<std::string> case_metadata = {"input.txt", "status", "stderr.txt", "notes.md"};

std::vector<std::string> golden_cases() {
    std::vector<std::string> names;
    if (fs::exists(golden_root))
        for (const fs::directory_entry& entry : fs::directory_iterator(golden_root))
            if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::set<std::string> files_in(const fs::path& dir, const std::set<std::string>& skip) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && skip.count(entry.path().filename().string()) == 0)
            names.insert(entry.path().filename().string());
    return names;
}

bool updating() {
    const char* flag = std::getenv("PHASEMAP_UPDATE_GOLDEN");
    return flag != nullptr && std::string(flag) == "1";
}

class GoldenRun : public testing::TestWithParam<std::string> {};

TEST_P(GoldenRun, MatchesExpectedFiles) {
    const fs::path case_dir = golden_root / GetParam();
    std::string dir;
    run_result result = run_program_on("golden_" + GetParam(), read_file((case_dir / "input.txt").string()), &dir);

    const std::set<std::string> produced = files_in(dir, {"input.txt"});
    if (updating()) {
        for (const std::string& name : files_in(case_dir, case_metadata)) fs::remove(case_dir / name);
        for (const std::string& name : produced) fs::copy_file(fs::path(dir) / name, case_dir / name);
        fs::remove(case_dir / "status");
        fs::remove(case_dir / "stderr.txt");
        if (result.status != 0) write_file((case_dir / "status").string(), std::to_string(result.status) + "\n");
        if (!result.stderr_text.empty()) write_file((case_dir / "stderr.txt").string(), result.stderr_text);
    }

    int expected_status = 0;
    if (fs::exists(case_dir / "status")) expected_status = std::atoi(read_file((case_dir / "status").string()).c_str());
    EXPECT_EQ(result.status, expected_status) << result.stderr_text;
    std::string expected_stderr;
    if (fs::exists(case_dir / "stderr.txt")) expected_stderr = read_file((case_dir / "stderr.txt").string());
    EXPECT_EQ(result.stderr_text, expected_stderr);

    const std::set<std::string> expected = files_in(case_dir, case_metadata);
    EXPECT_EQ(produced, expected) << "the run left other files than the golden folder holds";
    for (const std::string& name : expected) {
        if (produced.count(name) == 0) continue;
        std::string difference = first_difference(read_file((case_dir / name).string()),
                                                  read_file((fs::path(dir) / name).string()));
        EXPECT_TRUE(difference.empty()) << GetParam() << "/" << name << ": " << difference;
    }
    for (const std::string& name : produced) {
        std::string content = read_file((fs::path(dir) / name).string());
        if (content.rfind(" %!PS", 0) == 0) expect_valid_postscript((fs::path(dir) / name).string());
    }
}

// The cases are found by listing the folder, so a missing or emptied folder must fail
// rather than pass with nothing to run.
TEST(GoldenCases, AreAllPresent) {
    ASSERT_TRUE(fs::is_directory(golden_root)) << golden_root << " is missing";
    const std::vector<std::string> names = golden_cases();
    EXPECT_GE(names.size(), 48u);
    for (const std::string& name : names)
        EXPECT_TRUE(fs::exists(golden_root / name / "input.txt")) << name << " has no input.txt";
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRun, testing::ValuesIn(golden_cases()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                             std::string name = param_info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
