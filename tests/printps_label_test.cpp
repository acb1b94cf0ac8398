// Label markup: segments and levels of the scan, the PostScript string bodies, the runs of
// one font each that a segment is shown in, and what ghostscript reads off a map's labels.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "modules.hpp"
#include "printps/internals.hpp"
#include "support/test_support.hpp"

namespace {

text40 label(const std::string& value) {
    text40 text;
    set_text(text, value.c_str());
    return text;
}

struct piece {
    std::string text;
    int32_t level;
    piece(std::string text_value, int32_t level_value) : text(std::move(text_value)), level(level_value) {}
    bool operator==(const piece&) const = default;
};

std::ostream& operator<<(std::ostream& out, const piece& s) { return out << "{\"" << s.text << "\", " << s.level << "}"; }

std::vector<piece> scan(const std::string& value) {
    const label_segments segments = scan_label(label(value));
    std::vector<piece> result;
    for (int32_t j = 0; j < segments.count; ++j)
        result.push_back({trimmed_text(segments.text[j]),
                          segments.level[j]});
    return result;
}

std::string escaped(const std::string& value) {
    char body[max_string_body];
    const int32_t length = escape_postscript_string(value.data(), static_cast<int32_t>(value.size()), body);
    return std::string(body, static_cast<std::size_t>(length));
}

using segments = std::vector<piece>;

// Superscripts, subscripts and stacked pairs, by the level of the segment before them.
TEST(LabelScan, LevelsOfGroups) {
    EXPECT_EQ(scan("plain text"), (segments{{"plain text", 0}}));
    EXPECT_EQ(scan("10^{-5}"), (segments{{"10", 0}, {"-5", 1}}));
    EXPECT_EQ(scan("x^{a}^{b}"), (segments{{"x", 0}, {"a", 1}, {"b", 2}}));
    EXPECT_EQ(scan("x_{a}_{b}"), (segments{{"x", 0}, {"a", -1}, {"b", -2}}));
    EXPECT_EQ(scan("x^{a}_{b}"), (segments{{"x", 0}, {"a", 9}, {"b", -9}}));
    EXPECT_EQ(scan("x_{b}^{a}"), (segments{{"x", 0}, {"b", -9}, {"a", 9}}));
}

// Text after a closed group returns to the level around that group.
TEST(LabelScan, TextAfterAGroup) {
    EXPECT_EQ(scan("x_{a}b"), (segments{{"x", 0}, {"a", -1}, {"b", 0}}));
    EXPECT_EQ(scan("x^{a^{b}}"), (segments{{"x", 0}, {"a", 1}, {"b", 2}, {"", 1}}));
    EXPECT_EQ(scan("x^{a_{b}c}"), (segments{{"x", 0}, {"a", 9}, {"b", -9}, {"c", 1}}));
    EXPECT_EQ(scan("x^{a}_{b}c"), (segments{{"x", 0}, {"a", 9}, {"b", -9}, {"c", 0}}));
    EXPECT_EQ(scan("a}b^{c}"), (segments{{"a", 0}, {"b", 0}, {"c", 1}}));
}

// The character after a mark is skipped, and empty segments are kept except after the final brace.
TEST(LabelScan, EmptyAndOddSegments) {
    EXPECT_EQ(scan("a^2"), (segments{{"a", 0}, {"", 1}}));
    EXPECT_EQ(scan("^{}"), (segments{{"", 0}, {"", 1}}));
    EXPECT_EQ(scan("_{i}x"), (segments{{"", 0}, {"i", -1}, {"x", 0}}));
    EXPECT_EQ(scan(""), (segments{{"", 0}}));
    EXPECT_EQ(scan("{a} b"), (segments{{"{a", 0}, {" b", 0}}));
    EXPECT_EQ(scan("a^^{b}"), (segments{{"a", 0}, {"", 1}, {"b", 2}}));
}

// The twentieth segment takes any further opening markup as ordinary text.
TEST(LabelScan, AtMostTwentySegments) {
    const segments braces = scan(std::string(40, '}'));
    ASSERT_EQ(braces.size(), 20u);
    EXPECT_EQ(braces[19], piece(std::string(21, '}'), 0));

    const segments marks = scan(std::string(40, '_'));
    ASSERT_EQ(marks.size(), 20u);
    EXPECT_EQ(marks[19], piece(std::string(20, '_'), -19));

    // A mark right after a brace that closed a piece opens none, so it still works.
    const segments after_brace = scan(std::string(19, '}') + "^{x}");
    ASSERT_EQ(after_brace.size(), 20u);
    EXPECT_EQ(after_brace[19], piece("x}", 1));

    // A brace that was plain text does not make the next mark markup.
    const segments after_text = scan(std::string(19, '}') + "}^{y");
    ASSERT_EQ(after_text.size(), 20u);
    EXPECT_EQ(after_text[19], piece("}^{y", 0));
}

// Only what would leave the string open or unbalanced is escaped.
TEST(PostScriptString, Escapes) {
    EXPECT_EQ(escaped("f(x) = (a(b)c)"), "f(x) = (a(b)c)");
    EXPECT_EQ(escaped("a)b"), "a\\)b");
    EXPECT_EQ(escaped("(a"), "\\(a");
    EXPECT_EQ(escaped(")("), "\\)\\(");
    EXPECT_EQ(escaped("(()"), "\\(()");
    EXPECT_EQ(escaped("())"), "()\\)");
    EXPECT_EQ(escaped("a\\"), "a\\\\");
    EXPECT_EQ(escaped("\\(x"), "\\(x");
    EXPECT_EQ(escaped("\\\\)"), "\\\\\\)");
    EXPECT_EQ(escaped("(\\)"), "\\(\\)");
    EXPECT_EQ(escaped(""), "");
}

// Runs as "font:body" texts, T for Times-Roman, L for its Latin-1 copy, S for Symbol.
std::vector<std::string> runs(const std::string& value) {
    const segment_runs split = split_into_runs(value.data(), static_cast<int32_t>(value.size()));
    std::vector<std::string> result;
    for (int32_t k = 0; k < split.count; ++k) {
        const glyph_run& run_k = split.run[k];
        const char* font = run_k.font == glyph_font::times_roman ? "T:" : run_k.font == glyph_font::times_latin1 ? "L:" : "S:";
        result.push_back(font + std::string(run_k.body, static_cast<std::size_t>(run_k.length)));
    }
    return result;
}

using run_list = std::vector<std::string>;

// A new run wherever the font changes; ASCII (but "-") stays in a Latin-1 run and blanks in a
// Symbol run; every glyph beyond ASCII is an octal escape, a character without one a "?".
TEST(LabelRuns, OneRunPerFont) {
    EXPECT_EQ(runs(""), (run_list{"T:"}));
    EXPECT_EQ(runs("plain (text)"), (run_list{"T:plain (text)"}));
    EXPECT_EQ(runs("Δμ"), (run_list{"S:\\104\\155"}));
    EXPECT_EQ(runs("θ=½ (√3×√3)R30° Å"),
              (run_list{"S:\\161", "T:=", "L:\\275 \\(", "S:\\326", "T:3", "L:\\327", "S:\\326", "T:3\\)R30",
                        "L:\\260 \\305"}));
    EXPECT_EQ(runs("é ö-O"), (run_list{"L:\\351 \\366", "T:-O"}));
    EXPECT_EQ(runs("∞ ≈ x"), (run_list{"S:\\245 \\273 ", "T:x"}));
    EXPECT_EQ(runs("“a” – b"), (run_list{"T:\\252a\\272 \\261 b"}));
    EXPECT_EQ(runs("中 x"), (run_list{"T:? x"}));
    EXPECT_EQ(runs("Å中?"), (run_list{"L:\\305??"}));
    EXPECT_EQ(runs("α中"), (run_list{"S:\\141", "T:?"}));
    EXPECT_EQ(runs("\xC0\xAF\x80"), (run_list{"T:??"}));
}

// Parentheses pair only within an ASCII stretch, and a backslash before another font's glyph
// is shown, not taken as an escape.
TEST(LabelRuns, StringsStayWellFormed) {
    EXPECT_EQ(runs("(α)"), (run_list{"T:\\(", "S:\\141", "T:\\)"}));
    EXPECT_EQ(runs("a\\α"), (run_list{"T:a\\\\", "S:\\141"}));
    EXPECT_EQ(runs("a\\“"), (run_list{"T:a\\\\\\252"}));
}

// A mark takes the whole character after it as its "{", so no byte of it is left over.
TEST(LabelScan, CharacterAfterAMark) {
    EXPECT_EQ(scan("x^Δ2}"), (segments{{"x", 0}, {"2", 1}}));
    EXPECT_EQ(scan("x_√2}y"), (segments{{"x", 0}, {"2", -1}, {"y", 0}}));
    EXPECT_EQ(scan("Δμ_{O} θ^{2}"), (segments{{"Δμ", 0}, {"O", -1}, {" θ", 0}, {"2", 1}}));
}

// Ghostscript reads the characters of the golden map's labels and titles back as they were
// typed: Symbol's Delta and mu come back as U+2206 and U+00B5. Each text checked is one
// baseline piece, or one member of a stacked pair.
TEST(LabelCharacters, GoldenMapReadsBackAsTyped) {
    const std::string map = (std::filesystem::path(PHASEMAP_SOURCE_DIR) / "tests" / "golden" /
                             "map-label-characters" / "map1.ps").string();
    if (!has_ghostscript(map)) return;
    const std::string text = extract_postscript_text(map);
    const std::string typed[] = {
        "\u2206\u00B5",  // Δμ
        "θ=½ (√3×√3)R30° Å",
        "p(2×2)-O é ö ü ß ² ³ ¼ µ ·",
        "±α",
        "\u2206β",  // Δβ
        "½α",
        "“γ” – — … ′ ″ ∞ ≈ ≠",
        "≤ ≥ → ∂ ∑ ∫ ∞ √ \u2206 \u2126",  // the increment and ohm signs
        "‘a’ Ł ł Œ œ ﬁ ‰ † •",
        "αβγδεζηθικλ\u00B5νξοπρστυ",
        "φχψω Γ\u2206ΘΛΞΠΣΦΨ\u2126 ϑϕϖς",
        "none: ? ? ?",
        "bad: ? ? ? ?",
        "cut after 39 bytes: 0123456789012345678?",
        "in eV·Å",
        "− ½E",
    };
    for (const std::string& piece : typed) EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;
}

}  // namespace
