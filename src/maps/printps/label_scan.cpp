// A label's text for PostScript: string bodies escaped, and the runs of one font each that a
// segment is shown in.
#include "maps/printps/label_scan.hpp"

#include <algorithm>

#include "core/fixed_text.hpp"
#include "core/label_glyphs.hpp"
#include "maps/page/page.hpp"

namespace {

// Appends the octal escape of a glyph code: 0104 -> "\104".
void append_octal(glyph_run& target, int32_t code) {
    target.body[target.length++] = '\\';
    target.body[target.length++] = static_cast<char>('0' + (code >> 6));
    target.body[target.length++] = static_cast<char>('0' + ((code >> 3) & 7));
    target.body[target.length++] = static_cast<char>('0' + (code & 7));
}

// The font that shows a character after a run in `previous`. An ASCII character, or the "?"
// of one without a glyph, is Times-Roman, but continues a Latin-1 run, whose encoding draws
// them alike except "-" (a minus there); a blank also continues a Symbol run, whose blank is
// as wide. So "é ö" and "≤ ≥" are one run each.
glyph_font font_in_run(const label_character& c, glyph_font previous) {
    const bool is_plain = !c.has_glyph || c.code_point < 0x80;
    if (!is_plain) return c.font;
    if (previous == glyph_font::times_latin1 && c.code != '-') return glyph_font::times_latin1;
    if (previous == glyph_font::symbol && c.code == ' ') return glyph_font::symbol;
    return glyph_font::times_roman;
}

// Appends text[from, to) of ASCII characters, escaped as a string body needs.
void append_ascii(glyph_run& target, const char* text, int32_t from, int32_t to) {
    if (to > from)
        target.length +=
            escape_postscript_string(text + from, to - from, target.body + target.length);
}

}  // namespace

int32_t escape_postscript_string(const char* text, int32_t length, char* body) {
    length = std::clamp(length, 0, label_length);
    // A backslash escapes the character after it, unless that is a control character (or
    // there is none), which must not stand raw in the string: the backslash is then shown.
    const auto escapes_next = [&](int32_t i) {
        return text[i] == '\\' && i + 1 < length && !is_control_byte(text[i + 1]);
    };
    // Pair the unescaped parentheses as PostScript does: a ")" closes the latest open "(".
    bool is_paired[label_length] = {};
    int32_t open_at[label_length];
    int32_t open_count = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (escapes_next(i)) {
            ++i;  // the escaped character is no parenthesis of the string
        } else if (text[i] == '(') {
            open_at[open_count++] = i;
        } else if (text[i] == ')' && open_count > 0) {
            is_paired[i] = true;
            is_paired[open_at[--open_count]] = true;
        }
    }

    int32_t n = 0;
    for (int32_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\\') {
            // "\x" is kept as written; a final lone backslash would escape the closing ")".
            body[n++] = '\\';
            body[n++] = escapes_next(i) ? text[++i] : '\\';
        } else if (is_control_byte(c)) {
            const auto code = static_cast<unsigned char>(c);
            body[n++] = '\\';
            body[n++] = static_cast<char>('0' + (code >> 6));
            body[n++] = static_cast<char>('0' + ((code >> 3) & 7));
            body[n++] = static_cast<char>('0' + (code & 7));
        } else if ((c == '(' || c == ')') && !is_paired[i]) {
            body[n++] = '\\';
            body[n++] = c;
        } else {
            body[n++] = c;
        }
    }
    return n;
}

segment_runs split_into_runs(const char* text, int32_t length) {
    segment_runs runs{};
    runs.count = 1;
    runs.run[0].font = glyph_font::times_roman;
    int32_t ascii_from = 0;  // ASCII characters from here on are not in the run yet
    for (int32_t at = 0; at < length;) {
        const label_character c = read_label_character(text, length, at);
        const bool is_ascii = c.code_point >= 0 && c.code_point < 0x80;
        glyph_run* current = &runs.run[runs.count - 1];
        const glyph_font font = font_in_run(c, current->font);
        if (font != current->font) {
            append_ascii(*current, text, ascii_from, at);
            if (current->length > 0) current = &runs.run[runs.count++];
            current->font = font;
            ascii_from = at;
        }
        if (!is_ascii) {
            append_ascii(*current, text, ascii_from, at);
            if (c.has_glyph)
                append_octal(*current, c.code);
            else
                current->body[current->length++] = '?';
            ascii_from = at + c.length;
        }
        at += c.length;
    }
    append_ascii(runs.run[runs.count - 1], text, ascii_from, length);
    return runs;
}

segment_runs runs_of_segment(const text40& segment) {
    return split_into_runs(segment.data(), trimmed_length(segment));
}

bool draws_latin1_glyph(const text40& text) {
    const label_segments segments = scan_label(text);
    for (int32_t j = 0; j < segments.count; ++j) {
        const segment_runs runs = runs_of_segment(segments.text[j]);
        for (int32_t k = 0; k < runs.count; ++k)
            if (runs.run[k].font == glyph_font::times_latin1) return true;
    }
    return false;
}
