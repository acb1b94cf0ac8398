// Label characters: UTF-8 decoding, the font and code of every glyph, and what becomes "?".
#include <gtest/gtest.h>

#include <string>

#include "label_glyphs.hpp"

namespace {

constexpr glyph_font times = glyph_font::times_roman;
constexpr glyph_font latin1 = glyph_font::times_latin1;
constexpr glyph_font symbol = glyph_font::symbol;

label_character first_character(const std::string& bytes) {
    return read_label_character(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
}

std::string font_name(glyph_font font) {
    return font == times ? "Times-Roman" : font == latin1 ? "Times-Roman-Latin1" : "Symbol";
}

struct glyph_case {
    const char* typed;
    glyph_font font;
    int32_t code;
};

// ASCII as typed; Latin-1 from the Latin-1 copy of Times-Roman, also where Symbol has the
// sign too (degree, plus-minus, times, middle dot, micro, divide, not); typographic
// punctuation from Times-Roman's standard encoding; Greek and mathematical signs from Symbol.
TEST(LabelGlyphs, FontAndCodeOfEachKind) {
    const glyph_case cases[] = {
        {"A", times, 0101},   {"'", times, 047},    {"-", times, 055},    {"~", times, 0176},
        {"Å", latin1, 0305},  {"é", latin1, 0351},  {"ö", latin1, 0366},  {"ü", latin1, 0374},
        {"ß", latin1, 0337},  {"²", latin1, 0262},  {"³", latin1, 0263},  {"¼", latin1, 0274},
        {"½", latin1, 0275},  {"¾", latin1, 0276},  {"§", latin1, 0247},  {"\u00A0", latin1, 0240},
        {"ÿ", latin1, 0377},  {"°", latin1, 0260},  {"±", latin1, 0261},  {"×", latin1, 0327},
        {"·", latin1, 0267},  {"\u00B5", latin1, 0265},  {"÷", latin1, 0367},  {"¬", latin1, 0254},
        {"‘", times, 0140},   {"’", times, 047},    {"“", times, 0252},   {"”", times, 0272},
        {"–", times, 0261},   {"—", times, 0320},   {"…", times, 0274},   {"•", times, 0267},
        {"ﬁ", times, 0256},   {"Œ", times, 0352},   {"ı", times, 0365},   {"ƒ", times, 0246},
        {"Α", symbol, 0101},  {"\u0394", symbol, 0104}, {"\u03A9", symbol, 0127}, {"α", symbol, 0141},
        {"γ", symbol, 0147},  {"θ", symbol, 0161},  {"\u03BC", symbol, 0155}, {"ς", symbol, 0126},
        {"φ", symbol, 0146},  {"ϕ", symbol, 0152},  {"ϑ", symbol, 0112},  {"ϖ", symbol, 0166},
        {"√", symbol, 0326},  {"′", symbol, 0242},  {"″", symbol, 0262},  {"∞", symbol, 0245},
        {"≈", symbol, 0273},  {"≠", symbol, 0271},  {"≤", symbol, 0243},  {"≥", symbol, 0263},
        {"→", symbol, 0256},  {"∂", symbol, 0266},  {"∑", symbol, 0345},  {"∫", symbol, 0362},
        {"−", symbol, 055},   {"\u2206", symbol, 0104}, {"\u2126", symbol, 0127}, {"⋅", symbol, 0327},
        {"⟨", symbol, 0341},  {"⇒", symbol, 0336},  {"∈", symbol, 0316},  {"∝", symbol, 0265},
    };
    for (const glyph_case& c : cases) {
        const label_character character = first_character(c.typed);
        EXPECT_TRUE(character.has_glyph) << c.typed;
        EXPECT_EQ(character.length, static_cast<int32_t>(std::string(c.typed).size())) << c.typed;
        EXPECT_EQ(font_name(character.font), font_name(c.font)) << c.typed;
        EXPECT_EQ(character.code, c.code) << c.typed;
    }
}

struct undrawn_case {
    std::string bytes;
    int32_t length;      // bytes taken by the one "?"
    int32_t code_point;  // -1 for bytes that are no UTF-8 character
    bool is_incomplete;
};

// Characters without a glyph, and bytes that are no UTF-8 character: one "?" for each, taking
// a lead byte with the continuation bytes that follow it, up to the length it announces.
TEST(LabelGlyphs, DrawnAsQuestionMark) {
    const undrawn_case cases[] = {
        {"中", 3, 0x4E2D, false},         {"😀", 4, 0x1F600, false},        {"₂", 3, 0x2082, false},
        {"€", 3, 0x20AC, false},          {"™", 3, 0x2122, false},          {"\u0085", 2, 0x85, false},
        {"\xC2\x80", 2, 0x80, false},    {"\xEF\xBF\xBF", 3, 0xFFFF, false}, {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF, false},
        // truncated
        {"\xCE", 1, -1, true},            {"\xE2\x88", 2, -1, true},        {"\xF0\x9F\x98", 3, -1, true},
        {"\xE2\x88x", 2, -1, true},       {"\xCE\xCE\x94", 1, -1, true},
        // overlong
        {"\xC0\xAF", 2, -1, false},       {"\xC1\xBF", 2, -1, false},       {"\xE0\x80\xAF", 3, -1, false},
        {"\xE0\x9F\xBF", 3, -1, false},   {"\xF0\x8F\xBF\xBF", 4, -1, false},
        // surrogates
        {"\xED\xA0\x80", 3, -1, false},   {"\xED\xBF\xBF", 3, -1, false},
        // beyond U+10FFFF
        {"\xF4\x90\x80\x80", 4, -1, false}, {"\xF5\x80\x80\x80", 4, -1, false},
        // bytes that start no character
        {"\x80", 1, -1, false},           {"\xBF\x80", 1, -1, false},       {"\xF8\x88\x80\x80", 1, -1, false},
        {"\xFE", 1, -1, false},           {"\xFF", 1, -1, false},
    };
    for (const undrawn_case& c : cases) {
        const std::string shown = testing::PrintToString(c.bytes);
        const label_character character = first_character(c.bytes);
        EXPECT_FALSE(character.has_glyph) << shown;
        EXPECT_EQ(character.length, c.length) << shown;
        EXPECT_EQ(character.code_point, c.code_point) << shown;
        EXPECT_EQ(character.is_incomplete, c.is_incomplete) << shown;
        EXPECT_EQ(font_name(character.font), font_name(times)) << shown;
        EXPECT_EQ(character.code, '?') << shown;
    }
}

// The last characters of a text: valid ones next to the invalid, and a character cut by the
// end of the text, as a label cut after 40 bytes leaves it.
TEST(LabelGlyphs, BoundariesOfTheText) {
    EXPECT_EQ(first_character("\xED\x9F\xBF").code_point, 0xD7FF);
    EXPECT_EQ(first_character("\xEE\x80\x80").code_point, 0xE000);
    EXPECT_EQ(first_character("\xC2\xA0").code_point, 0xA0);
    const std::string delta = "Δ";
    const label_character cut = read_label_character(delta.data(), 1, 0);
    EXPECT_FALSE(cut.has_glyph);
    EXPECT_TRUE(cut.is_incomplete);
    EXPECT_EQ(cut.length, 1);
    const std::string after_bad = "\xC0\xAF" "x";
    EXPECT_EQ(read_label_character(after_bad.data(), 3, 2).code_point, 'x');
}

}  // namespace
