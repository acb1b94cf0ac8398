// Labels on the page: the scan of the ^{...}, _{...} and } markup into segments and their
// levels, and how each segment is set: its size, its rise and its part in a stacked pair.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/fixed_text.hpp"
#include "core/label_glyphs.hpp"
#include "core/numbers.hpp"
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

namespace {

// Makes text[from, to) (0-based, empty when from >= to) segment j.
void take_segment(const text40& text, int32_t from, int32_t to, label_segments& segments,
                  int32_t j) {
    text40& segment = segments.text[j];
    segment.fill(' ');
    const int32_t end = std::min(to, label_length);
    for (int32_t i = from; i < end; ++i)
        segment[static_cast<std::size_t>(i - from)] = text[static_cast<std::size_t>(i)];
    segments.from[j] = std::min(from, end);
    segments.to[j] = end;
}

// Bytes of the character after position i, which a mark takes as its group's "{" whatever it
// is (1 past the end of the text).
int32_t character_length_after(const text40& text, int32_t i) {
    return i + 1 < label_length ? read_label_character(text.data(), label_length, i + 1).length : 1;
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

// The size and rise of a segment at its level in a label of `size` points: a member of a
// stacked pair as a first superscript or subscript, at the size one size step smaller a level
// (truncated), raised (or, negative, dropped) per level.
void set_size_and_rise(label_segment& segment, float size) {
    const int32_t level = segment.level;
    const int32_t set_level = std::abs(level) == stacked_level ? (level > 0 ? 1 : -1) : level;
    const double size_wide = static_cast<double>(size);
    double size_factor = 1.0;  // one size step a level away from the baseline
    for (int32_t d = 0; d < std::abs(set_level); ++d)
        size_factor *= static_cast<double>(level_size_step);
    const double shift_per_level = set_level >= 0 ? static_cast<double>(superscript_rise)
                                                  : static_cast<double>(subscript_drop);
    segment.size = to_float_saturating(std::trunc(size_wide * size_factor));
    segment.rise =
        to_float_saturating(static_cast<double>(set_level) * size_wide * shift_per_level);
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
                    take_segment(text, start, i, segments, current);
                    ++current;
                }
                set_level_of_group(segments, current, c);
                open_group(groups, segments.level[current]);
                // that character is the group's "{"
                start = i + 1 + character_length_after(text, i);
            }
        } else if (c == '}' && current < max_segments - 1) {
            take_segment(text, start, i, segments, current);
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
        take_segment(text, start, label_length, segments, current);
    segments.count = current + 1;
    return segments;
}

page_text place_text(page_point start, float size, const text40& text) {
    const label_segments segments = scan_label(text);
    page_text placed{};
    placed.start = start;
    placed.size = size;
    placed.text = text;
    placed.segment_count = segments.count;
    bool pair_pending = false;
    for (int32_t j = 0; j < segments.count; ++j) {
        label_segment& segment = placed.segments[j];
        segment.from = segments.from[j];
        segment.to = segments.to[j];
        segment.level = segments.level[j];
        segment.role = pair_role::none;
        // The first segment is on the baseline in the full size.
        if (j == 0) {
            segment.size = size;
            segment.rise = 0.0f;
            continue;
        }
        set_size_and_rise(segment, size);
        if (std::abs(segment.level) == stacked_level) {
            segment.role = pair_pending ? pair_role::second : pair_role::first;
            pair_pending = !pair_pending;
        }
    }
    return placed;
}

text40 segment_text(const page_text& text, int32_t j) {
    const label_segment& segment = text.segments[j];
    text40 characters;
    characters.fill(' ');
    std::copy(text.text.begin() + segment.from, text.text.begin() + segment.to, characters.begin());
    return characters;
}
