// Labels on the page: the segments and levels the markup scan finds, and how each segment is
// set (its size, rise and part in a stacked pair), which both maps draw as they are given; then
// in PostScript, the string bodies and the runs of one font each that a segment is shown in.
// (That ghostscript reads every glyph back as typed is checked in label_glyphs_test.)
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/modules.hpp"
#include "maps/page/page.hpp"
#include "maps/printps/label_scan.hpp"

namespace {

// The segments of a label as "text@level" joined by "|"; each segment's characters from..to
// of the label, which the maps draw, are its text.
std::string scan(const std::string& value) {
    text40 text;
    set_text(text, value.c_str());
    const label_segments segments = scan_label(text);
    std::string result;
    for (int32_t j = 0; j < segments.count; ++j) {
        const std::string span(text.data() + segments.from[j], text.data() + segments.to[j]);
        EXPECT_EQ(span.substr(0, trimmed_length(span.data(), static_cast<int32_t>(span.size()))),
                  trimmed_text(segments.text[j]))
            << value << " segment " << j;
        result.append(j > 0 ? "|" : "")
            .append(trimmed_text(segments.text[j]))
            .append("@")
            .append(std::to_string(segments.level[j]));
    }
    return result;
}

// The segments of a label of `size` points as set, "text size/rise" joined by "|", with F or
// S after the first and the second member of a stacked pair.
std::string set(const std::string& value, float size) {
    text40 text;
    set_text(text, value.c_str());
    const page_text placed = place_text({0.0f, 0.0f}, size, text);
    std::string result;
    for (int32_t j = 0; j < placed.segment_count; ++j) {
        const label_segment& segment = placed.segments[j];
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, " %g/%g", static_cast<double>(segment.size),
                      static_cast<double>(segment.rise));
        result.append(j > 0 ? "|" : "")
            .append(trimmed_text(segment_text(placed, j)))
            .append(numbers);
        if (segment.role != pair_role::none)
            result.append(segment.role == pair_role::first ? " F" : " S");
    }
    return result;
}

std::string escaped(const std::string& value) {
    char body[max_string_body];
    return {body, static_cast<std::size_t>(escape_postscript_string(
                      value.data(), static_cast<int32_t>(value.size()), body))};
}

// The runs of a segment as "font:body" joined by "|", T for Times-Roman, L for its Latin-1
// copy, S for Symbol.
std::string runs(const std::string& value) {
    const segment_runs split = split_into_runs(value.data(), static_cast<int32_t>(value.size()));
    std::string result;
    for (int32_t k = 0; k < split.count; ++k) {
        const glyph_run& run_k = split.run[k];
        const char* font = run_k.font == glyph_font::times_roman    ? "T:"
                           : run_k.font == glyph_font::times_latin1 ? "L:"
                                                                    : "S:";
        result.append(k > 0 ? "|" : "")
            .append(font)
            .append(run_k.body, static_cast<std::size_t>(run_k.length));
    }
    return result;
}

// Each row holds what a function gave and what is expected of it.
void expect_rows(std::initializer_list<std::pair<std::string, std::string>> rows) {
    for (const auto& [actual, expected] : rows) EXPECT_EQ(actual, expected);
}

}  // namespace

// Superscripts, subscripts and stacked pairs take their level from the segment before them;
// text after a closed group returns to the level around that group; the character after a
// mark is skipped (the whole character, so no byte of it is left over), and empty segments
// are kept except after the final brace.
TEST(LabelScan, LevelsOfGroups) {
    expect_rows({
        {scan("10^{-5}"), "10@0|-5@1"},
        {scan("x^{a}^{b}"), "x@0|a@1|b@2"},
        {scan("x^{a}_{b}"), "x@0|a@9|b@-9"},
        {scan("x^{a^{b}}"), "x@0|a@1|b@2|@1"},
        {scan("x^{a_{b}c}"), "x@0|a@9|b@-9|c@1"},
        {scan("a}b^{c}"), "a@0|b@0|c@1"},
        {scan("a^2"), "a@0|@1"},
        {scan("^{}"), "@0|@1"},
        {scan("{a} b"), "{a@0| b@0"},
        {scan("x^Δ2}"), "x@0|2@1"},
        {scan("Δμ_{O} θ^{2}"), "Δμ@0|O@-1| θ@0|2@1"},
    });
}

// The twentieth segment takes any further opening markup as ordinary text; a mark right
// after a brace that closed a piece opens none, so it still works, but a brace that was
// plain text does not make the next mark markup.
TEST(LabelScan, AtMostTwentySegments) {
    std::string empty_19;
    for (int j = 0; j < 19; ++j) empty_19 += "@0|";
    expect_rows({
        {scan(std::string(40, '}')), empty_19 + std::string(21, '}') + "@0"},
        {scan(std::string(19, '}') + "^{x}"), empty_19.substr(0, 18 * 3) + "@0|x}@1"},
        {scan(std::string(19, '}') + "}^{y"), empty_19 + "}^{y@0"},
    });
    std::string marks;
    for (int j = 0; j < 19; ++j) marks.append("@").append(std::to_string(-j)).append("|");
    EXPECT_EQ(scan(std::string(40, '_')), marks + std::string(20, '_') + "@-19");
}

// A segment is set at the size halved a level away from the baseline, truncated to whole
// points, and raised 0.45 or dropped 0.2 of the label's size a level; the first segment keeps
// the label's size as given. Stacked members are set as first superscripts or subscripts,
// and alternate first and second, also across two pairs and into a pair left unmatched.
TEST(LabelSetting, SizesRisesAndPairRoles) {
    expect_rows({
        {set("x^{a^{b}}", 12.5f), "x 12.5/0|a 6/5.625|b 3/11.25| 6/5.625"},
        {set("x_{a_{b}}", 20.0f), "x 20/0|a 10/-4|b 5/-8| 10/-4"},
        {set("x^{a_{b}c}", 20.0f), "x 20/0|a 10/9 F|b 10/-4 S|c 10/9"},
        {set("x^{a}_{b}^{c}_{d}", 20.0f), "x 20/0|a 10/9 F|b 10/-4 S|c 10/9 F|d 10/-4 S"},
        {set("x_{a}^{b}_{c}", 20.0f), "x 20/0|a 10/-4 F|b 10/9 S|c 10/-4 F"},
    });
}

// Only what would leave the string open or unbalanced is escaped.
TEST(PostScriptString, Escapes) {
    expect_rows({
        {escaped("f(x) = (a(b)c)"), "f(x) = (a(b)c)"},
        {escaped("a)b"), "a\\)b"},
        {escaped("(()"), "\\(()"},
        {escaped("a\\"), "a\\\\"},
        {escaped("\\(x"), "\\(x"},
        {escaped("\\\\)"), "\\\\\\)"},
    });
}

// A new run wherever the font changes; ASCII (but "-") stays in a Latin-1 run and blanks in a
// Symbol run; every glyph beyond ASCII is an octal escape, a character without one a "?".
// Parentheses pair only within an ASCII stretch, and a backslash before another font's glyph
// is shown, not taken as an escape.
TEST(LabelRuns, OneRunPerFont) {
    expect_rows({
        {runs("Δμ"), "S:\\104\\155"},
        {runs("θ=½ (√3×√3)R30° Å"),
         "S:\\161|T:=|L:\\275 \\(|S:\\326|T:3|L:\\327|S:\\326|T:3\\)R30|L:\\260 \\305"},
        {runs("∞ ≈ x"), "S:\\245 \\273 |T:x"},
        {runs("“a” – b"), "T:\\252a\\272 \\261 b"},
        {runs("中 x"), "T:? x"},
        {runs("\xC0\xAF\x80"), "T:??"},
        {runs("(α)"), "T:\\(|S:\\141|T:\\)"},
        {runs("a\\α"), "T:a\\\\|S:\\141"},
    });
}
