// tools/render-map turns a map into a cropped PNG, PDF and EPS, making the output folder
// when it is missing and leaving the map itself as it was; it refuses what is no map, a
// folder it cannot make and a bad resolution, and says clearly when ghostscript is missing.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path source_root = fs::path(PHASEMAP_SOURCE_DIR);
const fs::path render_script = source_root / "tools" / "render-map";
const fs::path demo_map = source_root / "docs" / "examples" / "oxide-in-oxygen-and-water.ps";

// The text as one shell word.
std::string quoted(const std::string& text) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

struct command_result {
    int status;          // exit status, -1 when the command did not exit
    std::string output;  // standard output and standard error together
};

command_result run_command(const std::string& command) {
    command_result result{-1, {}};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool have_ghostscript() { return std::system("command -v gs >/dev/null 2>&1") == 0; }

bool under_ci() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

struct box {
    int left = 0, bottom = 0, right = 0, top = 0;
    bool found = false;
};

// The first "%%BoundingBox: l b r t" line of a text.
box bounding_box_in(const std::string& text) {
    box found;
    const std::size_t at = text.find("%%BoundingBox:");
    if (at == std::string::npos) return found;
    std::istringstream line(text.substr(at + 14, text.find('\n', at) - at - 14));
    found.found = static_cast<bool>(line >> found.left >> found.bottom >> found.right >> found.top);
    return found;
}

// Where ghostscript's bbox device finds marks on the page a PostScript file draws.
box marks_of(const std::string& path) {
    return bounding_box_in(run_command("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox " + quoted(path)).output);
}

#define REQUIRE_GHOSTSCRIPT()                                                             \
    do {                                                                                  \
        if (!have_ghostscript()) {                                                        \
            if (under_ci()) FAIL() << "ghostscript (gs) is required under CI";            \
            GTEST_SKIP() << "ghostscript (gs) is not installed";                          \
        }                                                                                 \
    } while (false)

// A relative output base name whose folder does not exist yet, as a user would type it.
TEST(RenderMap, WritesPictureAndPdfAndATightConformingEpsIntoANewFolder) {
    REQUIRE_GHOSTSCRIPT();
    const std::string dir = make_scratch_dir("render_map_outputs");
    const std::string map = read_file(demo_map.string());
    write_file(dir + "/map1.ps", map);

    const command_result run =
        run_command("cd " + quoted(dir) + " && " + quoted(render_script.string()) + " map1.ps pictures/oxide");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("Error"), std::string::npos) << run.output;
    EXPECT_EQ(read_file(dir + "/map1.ps"), map) << "render-map changed the map";

    const std::string base = dir + "/pictures/oxide";
    EXPECT_EQ(read_file(base + ".png").substr(0, 4), "\x89PNG");
    EXPECT_EQ(read_file(base + ".pdf").substr(0, 5), "%PDF-");

    const std::string eps = read_file(base + ".eps");
    ASSERT_EQ(eps.substr(0, 24), "%!PS-Adobe-3.0 EPSF-3.0\n");
    const std::string header = eps.substr(0, eps.find("%%EndComments"));
    const box declared = bounding_box_in(header);
    ASSERT_TRUE(declared.found) << "no %%BoundingBox in the EPS header:\n" << header;
    EXPECT_NE(header.find("%%HiResBoundingBox:"), std::string::npos);

    // Tight: the declared box is where the EPS draws, and as large as the drawing of the map.
    const box eps_marks = marks_of(base + ".eps");
    const box map_marks = marks_of(dir + "/map1.ps");
    ASSERT_TRUE(eps_marks.found && map_marks.found);
    EXPECT_EQ(declared.left, eps_marks.left);
    EXPECT_EQ(declared.bottom, eps_marks.bottom);
    EXPECT_EQ(declared.right, eps_marks.right);
    EXPECT_EQ(declared.top, eps_marks.top);
    EXPECT_NEAR(declared.right - declared.left, map_marks.right - map_marks.left, 1);
    EXPECT_NEAR(declared.top - declared.bottom, map_marks.top - map_marks.bottom, 1);
    expect_valid_postscript(base + ".eps");
}

TEST(RenderMap, RefusesWhatIsNoMapAndAFolderItCannotMake) {
    const std::string dir = make_scratch_dir("render_map_failures");
    const std::string script = quoted(render_script.string());
    write_file(dir + "/empty.ps", "");
    EXPECT_EQ(run_command(script).status, 1);
    EXPECT_EQ(run_command(script + " " + quoted(dir + "/absent.ps")).status, 1);
    EXPECT_EQ(run_command(script + " " + quoted(dir + "/empty.ps")).status, 1);
    EXPECT_FALSE(file_exists(dir + "/empty.png"));
    EXPECT_EQ(run_command("PHASEMAP_RENDER_DPI=high " + script + " " + quoted(demo_map.string()) + " " +
                          quoted(dir + "/dpi"))
                  .status,
              1);
    EXPECT_FALSE(file_exists(dir + "/dpi.png"));

    REQUIRE_GHOSTSCRIPT();
    // The output folder would have to be made inside a plain file.
    write_file(dir + "/file", "");
    const command_result blocked =
        run_command(script + " " + quoted(demo_map.string()) + " " + quoted(dir + "/file/sub/out"));
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.output.find("cannot create or write the output folder"), std::string::npos) << blocked.output;
    EXPECT_EQ(blocked.output.find("Error"), std::string::npos) << "a ghostscript report leaked:\n" << blocked.output;
}

TEST(RenderMap, SaysWhenGhostscriptIsMissing) {
    const std::string dir = make_scratch_dir("render_map_no_gs");
    // A PATH that holds every tool the script uses before it looks for gs.
    const std::string tools = dir + "/bin";
    fs::create_directories(tools);
    for (const char* tool : {"bash", "env", "head", "grep", "rm"})
        ASSERT_EQ(run_command(std::string("ln -s \"$(command -v ") + tool + ")\" " + quoted(tools + "/" + tool)).status, 0);
    const command_result run = run_command("PATH=" + quoted(tools) + " " + quoted(render_script.string()) + " " +
                                           quoted(demo_map.string()) + " " + quoted(dir + "/out/map"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("ghostscript (gs) is required"), std::string::npos) << run.output;
    EXPECT_FALSE(file_exists(dir + "/out"));
}

}  // namespace
