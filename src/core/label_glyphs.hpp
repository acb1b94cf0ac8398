// Characters of labels and axis titles. A label is UTF-8 text; each character is drawn as one
// glyph of one of three fonts: ASCII as typed from Times-Roman, the Latin-1 letters and signs
// (U+00A0 to U+00FF) from a copy of Times-Roman in the ISO Latin-1 encoding, typographic
// punctuation (curly quotes, dashes, ...) from Times-Roman through its standard encoding, and
// Greek letters and mathematical signs from Symbol. Times-Roman is preferred wherever it has
// the glyph. Anything else, and bytes that are no UTF-8 character, is drawn as "?".
// Shared by the input reader, which warns about what becomes "?", and the map writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class glyph_font : int32_t {
    times_roman,   // standard encoding: ASCII as typed, and the punctuation above 127
    times_latin1,  // ISO Latin-1 encoding: the code is the code point
    symbol,        // Symbol's own encoding
};

// One character of a label as it is drawn.
struct label_character {
    int32_t length;      // bytes it takes in the text, 1 to 4
    int32_t code_point;  // its Unicode code point; -1 when the bytes are no UTF-8 character
    glyph_font font;     // where its glyph comes from
    int32_t code;        // the glyph's code in that font's encoding, 0 to 255; '?' when it has none
    bool has_glyph;      // false: drawn as "?" in Times-Roman
    bool is_incomplete;  // the bytes stop before the character their first byte announces is whole
};

// The character that starts at text[at], 0 <= at < length. Bytes that are no UTF-8 character
// make one "?" per first byte: a lead byte with the continuation bytes that follow it (as many
// as it announces), or a lone byte. Overlong forms, surrogates and code points beyond U+10FFFF
// are not UTF-8. ASCII bytes always stand for themselves, so a character never takes an ASCII
// byte that follows it.
label_character read_label_character(const char* text, int32_t length, int32_t at);

// A control character of ASCII: below 32, or DEL. A byte of one is never written raw into an
// output file (it could end a line there).
inline bool is_control_byte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// A character no output shows as typed, since a reader could take it for a line end or a
// control: a control character but the tab (below 32, and DEL to U+009F), and the line and
// paragraph separators U+2028 and U+2029. (The records show each of its bytes as "?",
// records/list_output.cpp, and the outputs holding UTF-8 text as U+FFFD.)
inline bool is_unshown_character(int32_t code_point) {
    return (code_point >= 0 && code_point < 0x20 && code_point != '\t') ||
           (code_point >= 0x7F && code_point <= 0x9F) || code_point == 0x2028 ||
           code_point == 0x2029;
}

// A character an output holding UTF-8 text (phase.json, the SVG map) shows as U+FFFD: a byte
// that is no UTF-8 character (code point -1), an unshown character, and U+FFFE and U+FFFF,
// which XML 1.0 forbids or discourages.
inline bool is_replaced_in_text_outputs(int32_t code_point) {
    return code_point < 0 || is_unshown_character(code_point) || code_point == 0xFFFE ||
           code_point == 0xFFFF;
}

// `text` for an output that holds texts as UTF-8 (phase.json, the SVG map): every byte that is
// no UTF-8 character becomes one U+FFFD, and so does every character that
// is_replaced_in_text_outputs names; every other character is copied as it is, or as the text
// `escape` gives for it (its one byte; null: copied), such as "&amp;" for '&' in XML.
std::string text_for_utf8_output(std::string_view text, const char* (*escape)(char c));
