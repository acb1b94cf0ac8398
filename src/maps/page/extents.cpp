// What the drawing covers: the widths of texts as the SVG map sets them, and the part of the
// page that holds every stroke and text of the page model, to which the SVG map is cut.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/fixed_text.hpp"
#include "core/label_glyphs.hpp"
#include "core/numbers.hpp"
#include "core/ticks.hpp"
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

namespace {

// Times-Roman advance widths of ASCII 32..126 in 1/1000 em.
constexpr int16_t times_widths[95] = {
    250, 333, 408, 500, 500, 833, 778, 333, 333, 333, 500, 564, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444, 921, 722, 667, 667, 722, 611,
    556, 722, 722, 333, 389, 722, 611, 889, 722, 722, 556, 722, 667, 556, 611, 722, 722, 944, 722,
    722, 611, 333, 278, 333, 469, 500, 333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500,
    278, 778, 500, 500, 500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541};

// How far a text's ink may reach, in its font size, above its baseline and below it: for
// ASCII (brackets, descenders: 0.75 and 0.25 in Times-Roman's twins, 0.8 and 0.24 in a
// common serif font) and for any text (accented capitals reach 0.92, cedillas 0.28); and
// the widest advance of a character beyond ASCII in a serif font, 1/1000 em (a dash, an
// ellipsis, a sign).
constexpr double ascii_ascent = 0.8;
constexpr double ascii_descent = 0.25;
constexpr double ascent = 0.95;
constexpr double descent = 0.3;
constexpr double widest_other = 1000.0;
// The width the SVG map reckons a character beyond ASCII at, where it moves a text by a
// width (1/1000 em).
constexpr double nominal_other = 500.0;

// Half the widest stroke of the maps: the frame, the major ticks and the scale axes, 3 points.
constexpr double half_stroke = 1.5;

// A UTF-8 text's width in 1/1000 em, ASCII by Times-Roman and any other character as wide
// as nothing (least), as nominal_other or as an em (greatest); and whether it is all ASCII.
struct text_measure {
    double least;
    double nominal;
    double greatest;
    bool ascii;
};

text_measure measure(std::string_view text) {
    const int32_t length = static_cast<int32_t>(text.size());
    text_measure width{0.0, 0.0, 0.0, true};
    for (int32_t at = 0; at < length;) {
        const label_character c = read_label_character(text.data(), length, at);
        at += c.length;
        if (c.code_point >= 32 && c.code_point <= 126) {
            const double advance = times_widths[c.code_point - 32];
            width = {width.least + advance, width.nominal + advance, width.greatest + advance,
                     width.ascii};
        } else {
            width = {width.least, width.nominal + nominal_other, width.greatest + widest_other,
                     false};
        }
    }
    return width;
}

// A rectangle of the page, y up, in double: nothing yet while left > right.
struct extent {
    double left = 1.0;
    double bottom = 1.0;
    double right = 0.0;
    double top = 0.0;
};

void cover(extent& box, double left, double bottom, double right, double top) {
    if (box.left > box.right) {
        box = {left, bottom, right, top};
        return;
    }
    box = {std::min(box.left, left), std::min(box.bottom, bottom), std::max(box.right, right),
           std::max(box.top, top)};
}

// A stroke's end, with the half width of the widest stroke around it.
void cover_stroke(extent& box, page_point p) {
    const double x = static_cast<double>(p.x);
    const double y = static_cast<double>(p.y);
    cover(box, x - half_stroke, y - half_stroke, x + half_stroke, y + half_stroke);
}

// Ink set from x0 to at most x1, on the baseline y, in a font of `size`.
void cover_ink(extent& box, double x0, double x1, double y, double size, bool ascii) {
    cover(box, x0, y - (ascii ? ascii_descent : descent) * size, x1,
          y + (ascii ? ascii_ascent : ascent) * size);
}

// A plain text: one run from `start`.
void cover_plain(extent& box, page_point start, float size, std::string_view text) {
    const double x = static_cast<double>(start.x);
    const text_measure width = measure(text);
    cover_ink(box, x, x + width.greatest * static_cast<double>(size) / 1000.0,
              static_cast<double>(start.y), static_cast<double>(size), width.ascii);
}

// A text in its segments, as the SVG map sets them: each after the one before, the second
// member of a stacked pair moved back by the first's width (text_width). The pen's place is
// known between its least (each character beyond ASCII as wide as nothing) and its greatest
// (as wide as an em).
void cover_text(extent& box, const page_text& text) {
    double low = static_cast<double>(text.start.x);
    double high = low;
    double pair_width = 0.0;
    for (int32_t j = 0; j < text.segment_count; ++j) {
        const label_segment& segment = text.segments[j];
        const text40 characters = segment_text(text, j);
        const std::string_view body = trimmed_view(characters);
        const double size = static_cast<double>(segment.size);
        const double em = size / 1000.0;
        const text_measure width = measure(body);
        if (segment.role == pair_role::second) {
            low -= pair_width;
            high -= pair_width;
        }
        if (segment.role == pair_role::first) pair_width = width.nominal * em;
        if (!body.empty())
            cover_ink(box, low, high + width.greatest * em,
                      static_cast<double>(text.start.y) + static_cast<double>(segment.rise), size,
                      width.ascii);
        low += width.least * em;
        high += width.greatest * em;
    }
}

void cover_axis_numbers(extent& box, const frame_axis& axis) {
    for (tick_walk walk = start_major_ticks(axis); walk.left > 0; step_tick_walk(walk)) {
        const major_tick tick = major_tick_of(axis, walk);
        cover_plain(box, tick.number_start, text_size, tick_number_text(tick.number));
    }
}

// A title's symbol: the mu from its point; a Delta ends where the mu starts.
void cover_symbol(extent& box, title_symbol symbol, page_point mu) {
    if (symbol == title_symbol::none) return;
    cover_plain(box, mu, text_size, "\u03BC");
    if (symbol == title_symbol::delta_mu)
        cover_plain(box, {plus(mu.x, -static_cast<double>(text_size)), mu.y}, text_size, "\u0394");
}

void cover_scale_axis(extent& box, const scale_axis_place& place) {
    if (!place.has_ticks) return;
    for (tick_walk walk = start_scale_ticks(place); walk.left > 0; step_tick_walk(walk)) {
        const scale_tick tick = scale_tick_of(place, walk);
        cover_stroke(box, tick.from);
        cover_stroke(box, tick.to);
        cover_text(box, tick.label);
    }
}

void cover_scale_set(extent& box, const scale_set_layout& set) {
    for (const page_point end : {set.right_from, set.right_to, set.top_from, set.top_to})
        cover_stroke(box, end);
    cover_text(box, set.caption);
    cover_scale_axis(box, set.top);
    cover_scale_axis(box, set.right);
}

// `value` rounded out to whole points (up for a right or top edge), within 0..limit.
float whole_within(double value, bool upward, float limit) {
    const double whole = upward ? std::ceil(value) : std::floor(value);
    return to_float_known_to_fit(std::clamp(whole, 0.0, static_cast<double>(limit)));
}

}  // namespace

double text_width(std::string_view text) { return measure(text).nominal; }

page_box drawing_box() {
    const page_layout& page = run.page;
    extent box;
    for (const page_point corner : page.frame) cover_stroke(box, corner);
    cover_axis_numbers(box, page.x_axis);
    cover_axis_numbers(box, page.y_axis);
    cover_symbol(box, page.titles.symbol, page.titles.x_mu);
    cover_symbol(box, page.titles.symbol, page.titles.y_mu);
    cover_text(box, page.titles.x_title);
    cover_text(box, page.titles.y_title);
    for (int32_t i = 0; i < page.scale_set_count; ++i) cover_scale_set(box, page.scale_sets[i]);
    for (int32_t i = 0; i < page.line_count; ++i) {
        cover_stroke(box, page.lines[i].from);
        cover_stroke(box, page.lines[i].to);
    }
    for (int32_t i = 0; i < page.label_count; ++i) cover_text(box, page.labels[i]);
    const double dx = static_cast<double>(page.translation.x);
    const double dy = static_cast<double>(page.translation.y);
    const double margin = static_cast<double>(drawing_margin);
    return {whole_within(box.left + dx - margin, false, page_width),
            whole_within(box.bottom + dy - margin, false, page_height),
            whole_within(box.right + dx + margin, true, page_width),
            whole_within(box.top + dy + margin, true, page_height)};
}
