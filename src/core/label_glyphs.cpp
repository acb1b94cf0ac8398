#include "core/label_glyphs.hpp"

#include <algorithm>
#include <iterator>

namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";  // U+FFFD

// A glyph outside ASCII and Latin-1: the code point, its font and its code there.
struct glyph_row {
    int32_t code_point;
    glyph_font font;
    int32_t code;
};

constexpr glyph_font times = glyph_font::times_roman;
constexpr glyph_font symbol = glyph_font::symbol;

// Sorted by code point. Times-Roman's standard encoding holds the typographic punctuation and
// a few letters; Symbol the Greek letters (U+2126 ohm and U+2206 increment share Omega and
// Delta) and the mathematical signs.
constexpr glyph_row glyph_rows[] = {
    {0x0131, times, 0365},   // dotless i
    {0x0141, times, 0350},   // L with stroke
    {0x0142, times, 0370},   // l with stroke
    {0x0152, times, 0352},   // OE
    {0x0153, times, 0372},   // oe
    {0x0192, times, 0246},   // florin
    {0x02C6, times, 0303},   // spacing accents: circumflex
    {0x02C7, times, 0317},   // caron
    {0x02D8, times, 0306},   // breve
    {0x02D9, times, 0307},   // dot above
    {0x02DA, times, 0312},   // ring above
    {0x02DB, times, 0316},   // ogonek
    {0x02DC, times, 0304},   // tilde
    {0x02DD, times, 0315},   // double acute
    {0x0391, symbol, 0101},  // Greek capitals Alpha ...
    {0x0392, symbol, 0102}, {0x0393, symbol, 0107}, {0x0394, symbol, 0104}, {0x0395, symbol, 0105},
    {0x0396, symbol, 0132}, {0x0397, symbol, 0110}, {0x0398, symbol, 0121}, {0x0399, symbol, 0111},
    {0x039A, symbol, 0113}, {0x039B, symbol, 0114}, {0x039C, symbol, 0115}, {0x039D, symbol, 0116},
    {0x039E, symbol, 0130}, {0x039F, symbol, 0117}, {0x03A0, symbol, 0120}, {0x03A1, symbol, 0122},
    {0x03A3, symbol, 0123}, {0x03A4, symbol, 0124}, {0x03A5, symbol, 0125}, {0x03A6, symbol, 0106},
    {0x03A7, symbol, 0103}, {0x03A8, symbol, 0131}, {0x03A9, symbol, 0127},  // ... Omega
    {0x03B1, symbol, 0141},  // Greek small letters alpha ...
    {0x03B2, symbol, 0142}, {0x03B3, symbol, 0147}, {0x03B4, symbol, 0144}, {0x03B5, symbol, 0145},
    {0x03B6, symbol, 0172}, {0x03B7, symbol, 0150}, {0x03B8, symbol, 0161}, {0x03B9, symbol, 0151},
    {0x03BA, symbol, 0153}, {0x03BB, symbol, 0154}, {0x03BC, symbol, 0155}, {0x03BD, symbol, 0156},
    {0x03BE, symbol, 0170}, {0x03BF, symbol, 0157}, {0x03C0, symbol, 0160}, {0x03C1, symbol, 0162},
    {0x03C2, symbol, 0126},  // final sigma
    {0x03C3, symbol, 0163}, {0x03C4, symbol, 0164}, {0x03C5, symbol, 0165}, {0x03C6, symbol, 0146},
    {0x03C7, symbol, 0143}, {0x03C8, symbol, 0171}, {0x03C9, symbol, 0167},  // ... omega
    {0x03D1, symbol, 0112},                                                  // theta symbol
    {0x03D2, symbol, 0241},                                                  // Upsilon with hook
    {0x03D5, symbol, 0152},                                                  // phi symbol
    {0x03D6, symbol, 0166},                                                  // pi symbol
    {0x2013, times, 0261},                                                   // en dash
    {0x2014, times, 0320},                                                   // em dash
    {0x2018, times, 0140},                           // curly quotes: left single
    {0x2019, times, 0047},                           // right single
    {0x201A, times, 0270},                           // low single
    {0x201C, times, 0252},                           // left double
    {0x201D, times, 0272},                           // right double
    {0x201E, times, 0271},                           // low double
    {0x2020, times, 0262},                           // dagger
    {0x2021, times, 0263},                           // double dagger
    {0x2022, times, 0267},                           // bullet
    {0x2026, times, 0274},                           // ellipsis
    {0x2030, times, 0275},                           // per mille
    {0x2032, symbol, 0242},                          // prime
    {0x2033, symbol, 0262},                          // double prime
    {0x2039, times, 0254},                           // single angle quotes
    {0x203A, times, 0255},  {0x2044, times, 0244},   // fraction slash
    {0x2111, symbol, 0301},                          // black-letter I
    {0x2118, symbol, 0303},                          // script P
    {0x211C, symbol, 0302},                          // black-letter R
    {0x2126, symbol, 0127},                          // ohm
    {0x2135, symbol, 0300},                          // alef
    {0x2190, symbol, 0254},                          // arrows: left
    {0x2191, symbol, 0255},                          // up
    {0x2192, symbol, 0256},                          // right
    {0x2193, symbol, 0257},                          // down
    {0x2194, symbol, 0253},                          // left right
    {0x21B5, symbol, 0277},                          // down with corner left
    {0x21D0, symbol, 0334},                          // double arrows: left
    {0x21D1, symbol, 0335},                          // up
    {0x21D2, symbol, 0336},                          // right
    {0x21D3, symbol, 0337},                          // down
    {0x21D4, symbol, 0333},                          // left right
    {0x2200, symbol, 0042},                          // for all
    {0x2202, symbol, 0266},                          // partial differential
    {0x2203, symbol, 0044},                          // there exists
    {0x2205, symbol, 0306},                          // empty set
    {0x2206, symbol, 0104},                          // increment
    {0x2207, symbol, 0321},                          // nabla
    {0x2208, symbol, 0316},                          // element of
    {0x2209, symbol, 0317},                          // not an element of
    {0x220B, symbol, 0047},                          // contains as member
    {0x220F, symbol, 0325},                          // product
    {0x2211, symbol, 0345},                          // sum
    {0x2212, symbol, 0055},                          // minus
    {0x2217, symbol, 0052},                          // asterisk operator
    {0x221A, symbol, 0326},                          // square root
    {0x221D, symbol, 0265},                          // proportional to
    {0x221E, symbol, 0245},                          // infinity
    {0x2220, symbol, 0320},                          // angle
    {0x2227, symbol, 0331},                          // logical and
    {0x2228, symbol, 0332},                          // logical or
    {0x2229, symbol, 0307},                          // intersection
    {0x222A, symbol, 0310},                          // union
    {0x222B, symbol, 0362},                          // integral
    {0x2234, symbol, 0134},                          // therefore
    {0x223C, symbol, 0176},                          // tilde operator
    {0x2245, symbol, 0100},                          // approximately equal to
    {0x2248, symbol, 0273},                          // almost equal to
    {0x2260, symbol, 0271},                          // not equal to
    {0x2261, symbol, 0272},                          // identical to
    {0x2264, symbol, 0243},                          // less-than or equal to
    {0x2265, symbol, 0263},                          // greater-than or equal to
    {0x2282, symbol, 0314},                          // subset of
    {0x2283, symbol, 0311},                          // superset of
    {0x2284, symbol, 0313},                          // not a subset of
    {0x2286, symbol, 0315},                          // subset of or equal to
    {0x2287, symbol, 0312},                          // superset of or equal to
    {0x2295, symbol, 0305},                          // circled plus
    {0x2297, symbol, 0304},                          // circled times
    {0x22A5, symbol, 0136},                          // up tack
    {0x22C5, symbol, 0327},                          // dot operator
    {0x2329, symbol, 0341},                          // angle brackets
    {0x232A, symbol, 0361}, {0x25CA, symbol, 0340},  // lozenge
    {0x2660, symbol, 0252},                          // card suits: spade
    {0x2663, symbol, 0247},                          // club
    {0x2665, symbol, 0251},                          // heart
    {0x2666, symbol, 0250},                          // diamond
    {0x27E8, symbol, 0341},                          // mathematical angle brackets
    {0x27E9, symbol, 0361}, {0xFB01, times, 0256},   // fi ligature
    {0xFB02, times, 0257},                           // fl ligature
};

static_assert(std::is_sorted(std::begin(glyph_rows), std::end(glyph_rows),
                             [](const glyph_row& a, const glyph_row& b) {
                                 return a.code_point < b.code_point;
                             }));

constexpr int32_t first_latin1_sign = 0xA0;  // no-break space; U+0080 to U+009F are controls
constexpr int32_t last_latin1 = 0xFF;

bool is_continuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// Bytes a lead byte announces, 0 for a byte that starts no character (a continuation byte or
// F8 to FF); C0, C1 and F5 to F7 announce their length although what they start is never valid.
int32_t announced_length(unsigned char lead) {
    if (lead >= 0xC0 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    return 0;
}

// Smallest code point a sequence of `length` bytes may carry; smaller ones are overlong.
int32_t smallest_code_point(int32_t length) {
    return length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
}

bool is_unicode_scalar(int32_t code_point) {
    return code_point <= 0x10FFFF && !(code_point >= 0xD800 && code_point <= 0xDFFF);
}

label_character drawn_as_question_mark(int32_t length, int32_t code_point, bool is_incomplete) {
    return {length, code_point, glyph_font::times_roman, '?', false, is_incomplete};
}

// The glyph of a code point beyond ASCII, or "?".
label_character find_glyph(int32_t code_point, int32_t length) {
    if (code_point >= first_latin1_sign && code_point <= last_latin1)
        return {length, code_point, glyph_font::times_latin1, code_point, true, false};
    const glyph_row* row =
        std::lower_bound(std::begin(glyph_rows), std::end(glyph_rows), code_point,
                         [](const glyph_row& r, int32_t value) { return r.code_point < value; });
    if (row == std::end(glyph_rows) || row->code_point != code_point)
        return drawn_as_question_mark(length, code_point, false);
    return {length, code_point, row->font, row->code, true, false};
}

}  // namespace

label_character read_label_character(const char* text, int32_t length, int32_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {1, lead, glyph_font::times_roman, lead, true, false};

    const int32_t announced = announced_length(lead);
    if (announced == 0) return drawn_as_question_mark(1, -1, false);

    // The lead byte's payload bits, then six bits from each continuation byte.
    int32_t code_point = lead & (0x7F >> announced);
    int32_t taken = 1;
    while (taken < announced && at + taken < length &&
           is_continuation(static_cast<unsigned char>(text[at + taken]))) {
        code_point = (code_point << 6) | (static_cast<unsigned char>(text[at + taken]) & 0x3F);
        ++taken;
    }
    if (taken < announced) return drawn_as_question_mark(taken, -1, true);
    if (code_point < smallest_code_point(announced) || !is_unicode_scalar(code_point))
        return drawn_as_question_mark(taken, -1, false);
    return find_glyph(code_point, taken);
}

std::string text_for_utf8_output(std::string_view text, const char* (*escape)(char c)) {
    std::string shown;
    const int32_t length = static_cast<int32_t>(text.size());
    for (int32_t at = 0, taken = 0; at < length; at += taken) {
        const label_character c = read_label_character(text.data(), length, at);
        taken = c.length;
        if (c.code_point < 0) {
            for (int32_t i = 0; i < c.length; ++i) shown += replacement_character;
            continue;
        }
        if (is_replaced_in_text_outputs(c.code_point)) {
            shown += replacement_character;
            continue;
        }
        const char* escaped = escape(text[static_cast<std::size_t>(at)]);
        if (escaped != nullptr)
            shown += escaped;
        else
            shown.append(
                text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(taken)));
    }
    return shown;
}
