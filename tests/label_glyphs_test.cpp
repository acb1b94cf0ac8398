// Label characters: UTF-8 decoding, the font and code of every glyph, and what becomes "?".
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "core/label_glyphs.hpp"
#include "maps/printps/internals.hpp"
#include "support/test_support.hpp"

namespace {

constexpr glyph_font times = glyph_font::times_roman, latin1 = glyph_font::times_latin1,
                     symbol = glyph_font::symbol;

label_character first_character(const std::string& bytes) {
    return read_label_character(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
}

std::string font_name(glyph_font font) {
    return font == times ? "Times-Roman" : font == latin1 ? "Times-Roman-Latin1" : "Symbol";
}

// The UTF-8 bytes of a code point.
std::string utf8(int32_t code_point) {
    if (code_point < 0x80) return std::string(1, static_cast<char>(code_point));
    const int32_t length = code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    for (int32_t i = length - 1; i > 0; --i, code_point >>= 6)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(0x80 | (code_point & 0x3F));
    bytes[0] = static_cast<char>(((0xFF << (8 - length)) & 0xFF) | code_point);
    return bytes;
}

// Texts for the outputs that hold UTF-8 (phase.json, the SVG map): a byte that is no UTF-8
// character becomes U+FFFD, each byte of it; so do the controls but the tab, U+0080 to U+009F,
// U+2028, U+2029, U+FFFE and U+FFFF, one each; other characters stay, or take the escape given
// for their byte (the escapes of phase.json and the SVG map: the golden case
// extra-escaped-names).
TEST(LabelGlyphs, TextForUtf8Outputs) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"a&\xCE\xBC>", "a[&]\xCE\xBC[>]"},
        {"\t \x01\x7F", "\t " + fffd + fffd},
        {"\xFF.\xE2\x82.\xC0\xAF", fffd + "." + fffd + fffd + "." + fffd + fffd},
        {"\xC2\x85\xE2\x80\xA8\xE2\x80\xA9\xEF\xBF\xBE\xEF\xBF\xBF",
         fffd + fffd + fffd + fffd + fffd},
        {"\xEF\xBF\xBD\xF0\x9F\x98\x80", fffd + "\xF0\x9F\x98\x80"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(text_for_utf8_output(
                      text,
                      [](char c) -> const char* {
                          return c == '&' ? "[&]" : c == '<' ? "[<]" : c == '>' ? "[>]" : nullptr;
                      }),
                  shown)
            << text;
}

// Characters without a glyph, and bytes that are no UTF-8 character: one "?" for each, taking
// a lead byte with the continuation bytes that follow it, up to the length it announces.
TEST(LabelGlyphs, DrawnAsQuestionMark) {
    // The bytes, the length of the one "?", the code point (-1: no UTF-8 character), incomplete.
    const struct {
        std::string bytes;
        int32_t length, code_point;
        bool is_incomplete;
    } cases[] = {
        // (CJK, emoji, subscript two, truncated at the field's end, overlong, surrogate, beyond
        // U+10FFFF and a lone continuation byte are the golden case map-label-characters)
        {"€", 3, 0x20AC, false},        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF, false},
        {"\xE2\x88", 2, -1, true},      {"\xCE\xCE\x94", 1, -1, true},
        {"\xE0\x9F\xBF", 3, -1, false}, {"\xFF", 1, -1, false},
    };
    for (const auto& c : cases) {
        const label_character got = first_character(c.bytes);
        EXPECT_EQ(std::tuple(got.has_glyph, got.length, got.code_point, got.is_incomplete,
                             font_name(got.font), got.code),
                  std::tuple(false, c.length, c.code_point, c.is_incomplete, font_name(times),
                             int32_t{'?'}))
            << testing::PrintToString(c.bytes);
    }
}

// Ghostscript reads every glyph of the table back as the character typed, each shown after
// its code point from the font and code the table gives, which checks every row. Symbol's
// Delta, mu, Omega and angle brackets come back as U+2206, U+00B5, U+2126, U+2329 and U+232A;
// the no-break space and soft hyphen (a blank and a hyphen) are left out.
TEST(LabelGlyphs, GhostscriptReadsBackEveryGlyph) {
    const std::string page_file = test_scratch_dir() + "/page.ps";
    if (!has_ghostscript(page_file)) return;
    const std::map<int32_t, int32_t> read_back = {
        {0x394, 0x2206}, {0x3BC, 0xB5}, {0x3A9, 0x2126}, {0x27E8, 0x2329}, {0x27E9, 0x232A}};
    std::string page = "%!PS\n", expected;
    for (std::string_view line : latin1_font_definition) page += std::string(line) + "\n";
    int32_t shown = 0;
    for (int32_t code_point = 0x80; code_point <= 0x10FFFF;
         code_point = code_point == 0xD7FF ? 0xE000 : code_point + 1) {
        const label_character c = first_character(utf8(code_point));
        if (!c.has_glyph || code_point == 0xA0 || code_point == 0xAD) continue;
        char label[8], line[200];  // 50 rows of 5 on a page
        std::snprintf(label, sizeof label, "%04X:", static_cast<unsigned>(code_point));
        std::snprintf(line, sizeof line,
                      "%s/Times-Roman findfont 10 scalefont setfont %d %d moveto (%s) show "
                      "/%s findfont 10 scalefont setfont (\\%03o) show\n",
                      shown > 0 && shown % 250 == 0 ? "showpage\n" : "", 30 + 110 * (shown % 5),
                      760 - 14 * (shown / 5 % 50), label, font_name(c.font).c_str(),
                      static_cast<unsigned>(c.code));
        page += line;
        expected += label +
                    utf8(read_back.contains(code_point) ? read_back.at(code_point) : code_point) +
                    "\n";
        ++shown;
    }
    write_file(page_file, page + "showpage\n");

    // Each "XXXX:" in the extracted text and the character after it.
    const std::string text = extract_postscript_text(page_file);
    std::string found;
    for (std::size_t at = text.find(':', 4); at != std::string::npos; at = text.find(':', at + 1)) {
        const int32_t length = read_label_character(text.data(), static_cast<int32_t>(text.size()),
                                                    static_cast<int32_t>(at + 1))
                                   .length;
        found +=
            text.substr(at - 4, 5) + text.substr(at + 1, static_cast<std::size_t>(length)) + "\n";
    }
    EXPECT_EQ(shown, 245);  // 94 Latin-1 letters and signs, 151 others
    EXPECT_EQ(found, expected);
}

}  // namespace
