// Labels and plain texts of the SVG map. Each segment of a label is a <tspan> at the size and
// rise the page model sets it (maps/page/page.hpp); the second member of a stacked pair moves back
// by the Times-Roman width of the first, so both start at one x.
#include "maps/printsvg/svg_text.hpp"

#include <cmath>

#include "core/label_glyphs.hpp"
#include "core/numbers.hpp"
#include "maps/page/page.hpp"
#include "records/records.hpp"

namespace {

// Times-Roman advance widths of ASCII 32..126 in 1/1000 em; other characters count 500.
constexpr int16_t times_widths[95] = {
    250, 333, 408, 500, 500, 833, 778, 333, 333, 333, 500, 564, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444, 921, 722, 667, 667, 722, 611,
    556, 722, 722, 333, 389, 722, 611, 889, 722, 722, 556, 722, 667, 556, 611, 722, 722, 944, 722,
    722, 611, 333, 278, 333, 469, 500, 333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500,
    278, 778, 500, 500, 500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541};

// Width of a UTF-8 text in 1/1000 em.
double text_width(std::string_view text) {
    const int32_t length = static_cast<int32_t>(text.size());
    double width = 0.0;
    for (int32_t at = 0; at < length;) {
        const label_character c = read_label_character(text.data(), length, at);
        at += c.length;
        width += c.code_point >= 32 && c.code_point <= 126 ? times_widths[c.code_point - 32] : 500;
    }
    return width;
}

std::string text_start(float x, float y, float size) {
    return "<text x=\"" + shortest_real_text(x) + "\" y=\"" + shortest_real_text(page_height - y) +
           "\" font-size=\"" + shortest_real_text(size) + "\" xml:space=\"preserve\">";
}

}  // namespace

std::string xml_escaped(std::string_view text) {
    return text_for_utf8_output(text, [](char c) -> const char* {
        switch (c) {
            case '&': return "&amp;";
            case '<': return "&lt;";
            case '>': return "&gt;";
            case '"': return "&quot;";
            case '\'': return "&apos;";
            case '\t': return "&#9;";
            default: return nullptr;
        }
    });
}

std::string svg_plain_text(float x, float y, float size, std::string_view text) {
    return text_start(x, y, size) + xml_escaped(text) + "</text>";
}

std::string svg_label(const page_text& text) {
    std::string element = text_start(text.start.x, text.start.y, text.size) +
                          xml_escaped(trimmed_view(segment_text(text, 0)));
    double pair_width = 0.0;  // width in points of the first member of a stacked pair
    for (int32_t j = 1; j < text.segment_count; ++j) {
        const label_segment& segment = text.segments[j];
        const text40 characters = segment_text(text, j);
        const std::string_view body = trimmed_view(characters);
        std::string tspan =
            "<tspan y=\"" +
            shortest_real_text(to_float_saturating(static_cast<double>(page_height - text.start.y) -
                                                   static_cast<double>(segment.rise))) +
            "\" font-size=\"" + shortest_real_text(segment.size) + "\"";
        if (segment.role == pair_role::second)
            tspan += " dx=\"" + shortest_real_text(to_float_saturating(-pair_width)) + "\"";
        if (segment.role == pair_role::first)
            pair_width = text_width(body) * static_cast<double>(segment.size) / 1000.0;
        element += tspan + ">" + xml_escaped(body) + "</tspan>";
    }
    return element + "</text>";
}
