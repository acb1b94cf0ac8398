// Label markup: segments and levels of the scan, and the PostScript string bodies.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "modules.hpp"
#include "printps/internals.hpp"

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

}  // namespace
