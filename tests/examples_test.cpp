// The examples and their pictures stay honest: every examples/<name>/input.txt runs to its
// end and writes exactly the map committed as docs/examples/<name>.ps, which ghostscript
// accepts, and docs/examples/<name>.png is its small picture, rendered with tools/render-map
// (whose cropping and failures are tested here too).
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

// Pictures are greyscale PNGs of at most a Letter page at 90 dots per inch.
constexpr int32_t largest_picture_width = 765;
constexpr int32_t largest_picture_height = 990;
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

bool has_ghostscript() { return std::system("command -v gs >/dev/null 2>&1") == 0; }

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

struct png_size {
    int32_t width;
    int32_t height;
};

// Width and height from a PNG's header; zero when the bytes are no PNG.
png_size size_of_png(const std::string& bytes) {
    static const std::string signature = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, 8, signature) != 0 || bytes.compare(12, 4, "IHDR") != 0) return {0, 0};
    auto big_endian = [&](std::size_t at) {
        int64_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = value * 256 + static_cast<unsigned char>(bytes[at + i]);
        return value > INT32_MAX ? int32_t{0} : static_cast<int32_t>(value);
    };
    return {big_endian(16), big_endian(20)};
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
    const png_size size = size_of_png(read_file(picture.string()));
    ASSERT_GT(size.width, 0) << picture << " is not a PNG";
    EXPECT_LE(size.width, largest_picture_width) << picture;
    EXPECT_LE(size.height, largest_picture_height) << picture;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun, testing::ValuesIn(example_names()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                             std::string name = param_info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Every picture and map under docs/examples belongs to an example, the demo of the
// README's first command exists, and the README and the guide link to files that exist.
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

    // Every relative link of the README and the guide leads to a file or folder.
    for (const char* page : {"README.md", "docs/guide.md"}) {
        const fs::path page_path = source_root / page;
        const std::string text = read_file(page_path.string());
        for (std::size_t link = text.find("]("); link != std::string::npos; link = text.find("](", link + 1)) {
            const std::size_t from = link + 2;
            std::string target = text.substr(from, text.find(')', from) - from);
            target = target.substr(0, target.find('#'));
            if (target.empty() || target.find("://") != std::string::npos) continue;
            EXPECT_TRUE(fs::exists(page_path.parent_path() / target)) << page << " links to " << target << ", which does not exist";
        }
    }
}

// tools/render-map: PNG and PDF cut to the drawing plus a 14-point margin, and its failures.
TEST(RenderMap, CutsThePictureToTheDrawing) {
    if (!has_ghostscript()) GTEST_SKIP() << "ghostscript (gs) is not installed";
    const std::string dir = make_scratch_dir("render_map");
    const std::string script = quoted(render_script.string());
    // A rectangle 200 by 300 points, in a file that begins with a blank as maps do.
    write_file(dir + "/box.ps", " %!PS\r\n 100 200 moveto 300 200 lineto 300 500 lineto 100 500 lineto fill\r\n showpage\r\n");
    write_file(dir + "/blank.ps", " %!PS\r\n showpage\r\n");
    // A leading '-', a blank and a '%' in the name must not confuse ghostscript.
    const std::string out_name = "-box 100% drawn";
    const std::string render = "cd " + quoted(dir) + " && PHASEMAP_RENDER_DPI=72 " + script + " ";
    ASSERT_EQ(exit_status_of(render + "box.ps " + quoted(out_name) + " >/dev/null"), 0);
    ASSERT_EQ(exit_status_of(render + "blank.ps >/dev/null"), 0);

    const png_size box = size_of_png(read_file(dir + "/" + out_name + ".png"));
    EXPECT_NEAR(box.width, 200 + 2 * 14, 3);
    EXPECT_NEAR(box.height, 300 + 2 * 14, 3);
    EXPECT_EQ(read_file(dir + "/" + out_name + ".pdf").rfind("%PDF", 0), 0u);
    // Nothing drawn: the whole declared box, 576 by 756 points.
    const png_size blank = size_of_png(read_file(dir + "/blank.png"));
    EXPECT_EQ(blank.width, 576);
    EXPECT_EQ(blank.height, 756);
}

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
