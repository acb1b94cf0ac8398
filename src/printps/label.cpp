// write_label: a text with ^{superscript}, _{subscript} and stacked ^{..}_{..} markup,
// written segment by segment in Times-Roman, each raised or lowered from the baseline and
// set in a smaller size, with a trace of every segment after the first in log.out.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "../records/records.hpp"
#include "internals.hpp"
#include "printps.hpp"

namespace {

// Copies text[from, to) (0-based, empty when from >= to) into a blank segment text.
void copy_segment_text(const text40& text, int32_t from, int32_t to, text40& segment) {
    segment.fill(' ');
    const int32_t end = std::min(to, label_length);
    for (int32_t i = from; i < end; ++i) segment[static_cast<std::size_t>(i - from)] = text[static_cast<std::size_t>(i)];
}

// Levels with which the groups still open were opened (the stack of levels the text returns
// to when a group closes); an empty stack means the baseline.
struct open_groups {
    int32_t count;
    int32_t level[label_length];
};

void open_group(open_groups& groups, int32_t level) {
    if (groups.count < label_length) groups.level[groups.count++] = level;
}

int32_t close_group(open_groups& groups) {
    if (groups.count > 0) --groups.count;
    return groups.count > 0 ? groups.level[groups.count - 1] : 0;
}

// Gives the segment `current` opened by "^" or "_" its level from the segment before it;
// a superscript after a subscript (or the reverse) makes the two a stacked pair.
void set_level_of_group(label_segments& segments, int32_t current, char mark) {
    int32_t& previous = segments.level[current - 1];
    int32_t& level = segments.level[current];
    if (mark == '_') {
        if (previous > 0) {
            previous = stacked_level;
            level = -stacked_level;
        } else {
            level = previous - 1;
        }
    } else {
        if (previous < 0) {
            previous = -stacked_level;
            level = stacked_level;
        } else {
            level = previous + 1;
        }
    }
}

// The font size a Times-Roman record may carry: a size of 0 would make a singular font
// matrix, and one below the smallest normal single (1.17549435E-38) one that PostScript
// cannot invert, so such sizes are written as 1.
float printable_font_size(float size) { return std::fabs(size) < FLT_MIN ? 1.0f : size; }

// Every map record of a label goes through the layer that never cuts a PostScript string
// or operator word.
void write_label_record(std::initializer_list<record_item> items) { write_list_postscript(unit_map, items); }

void write_font_record(float size) {
    write_label_record({item_text("/Times-Roman findfont"), item_real(printable_font_size(size)),
                        item_text(" scalefont setfont")});
}

// The segment's text without trailing blanks, as the body of a PostScript string.
int32_t segment_body(const text40& segment, char* body) {
    return escape_postscript_string(segment.data(), trimmed_length(segment), body);
}

// Font size factor of a segment `depth` levels away from the baseline: one size step a level.
double size_factor(int32_t depth) {
    double factor = 1.0;
    for (int32_t d = 0; d < depth; ++d) factor *= static_cast<double>(level_size_step);
    return factor;
}

// Records of one raised or lowered segment. A member of a stacked pair is set as a first
// superscript or subscript; a first member shows its text with STxt and moves back by its
// width, so the second member starts where it began.
void write_segment(const text40& segment, int32_t level, float size, bool is_first_of_pair) {
    const int32_t set_level = std::abs(level) == stacked_level ? (level > 0 ? 1 : -1) : level;
    const double size_wide = static_cast<double>(size);
    const float segment_size = to_float_saturated(std::trunc(size_wide * size_factor(std::abs(set_level))));
    const double shift_per_level =
        set_level >= 0 ? static_cast<double>(superscript_rise) : static_cast<double>(subscript_drop);
    const float segment_shift = to_float_saturated(static_cast<double>(set_level) * size_wide * shift_per_level);

    char body[max_string_body];
    const int32_t length = segment_body(segment, body);
    write_label_record({item_int(0), item_real(segment_shift), item_text(" rmoveto")});
    write_font_record(segment_size);
    if (is_first_of_pair) {
        write_label_record({item_text("("), item_text(body, length), item_text(")  STxt 0 exch sub")});
        write_label_record({item_real(-segment_shift), item_text(" rmoveto")});
    } else {
        write_label_record({item_text("("), item_text(body, length), item_text(")  show")});
        write_label_record({item_int(0), item_real(-segment_shift), item_text(" rmoveto")});
    }
}

}  // namespace

label_segments scan_label(const text40& text) {
    label_segments segments{};
    for (text40& segment : segments.text) segment.fill(' ');
    open_groups groups{};
    int32_t current = 0;               // segment being collected
    int32_t start = 0;                 // where its text begins
    bool after_closing_brace = false;  // the previous character closed a segment
    bool ends_with_closing_brace = false;

    for (int32_t i = 0; i < label_length; ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        bool closes_segment = false;
        if (c == '^' || c == '_') {
            // Right after a closing brace the group continues the segment that brace opened;
            // elsewhere it opens one, unless the table is full (then it is plain text).
            const bool opens_segment = !after_closing_brace;
            if (!opens_segment || current < max_segments - 1) {
                if (opens_segment) {
                    copy_segment_text(text, start, i, segments.text[current]);
                    ++current;
                }
                set_level_of_group(segments, current, c);
                open_group(groups, segments.level[current]);
                start = i + 2;  // the character after the mark is the group's "{"
            }
        } else if (c == '}' && current < max_segments - 1) {
            copy_segment_text(text, start, i, segments.text[current]);
            start = i + 1;
            ++current;
            segments.level[current] = close_group(groups);
            closes_segment = true;
        }
        if (c != ' ') ends_with_closing_brace = closes_segment;
        after_closing_brace = closes_segment;
    }

    // The empty segment after a final closing brace is dropped.
    if (ends_with_closing_brace)
        --current;
    else
        copy_segment_text(text, start, label_length, segments.text[current]);
    segments.count = current + 1;
    return segments;
}

int32_t escape_postscript_string(const char* text, int32_t length, char* body) {
    length = std::clamp(length, 0, label_length);
    // Pair the unescaped parentheses as PostScript does: a ")" closes the latest open "(".
    bool is_paired[label_length] = {};
    int32_t open_at[label_length];
    int32_t open_count = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (text[i] == '\\') {
            ++i;  // the escaped character (if any) is no parenthesis of the string
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
            body[n++] = i + 1 < length ? text[++i] : '\\';
        } else if ((c == '(' || c == ')') && !is_paired[i]) {
            body[n++] = '\\';
            body[n++] = c;
        } else {
            body[n++] = c;
        }
    }
    return n;
}

void write_label(float x, float y, float size, const text40& text) {
    const label_segments segments = scan_label(text);

    // The first segment starts at (x, y) on the baseline in the full size.
    char body[max_string_body];
    const int32_t length = segment_body(segments.text[0], body);
    write_font_record(size);
    write_label_record({item_real(x), item_real(y), item_text(" M  ("), item_text(body, length), item_text(")  show")});

    bool pair_pending = false;
    for (int32_t j = 1; j < segments.count; ++j) {
        const int32_t level = segments.level[j];
        write_list(unit_log, {item_int(j + 1), item_text("  "), item_text(segments.text[j]), item_text("  "), item_int(level)});
        write_list(unit_log, {});
        bool is_first_of_pair = false;
        if (std::abs(level) == stacked_level) {
            is_first_of_pair = !pair_pending;
            pair_pending = !pair_pending;
        }
        write_segment(segments.text[j], level, size, is_first_of_pair);
    }
    write_label_record({item_text("N")});
}
