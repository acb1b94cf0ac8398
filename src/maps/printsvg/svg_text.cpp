// Labels and plain texts of the SVG map. Each segment of a label is a <tspan> at the size and
// rise the page model sets it (maps/page/page.hpp); the second member of a stacked pair moves back
// by the width of the first (text_width, the page model's), so both start at one x.
#include "maps/printsvg/svg_text.hpp"

#include <cmath>

#include "core/label_glyphs.hpp"
#include "core/numbers.hpp"
#include "maps/page/page.hpp"
#include "records/records.hpp"

namespace {

// The start tag of a <text> at page point (x, y), with `attributes` (" name=\"value\"...").
std::string text_start(float x, float y, float size, std::string_view attributes = "") {
    return "<text x=\"" + shortest_real_text(x) + "\" y=\"" + shortest_real_text(page_height - y) +
           "\" font-size=\"" + shortest_real_text(size) + "\" xml:space=\"preserve\"" +
           std::string(attributes) + ">";
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

std::string svg_plain_text_ending(float x, float y, float size, std::string_view text) {
    return text_start(x, y, size, " text-anchor=\"end\"") + xml_escaped(text) + "</text>";
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
