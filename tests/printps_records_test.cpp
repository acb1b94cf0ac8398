// Map records byte for byte: labels, tick numbers, region fills and the whole document of a
// small hand-made run state; every document written here must also pass ghostscript.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "modules.hpp"
#include "printps/page_layout.hpp"
#include "printps/printps.hpp"
#include "printps/sections.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

std::string b(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

std::string records(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

text40 label(const std::string& value) {
    text40 text;
    set_text(text, value.c_str());
    return text;
}

struct written {
    std::string map;
    std::string log;
    std::string map_path;
};

// Runs `draw` with the map and log units open on files of a fresh scratch folder.
written capture(const std::string& name, const std::function<void()>& draw) {
    const std::string dir = make_scratch_dir(name);
    const std::string map_path = dir + "/map1.ps";
    set_text(run.map_file_name, "map1.ps");
    open_output_unit(unit_log, (dir + "/log.out").c_str());
    open_output_unit(unit_map, map_path.c_str());
    draw();
    close_all_units();
    return {read_file(map_path), read_file(dir + "/log.out"), map_path};
}

written label_at(const std::string& name, float x, float y, float size, const std::string& text) {
    return capture(name, [&] { write_label(x, y, size, label(text)); });
}

// A label needs the prolog's M, N and STxt; ghostscript reads it inside a minimal page.
void expect_valid_label(const written& out) {
    const std::string page = out.map_path + ".page.ps";
    write_file(page, "/M {moveto} def /N {newpath} def /STxt {dup stringwidth pop exch show} def\r\n" + out.map +
                         "showpage\r\n");
    expect_valid_postscript(page);
}

std::string font(const std::string& size_field) { return " /Times-Roman findfont" + size_field + " scalefont setfont"; }

// A superscript: raised by 0.45 of the size in half the size, then moved back.
TEST(WriteLabel, Superscript) {
    const written out = label_at("label_superscript", 415.0f, 170.0f, 20.0f, "10^{-5}");
    EXPECT_EQ(first_difference(records({font(b(6) + "20.000000"),
                                        b(6) + "415.000000" + b(6) + "170.000000 M  (10)  show",
                                        b(11) + "0" + b(8) + "9.000000 rmoveto",
                                        font(b(6) + "10.000000"),
                                        " (-5)  show",
                                        b(11) + "0" + b(7) + "-9.000000 rmoveto",
                                        " N"}),
                               out.map),
              "");
    EXPECT_EQ(first_difference(records({b(11) + "2  -5" + b(38) + "  " + b(10) + "1", " "}), out.log), "");
}

// Sizes truncate (25 gives 12 and 6); the empty segment between two braces is written at
// the level around the inner group, and a size that truncates to 0 is written as 1.
TEST(WriteLabel, SizesAndLevels) {
    const written nested = label_at("label_nested", 10.0f, 10.0f, 25.0f, "x^{a^{b}}");
    EXPECT_EQ(line_of(nested.map, 3), b(11) + "0" + b(7) + "11.250000 rmoveto");
    EXPECT_EQ(line_of(nested.map, 4), font(b(6) + "12.000000"));
    EXPECT_EQ(line_of(nested.map, 7), b(11) + "0" + b(7) + "22.500000 rmoveto");
    EXPECT_EQ(line_of(nested.map, 8), font(b(7) + "6.000000"));
    EXPECT_EQ(line_of(nested.map, 13), " ()  show");
    EXPECT_EQ(line_of(nested.log, 5), b(11) + "4  " + b(40) + "  " + b(10) + "1");

    const written tiny = label_at("label_tiny", 10.0f, 10.0f, 12.5f, "x^{^{^{^{^{y}}}}}");
    EXPECT_EQ(line_of(tiny.map, 20), font(b(7) + "1.000000"));
    EXPECT_EQ(line_of(tiny.map, 21), " (y)  show");
    expect_valid_label(tiny);

    const written zero = label_at("label_zero", 10.0f, 10.0f, 0.0f, "a");
    EXPECT_EQ(line_of(zero.map, 1), font(b(7) + "1.000000"));
    expect_valid_label(zero);
}

// Unbalanced parentheses and a final backslash are escaped, so the document stays readable.
TEST(WriteLabel, StringsStayWellFormed) {
    const written out = label_at("label_parens", 10.0f, 10.0f, 20.0f, "f(x^{2)}\\");
    EXPECT_EQ(line_of(out.map, 2), b(7) + "10.000000" + b(7) + "10.000000 M  (f\\(x)  show");
    EXPECT_EQ(line_of(out.map, 5), " (2\\))  show");
    EXPECT_EQ(line_of(out.map, 9), " (\\\\)  show");
    expect_valid_label(out);
}

// Long first segments: the string and the word "show" are never cut.
TEST(WriteLabel, LongFirstSegment) {
    const std::string start = b(6) + "415.000000" + b(6) + "170.000000 M  (";
    const written fits = label_at("label_36", 415.0f, 170.0f, 20.0f, std::string(36, 'a'));
    EXPECT_EQ(line_of(fits.map, 2), start + std::string(36, 'a') + ")  show");
    EXPECT_EQ(line_of(fits.map, 3), " ");
    EXPECT_EQ(line_of(fits.map, 4), " N");

    for (int length : {37, 38, 39, 40}) {
        const written out = label_at("label_" + std::to_string(length), 415.0f, 170.0f, 20.0f,
                                     std::string(static_cast<std::size_t>(length), 'a'));
        EXPECT_EQ(line_of(out.map, 2), start + std::string(static_cast<std::size_t>(length), 'a') + ")  ") << length;
        EXPECT_EQ(line_of(out.map, 3), " show") << length;
        expect_valid_label(out);
    }
}

// Coordinates that overflow F7.2, or fill it as the second field, widen their fields.
TEST(TickNumbers, FormatWidensOnlyWhenNeeded) {
    auto format_of = [](float first, float second, int32_t number) {
        const format_text format = tick_number_format(first, second, number);
        return std::string(format.text, static_cast<std::size_t>(format.length));
    };
    EXPECT_EQ(format_of(209.0f, 80.0f, -2), "(1x,2f7.2,a4,i4,a4)");
    EXPECT_EQ(format_of(-999.0f, 999.0f, -999), "(1x,2f7.2,a4,i4,a4)");
    EXPECT_EQ(format_of(0.5f, -0.25f, 0), "(1x,2f7.2,a4,i4,a4)");
    EXPECT_EQ(format_of(-1468.0f, 80.0f, 0), "(1x,f8.2,f7.2,a4,i4,a4)");
    EXPECT_EQ(format_of(50.0f, 1000.0f, 1), "(1x,f7.2,f8.2,a4,i4,a4)");
    EXPECT_EQ(format_of(50.0f, -1448.0f, 0), "(1x,f7.2,f9.2,a4,i4,a4)");
    EXPECT_EQ(format_of(85.0f, 80.0f, -1500), "(1x,f7.2,f7.2,a4,i5,a4)");
}

// Greys follow the surface number, not the count of regions drawn; regions of fewer than
// three corners write nothing, and the log writes every grey in two columns.
TEST(WriteMap, RegionFillsUseTheSurfaceGrey) {
    reset_run_state();
    run.x_max = 1.0f;
    run.y_max = 1.0f;
    run.surface_count = 11;
    run.vertex_count = 3;
    run.vertices[1] = {0.0f, 1.0f, 0.0f};
    run.vertices[2] = {1.0f, 0.0f, 0.0f};
    const int32_t corners[][3] = {{1, 2, 0}, {2, 3, 1}, {1, 2, 3}, {3, 2, 1}};
    const int32_t surfaces[] = {2, 4, 10, 11};
    for (int32_t r = 0; r < 4; ++r) {
        region_record& region = run.regions[surfaces[r] - 1];
        region.n_vertices = r == 0 ? 2 : 3;
        for (int32_t c = 0; c < 3; ++c) region.vertex_list[c] = corners[r][c];
    }
    const written out = capture("map_greys", [] {
        set_start_up_values();
        set_up_page_geometry();
        fill_regions();
    });
    const std::string first_fill = records({" newpath", "gr3", b(6) + "110.000000" + b(6) + "484.000000  M",
                                            b(6) + "484.000000" + b(6) + "110.000000  L",
                                            b(6) + "110.000000" + b(6) + "110.000000  L", " closepath", " fill"});
    EXPECT_EQ(first_difference(first_fill, out.map.substr(0, first_fill.size())), "");
    EXPECT_NE(out.map.find("\r\ngr9\r\n"), std::string::npos);
    EXPECT_NE(out.map.find("\r\ngr10\r\n"), std::string::npos);
    EXPECT_EQ(count_lines(out.map), 21);
    EXPECT_EQ(first_difference(records({" ", b(11) + "4", " newpath", "gr 3", " ", b(10) + "10", " newpath", "gr 9",
                                        " ", b(10) + "11", " newpath", "gr10"}),
                               out.log),
              "");
}

}  // namespace
