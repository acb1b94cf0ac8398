// Map records the golden maps do not reach: labels whose font sizes truncate to zero, whose
// parentheses do not pair or whose first segment fills its record, and region greys after a
// surface without a region.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "modules.hpp"
#include "printps/internals.hpp"
#include "printps/printps.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

std::string b(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// Runs `draw` with the map and log units open on files of a fresh scratch folder and gives
// what it wrote to the map and to the log.
std::pair<std::string, std::string> capture(const std::string& name, const std::function<void()>& draw) {
    const std::string dir = make_scratch_dir(name);
    open_output_unit(unit_log, (dir + "/log.out").c_str());
    open_output_unit(unit_map, (dir + "/map1.ps").c_str());
    draw();
    commit_output_unit(unit_log);
    commit_output_unit(unit_map);
    close_all_units();
    return {read_file(dir + "/map1.ps"), read_file(dir + "/log.out")};
}

// The map records of a label at (10, 10), once ghostscript has read them inside a minimal
// page that defines the prolog's M, N and STxt.
std::string label_records(const std::string& name, float size, const std::string& value) {
    text40 text;
    set_text(text, value.c_str());
    const std::string label = capture(name, [&] { write_label(10.0f, 10.0f, size, text); }).first;
    const std::string page_file = make_scratch_dir(name + "_page") + "/page.ps";
    write_file(page_file, "/M {moveto} def /N {newpath} def /STxt {dup stringwidth pop exch show} def\r\n" + label +
                              "showpage\r\n");
    expect_valid_postscript(page_file);
    return label;
}

const std::string label_start = b(7) + "10.000000" + b(7) + "10.000000 M  (";

}  // namespace

// Each nesting level halves the size and truncates it; a size that ends at 0 is written as 1,
// since a font of size 0 cannot be shown.
TEST(WriteLabel, SizeTruncatedToZero) {
    const std::string label = label_records("label_tiny", 12.5f, "x^{^{^{^{^{y}}}}}");
    EXPECT_EQ(line_of(label, 20), " /Times-Roman findfont" + b(7) + "1.000000 scalefont setfont");
    EXPECT_EQ(line_of(label, 21), " (y)  show");
}

// Parentheses that do not pair and a final backslash are escaped, so every string closes.
TEST(WriteLabel, StringsStayWellFormed) {
    const std::string label = label_records("label_parens", 20.0f, "f(x^{2)}\\");
    EXPECT_EQ(line_of(label, 2), label_start + "f\\(x)  show");
    EXPECT_EQ(line_of(label, 5), " (2\\))  show");
    EXPECT_EQ(line_of(label, 9), " (\\\\)  show");
}

// A first segment that fills its record goes through the writer that never cuts a string or
// the word "show".
TEST(WriteLabel, LongFirstSegment) {
    const std::string label = label_records("label_long", 20.0f, std::string(37, 'a'));
    EXPECT_EQ(line_of(label, 2), label_start + std::string(37, 'a') + ")  ");
    EXPECT_EQ(line_of(label, 3), " show");
}

// Greys follow the surface number, not the count of regions drawn; a region of fewer than
// three corners writes nothing, and the log writes every grey in two columns.
TEST(WriteMap, RegionFillsUseTheSurfaceGrey) {
    reset_run_state();
    run.x_max = 1.0f;
    run.y_max = 1.0f;
    run.surface_count = 11;
    run.vertex_count = 3;
    run.vertices[1] = {0.0f, 1.0f, 0.0f};
    run.vertices[2] = {1.0f, 0.0f, 0.0f};
    run.regions[1] = {2, {1, 2}};
    run.regions[3] = {3, {2, 3, 1}};
    run.regions[9] = {3, {1, 2, 3}};
    run.regions[10] = {3, {3, 2, 1}};
    const auto [map_bytes, log_bytes] = capture("map_greys", [] {
        set_up_page_geometry();
        fill_regions();
    });
    EXPECT_EQ(line_of(map_bytes, 2), "gr3");
    EXPECT_EQ(line_of(map_bytes, 9), "gr9");
    EXPECT_EQ(line_of(map_bytes, 16), "gr10");
    EXPECT_EQ(count_lines(map_bytes), 21);
    const std::string log_records[] = {" ", b(11) + "4", " newpath", "gr 3", " ", b(10) + "10", " newpath", "gr 9",
                                       " ", b(10) + "11", " newpath", "gr10"};
    ASSERT_EQ(count_lines(log_bytes), 12);
    for (int line = 1; line <= 12; ++line) EXPECT_EQ(line_of(log_bytes, line), log_records[line - 1]);
}

// The last major tick index of the x axis is the largest 32-bit integer: the ticks stop
// there, all 129 numbered, instead of counting past it.
TEST(WriteMap, MajorTicksUpToTheLargestIndex) {
    reset_run_state();
    run.x_min = 2147483520.0f;
    run.x_max = 2147483648.0f;
    run.y_max = 1.0f;
    run.shift_x = 0.5f;
    const std::string map_bytes = capture("map_last_index", [] {
        set_up_page_geometry();
        draw_frame_and_axes();
    }).first;
    std::size_t numbers = 0;
    for (std::size_t at = map_bytes.find(") SN"); at != std::string::npos; at = map_bytes.find(") SN", at + 1))
        ++numbers;
    EXPECT_EQ(numbers, 129u + 2u);  // x numbers 2147483519 to 2147483647, y numbers 0 and 1
    EXPECT_NE(map_bytes.find("(2147483647) SN"), std::string::npos);
}
