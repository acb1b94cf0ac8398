// Labels in PostScript: the string bodies and the runs of one font each that a segment is
// shown in. (That ghostscript reads every glyph back as typed is checked in label_glyphs_test;
// the markup's segments and levels in page_label_test.)
#include <gtest/gtest.h>

#include <string>

#include "core/modules.hpp"
#include "maps/printps/label_scan.hpp"

namespace {

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
