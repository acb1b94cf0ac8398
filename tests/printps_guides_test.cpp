// Ends of equilibrium lines: clipping at the lower bound for the start and the upper bound
// for the end only, vertical lines, lines in their own boxes and degenerate records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printps/outer_marks.hpp"
#include "support/test_support.hpp"

namespace {

struct ends_case {
    int32_t a;
    int32_t b;
    float c;
    line_limits limits;
};

line_ends ends_of(const ends_case& line) {
    line_ends ends{};
    EXPECT_TRUE(find_line_ends(line.a, line.b, line.c, line.limits, ends));
    return ends;
}

bool has_ends(const ends_case& line) {
    line_ends ends{};
    return find_line_ends(line.a, line.b, line.c, line.limits, ends);
}

void expect_ends(const line_ends& ends, float start_x, float start_y, float end_x, float end_y) {
    EXPECT_FLOAT_EQ(ends.start_x, start_x);
    EXPECT_FLOAT_EQ(ends.start_y, start_y);
    EXPECT_FLOAT_EQ(ends.end_x, end_x);
    EXPECT_FLOAT_EQ(ends.end_y, end_y);
}

const line_limits square{-3.0f, 0.0f, -3.0f, 0.0f};

// Rising lines are cut at the window's edges.
TEST(LineEnds, RisingLinesClipToTheWindow) {
    expect_ends(ends_of({1, -1, 0.0f, square}), -3.0f, -3.0f, 0.0f, 0.0f);  // y = x, no cut
    expect_ends(ends_of({1, -2, 0.0f, {-3.0f, 0.0f, -1.0f, 0.0f}}), -2.0f, -1.0f, 0.0f, 0.0f);
    expect_ends(ends_of({2, -1, 0.0f, square}), -1.5f, -3.0f, 0.0f, 0.0f);   // y = 2x
    expect_ends(ends_of({1, -1, -1.0f, square}), -3.0f, -2.0f, -1.0f, 0.0f); // y = x + 1
}

// A falling line is drawn between its two computed points even beyond the window.
TEST(LineEnds, FallingLinesAreNotClipped) {
    expect_ends(ends_of({1, 1, -3.0f, square}), -3.0f, 0.0f, 0.0f, -3.0f);
    expect_ends(ends_of({1, 1, -1.0f, square}), -3.0f, 2.0f, 0.0f, -1.0f);   // starts above
    // Passes below the window: the start moves onto the lower bound, left of the window.
    expect_ends(ends_of({1, 1, -8.0f, square}), -5.0f, -3.0f, 0.0f, -8.0f);
}

// b = 0: a vertical line at x = c/a over the full height.
TEST(LineEnds, VerticalLine) {
    expect_ends(ends_of({2, 0, -3.0f, square}), -1.5f, -3.0f, -1.5f, 0.0f);
    expect_ends(ends_of({-4, 0, 1.0f, {0.0f, 1.0f, 2.0f, 5.0f}}), -0.25f, 2.0f, -0.25f, 5.0f);
}

// An equ2 line uses its own box in place of the window.
TEST(LineEnds, BoxedLine) {
    expect_ends(ends_of({1, -1, 0.0f, {-2.0f, -1.0f, -1.5f, -1.2f}}), -1.5f, -1.5f, -1.2f, -1.2f);
}

// The clipping test uses the quotient before it is rounded to single precision: 1 - 1e-9
// rounds to 1 but lies below the bound, so the start moves onto it.
TEST(LineEnds, ClippingComparesTheUnroundedQuotient) {
    line_ends ends = ends_of({1, 1, 1.0f, {1.0e-9f, 2.0f, 1.0f, 10.0f}});
    EXPECT_EQ(ends.start_x, 0.0f);
    EXPECT_EQ(ends.start_y, 1.0f);
}

// Records whose ends would divide by zero or leave single precision give no line.
TEST(LineEnds, DegenerateRecordsHaveNoEnds) {
    EXPECT_FALSE(has_ends({0, 0, 1.0f, square}));
    EXPECT_FALSE(has_ends({0, 0, 0.0f, square}));
    EXPECT_FALSE(has_ends({0, 2, 1.0f, square}));   // y = 0.5 above the window: end would divide by a
    EXPECT_FALSE(has_ends({0, 1, -5.0f, square}));  // y = -5 below it: start would divide by a
    EXPECT_FALSE(has_ends({1, 1, 3.0e38f, {-3.0e38f, 0.0f, -1.0f, 1.0f}}));
    expect_ends(ends_of({0, 2, -1.0f, square}), -3.0f, -0.5f, 0.0f, -0.5f);  // horizontal inside
}

// Records of a whole-run map that contain `word`, in order, without their line ends.
std::vector<std::string> records_with(const std::string& content, const std::string& word) {
    std::vector<std::string> found;
    for (int line = 1; line <= count_lines(content); ++line) {
        std::string record = line_of(content, line);
        if (record.find(word) != std::string::npos) found.push_back(record);
    }
    return found;
}

int count_records_ending(const std::string& content, const std::string& tail) {
    int count = 0;
    for (int line = 1; line <= count_lines(content); ++line) {
        const std::string record = line_of(content, line);
        if (record.size() >= tail.size() && record.compare(record.size() - tail.size(), tail.size(), tail) == 0) ++count;
    }
    return count;
}

const char* const guide_input =
    "bound\r\n-3.0 0.0 -3.0 0.0\r\n"
    "xbound    3\r\n-2.5\r\n-2.0\r\n-1.5\r\n"
    "ybound    2\r\n-2.5\r\n-2.0\r\n"
    "equi 6\r\n1 -1 0.0\r\n0 0 1.0\r\n1 1 -3.0\r\n2 0 -3.0\r\n0 1 -5.0\r\n1 -2 0.0\r\n"
    "equ2 2\r\n1 -1 0.0 -2.0 -1.0 -1.5 -1.2\r\n0 0 1.0 -2.0 -1.0 -1.5 -1.2\r\n"
    "text 1\r\n-1.0 -1.0 25.0 'on top'\r\n"
    "stop\r\n";

// Each table numbers its own dash patterns; a line left out (a = b = 0, or a horizontal
// line below the window) keeps its place, so the lines after it keep their patterns.
TEST(GuideLines, DashPatternsFollowPlaceInOwnTable) {
    std::string dir;
    ASSERT_EQ(run_program_on("guide_dashes", guide_input, &dir).status, 0);
    const std::string map_text = read_file(dir + "/map1.ps");
    const std::vector<std::string> expected = {
        " []    0 setdash",  " [8 4] 0 setdash", " [4 4] 0 setdash",  // xbound
        " []    0 setdash",  " [8 4] 0 setdash",                       // ybound
        " []    0 setdash",  " [4 4] 0 setdash", " [2 4] 0 setdash",  // equi 1, 3, 4
        " [2 2] 0 setdash",                                            // equi 6
        " []    0 setdash",                                            // equ2 1
    };
    EXPECT_EQ(records_with(map_text, "setdash"), expected);
    const std::string lines = map_text.substr(map_text.find("setdash"));
    EXPECT_EQ(count_records_ending(lines, "  M"), 10);
    EXPECT_EQ(count_records_ending(lines, "  L"), 10);
    EXPECT_EQ(count_records_ending(lines, " S"), 10);
    expect_valid_postscript(dir + "/map1.ps");
}

// The free labels come after every line, just before the closing showpage.
TEST(GuideLines, LabelsAreDrawnLast) {
    std::string dir;
    ASSERT_EQ(run_program_on("guide_labels", guide_input, &dir).status, 0);
    const std::string map_text = read_file(dir + "/map1.ps");
    const std::size_t label = map_text.find("(on top)  show");
    ASSERT_NE(label, std::string::npos);
    EXPECT_GT(label, map_text.rfind("setdash"));
    EXPECT_EQ(map_text.find("  L\r\n", label), std::string::npos);
    EXPECT_EQ(map_text.substr(map_text.size() - 15), " N\r\n showpage\r\n");
}

}  // namespace
