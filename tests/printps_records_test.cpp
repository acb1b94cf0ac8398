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

// A stacked pair: the upper member shows with STxt and moves back by its width.
TEST(WriteLabel, StackedPair) {
    const written out = label_at("label_stacked", 100.0f, 200.0f, 20.0f, "x^{a}_{b}");
    EXPECT_EQ(first_difference(records({font(b(6) + "20.000000"),
                                        b(6) + "100.000000" + b(6) + "200.000000 M  (x)  show",
                                        b(11) + "0" + b(8) + "9.000000 rmoveto",
                                        font(b(6) + "10.000000"),
                                        " (a)  STxt 0 exch sub",
                                        b(7) + "-9.000000 rmoveto",
                                        b(11) + "0" + b(7) + "-4.000000 rmoveto",
                                        font(b(6) + "10.000000"),
                                        " (b)  show",
                                        b(11) + "0" + b(8) + "4.000000 rmoveto",
                                        " N"}),
                               out.map),
              "");
    EXPECT_EQ(line_of(out.log, 1), b(11) + "2  a" + b(39) + "  " + b(10) + "9");
    EXPECT_EQ(line_of(out.log, 3), b(11) + "3  b" + b(39) + "  " + b(9) + "-9");
    expect_valid_label(out);
}

// Sizes truncate (25 gives 12 and 6); the empty segment between two braces is written at
// the level around the inner group, and a size that truncates to 0 is written as 1.
TEST(WriteLabel, SizesAndLevels) {
    const written nested = label_at("label_nested", 10.0f, 10.0f, 25.0f, "x^{a^{b}}");
    EXPECT_EQ(line_of(nested.map, 3), b(11) + "0" + b(7) + "11.250000 rmoveto");
    EXPECT_EQ(line_of(nested.map, 4), font(b(6) + "12.000000"));
    EXPECT_EQ(line_of(nested.map, 7), b(11) + "0" + b(7) + "22.500000 rmoveto");
    EXPECT_EQ(line_of(nested.map, 8), font(b(7) + "6.000000"));
    EXPECT_EQ(line_of(nested.map, 12), font(b(6) + "12.000000"));
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

void set_window(float x_min, float x_max, float y_min, float y_max) {
    reset_run_state();
    run.x_min = x_min;
    run.x_max = x_max;
    run.y_min = y_min;
    run.y_max = y_max;
    run.temp1_1 = -1.0f;
    run.temp2_1 = -1.0f;
    set_text(run.x_axis_title, "H");
    set_text(run.y_axis_title, "O");
}

// Makes region s (1-based) the polygon through the given vertex numbers.
void set_region(int32_t s, std::initializer_list<int32_t> corners) {
    region_record& region = run.regions[s - 1];
    region.n_vertices = 0;
    for (int32_t v : corners) region.vertex_list[region.n_vertices++] = v;
}

// The square window -3..0 with one surface over all of it.
void set_square_example() {
    set_window(-3.0f, 0.0f, -3.0f, 0.0f);
    run.surface_count = 1;
    run.vertex_count = 4;
    run.vertices[0] = {-3.0f, -3.0f, 0.0f};
    run.vertices[1] = {-3.0f, 0.0f, 0.0f};
    run.vertices[2] = {0.0f, -3.0f, 0.0f};
    run.vertices[3] = {0.0f, 0.0f, 0.0f};
    set_region(1, {2, 4, 3, 1});
}

std::string point(const std::string& x, const std::string& y, const char* op) {
    return b(16 - static_cast<int>(x.size())) + x + b(16 - static_cast<int>(y.size())) + y + "  " + op;
}

std::string tick(const std::string& x0, const std::string& y0, const std::string& x1, const std::string& y1) {
    return b(16 - static_cast<int>(x0.size())) + x0 + b(16 - static_cast<int>(y0.size())) + y0 + "  M" +
           b(15 - static_cast<int>(x1.size())) + x1 + b(16 - static_cast<int>(y1.size())) + y1 + "  L  S";
}

// The frame of the document around the sections, and the first records of each section.
TEST(WriteMap, SquareWindowDocument) {
    set_square_example();
    const written out = capture("map_square", write_map);
    EXPECT_EQ(line_of(out.map, 1), " %!PS-Adobe-2.0 EPSF-2.0");
    EXPECT_EQ(line_of(out.map, 2), " %%Title:  Velmars ps :0)");
    EXPECT_EQ(line_of(out.map, 10), " %%BeginProlog");
    EXPECT_EQ(line_of(out.map, 33), " /co0  {CoRed} def");
    EXPECT_EQ(line_of(out.map, 61), " /gr19 {0.05 Gr} def");
    EXPECT_EQ(line_of(out.map, 63), " %%BeginSetup");
    EXPECT_EQ(line_of(out.map, 66), b(4) + "0.000000E+00" + b(7) + "94.000000   translate");
    // The region, white, from its corner at the top left clockwise.
    EXPECT_EQ(line_of(out.map, 67), " newpath");
    EXPECT_EQ(line_of(out.map, 68), "gr0");
    EXPECT_EQ(line_of(out.map, 69), point("110.000000", "483.000000", "M"));
    EXPECT_EQ(line_of(out.map, 70), point("483.000000", "483.000000", "L"));
    EXPECT_EQ(line_of(out.map, 73), " closepath");
    EXPECT_EQ(line_of(out.map, 74), " fill");
    // The frame, then the first x major tick with its number.
    EXPECT_EQ(line_of(out.map, 75), " newpath");
    EXPECT_EQ(line_of(out.map, 77), " 3 setlinewidth");
    EXPECT_EQ(line_of(out.map, 80), point("483.000000", "483.000000", "L"));
    EXPECT_EQ(line_of(out.map, 83), " S");
    EXPECT_EQ(line_of(out.map, 87), tick("110.000000", "110.000000", "110.000000", "130.000000"));
    EXPECT_EQ(line_of(out.map, 88), tick("110.000000", "483.000000", "110.000000", "463.000000"));
    EXPECT_EQ(line_of(out.map, 89), "   85.00  80.00 M (  -3) SN");
    EXPECT_EQ(line_of(out.map, 92), "  209.00  80.00 M (  -2) SN");
    EXPECT_EQ(line_of(out.map, 99), " 1 setlinewidth");
    // The sixteenth minor tick has drifted to 3.9e-07 and stands one point right of the last major one.
    EXPECT_EQ(line_of(out.map, 130), tick("484.000000", "110.000000", "484.000000", "120.000000"));
    EXPECT_EQ(line_of(out.map, 132), " 3 setlinewidth");
    EXPECT_EQ(line_of(out.map, 135), "   50.00 105.00 M (  -3) SN");
    EXPECT_EQ(line_of(out.map, 176), tick("110.000000", "484.000000", "120.000000", "484.000000"));
    EXPECT_EQ(line_of(out.map, 178), " /Symbol findfont 30 scalefont setfont");
    EXPECT_EQ(line_of(out.map, 179), b(9) + "296" + b(7) + "60.000000 M  (m)  SN");
    EXPECT_EQ(line_of(out.map, 180), b(7) + "30.000000" + b(9) + "296 M  (m)  SN");
    EXPECT_EQ(line_of(out.map, 182), b(6) + "311.000000" + b(7) + "52.000000 M  (H)  show");
    EXPECT_EQ(line_of(out.map, 185), b(7) + "45.000000" + b(6) + "288.000000 M  (O)  show");
    EXPECT_EQ(line_of(out.map, 187), " /Times-Roman findfont 30 scalefont setfont");
    EXPECT_EQ(line_of(out.map, 188), " showpage");
    EXPECT_EQ(count_lines(out.map), 188);
    EXPECT_EQ(first_difference(records({" ", b(11) + "1", " newpath", "gr 0"}), out.log), "");
    expect_valid_postscript(out.map_path);
}

// Greys follow the surface number; regions of fewer than three corners are skipped.
TEST(WriteMap, RegionFillsUseTheSurfaceGrey) {
    set_window(0.0f, 1.0f, 0.0f, 1.0f);
    run.surface_count = 11;
    run.vertex_count = 3;
    run.vertices[0] = {0.0f, 0.0f, 0.0f};
    run.vertices[1] = {0.0f, 1.0f, 0.0f};
    run.vertices[2] = {1.0f, 0.0f, 0.0f};
    set_region(2, {1, 2});
    set_region(4, {2, 3, 1});
    set_region(10, {1, 2, 3});
    set_region(11, {3, 2, 1});
    const written out = capture("map_greys", [] {
        set_start_up_values();
        set_up_page_geometry();
        fill_regions();
    });
    EXPECT_EQ(first_difference(records({" newpath", "gr3", point("110.000000", "484.000000", "M"),
                                        point("484.000000", "110.000000", "L"),
                                        point("110.000000", "110.000000", "L"),
                                        " closepath", " fill",
                                        " newpath", "gr9",
                                        point("110.000000", "110.000000", "M"),
                                        point("110.000000", "484.000000", "L"),
                                        point("484.000000", "110.000000", "L"),
                                        " closepath", " fill",
                                        " newpath", "gr10",
                                        point("484.000000", "110.000000", "M"),
                                        point("110.000000", "484.000000", "L"),
                                        point("110.000000", "110.000000", "L"),
                                        " closepath", " fill"}),
                               out.map),
              "");
    EXPECT_EQ(first_difference(records({" ", b(11) + "4", " newpath", "gr 3",
                                        " ", b(10) + "10", " newpath", "gr 9",
                                        " ", b(10) + "11", " newpath", "gr10"}),
                               out.log),
              "");
}

// Ticks far outside a small window get wide number fields, and the document stays valid.
TEST(WriteMap, FarTicksOfASmallWindow) {
    set_window(0.893f, 1.108f, 0.893f, 1.108f);
    const written out = capture("map_small_window", write_map);
    EXPECT_NE(out.map.find(" M (   0) SN"), std::string::npos);
    EXPECT_EQ(out.map.find("**"), std::string::npos);
    expect_valid_postscript(out.map_path);
}

}  // namespace
