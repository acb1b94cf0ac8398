// The examples and their pictures stay honest: every examples/<name>/input.txt runs to its
// end and writes exactly the map committed as docs/examples/<name>.ps, which ghostscript
// accepts, and docs/examples/<name>.png is its small picture, rendered with tools/render-map
// (whose failures are tested here too).
// With PHASEMAP_UPDATE_EXAMPLES=1 the produced maps are written back into docs/examples;
// render them again with tools/render-map and read the diff before committing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path source_root = fs::path(PHASEMAP_SOURCE_DIR);
const fs::path examples_root = source_root / "examples";
const fs::path pictures_root = source_root / "docs" / "examples";
const fs::path render_script = source_root / "tools" / "render-map";

// Pictures stay small enough for the repository.
constexpr std::uintmax_t largest_picture = 300 * 1024;

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

// Runs a shell command line and returns its exit status (-1 when it did not exit).
int exit_status_of(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The text as one shell word.
std::string quoted(const std::string& text) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
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

    // Several regions are stable in every example, or its picture shows little.
    const std::string phase = read_file((fs::path(dir) / "phase.out").string());
    int regions = 0;
    for (std::size_t at = phase.find(" vertices\r\n"); at != std::string::npos; at = phase.find(" vertices\r\n", at + 1))
        ++regions;
    EXPECT_GE(regions, 3) << name << " shows fewer than three stable regions";

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

TEST_P(ExampleRun, HasASmallPicture) {
    const fs::path picture = pictures_root / (GetParam() + ".png");
    ASSERT_TRUE(fs::exists(picture)) << picture << " is missing";
    EXPECT_LE(fs::file_size(picture), largest_picture) << picture << " is too large for the repository";
    EXPECT_EQ(read_file(picture.string()).compare(1, 3, "PNG"), 0) << picture << " is not a PNG";
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun, testing::ValuesIn(example_names()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                             std::string name = param_info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Every picture and map under docs/examples belongs to an example, and the demo of the
// README's first command exists.
TEST(ExampleFiles, PicturesMatchExamplesAndTheDemoExists) {
    const std::vector<std::string> names = example_names();
    EXPECT_GE(names.size(), 4u);
    for (const std::string& file : names_in(pictures_root)) {
        const fs::path path(file);
        if (path.extension() != ".png" && path.extension() != ".ps") continue;
        EXPECT_TRUE(std::count(names.begin(), names.end(), path.stem().string()) == 1)
            << "docs/examples/" << file << " belongs to no example";
    }

    const std::string makefile = read_file((source_root / "Makefile").string());
    const std::string key = "EXAMPLE ?= ";
    const std::size_t at = makefile.find(key);
    ASSERT_NE(at, std::string::npos) << "the Makefile names no EXAMPLE";
    const std::size_t start = at + key.size();
    const std::string demo = makefile.substr(start, makefile.find('\n', start) - start);
    EXPECT_TRUE(fs::exists(source_root / demo / "input.txt")) << "make demo runs " << demo << ", which has no input.txt";
}

// tools/render-map refuses what is no map and says clearly when ghostscript is missing.
TEST(RenderMap, RefusesWhatIsNoMapAndSaysWhenGhostscriptIsMissing) {
    const std::string dir = make_scratch_dir("render_map_failures");
    const std::string script = quoted(render_script.string());
    write_file(dir + "/empty.ps", "");
    EXPECT_EQ(exit_status_of(script + " 2>/dev/null"), 1);
    EXPECT_EQ(exit_status_of(script + " " + quoted(dir + "/absent.ps") + " 2>/dev/null"), 1);
    EXPECT_EQ(exit_status_of(script + " " + quoted(dir + "/empty.ps") + " 2>/dev/null"), 1);
    EXPECT_FALSE(file_exists(dir + "/empty.png"));

    // A PATH that holds every tool the script uses except gs.
    const std::string tools = dir + "/bin";
    fs::create_directories(tools);
    for (const char* tool : {"bash", "env", "head", "grep", "rm"})
        ASSERT_EQ(exit_status_of(std::string("ln -s \"$(command -v ") + tool + ")\" " + quoted(tools + "/" + tool)), 0);
    const std::string map = quoted((pictures_root / "oxide-in-oxygen-and-water.ps").string());
    EXPECT_EQ(exit_status_of("PATH=" + quoted(tools) + " " + script + " " + map + " " + quoted(dir + "/out") +
                             " 2>" + quoted(dir + "/stderr.txt")),
              2);
    EXPECT_NE(read_file(dir + "/stderr.txt").find("ghostscript (gs) is required"), std::string::npos);
    EXPECT_FALSE(file_exists(dir + "/out.png"));
}

}  // namespace
